/* JPEG-2000 codestreams through OpenJPEG. The host owns the bytes (stream callbacks) and the
 * JP2 box structure; this part only decodes a bare codestream. The main header is checked
 * against the caller's limits before anything large is allocated. */
#include <openjpeg.h>
#include <stdlib.h>
#include <string.h>

#include "cdx_internal.h"

struct CdxJ2kImage {
    opj_image_t* image;
    uint32_t reduce;
};

typedef struct DecodeContext {
    const CdxJ2kStream* stream;
    CdxMessage* message;
    int hasMessage;
    int cancelled;
} DecodeContext;

static void onError(const char* text, void* user) {
    DecodeContext* ctx = (DecodeContext*)user;
    if (ctx && !ctx->hasMessage) {
        cdxSetMessage(ctx->message, "%s", text ? text : "decoder error");
        /* OpenJPEG's messages end with a newline. */
        if (ctx->message) {
            size_t n = strlen(ctx->message->text);
            while (n > 0 &&
                   (ctx->message->text[n - 1] == '\n' || ctx->message->text[n - 1] == '\r'))
                ctx->message->text[--n] = '\0';
        }
        ctx->hasMessage = 1;
    }
}

static void onQuiet(const char* text, void* user) {
    (void)text;
    (void)user;
}

static OPJ_SIZE_T streamRead(void* buffer, OPJ_SIZE_T size, void* user) {
    DecodeContext* ctx = (DecodeContext*)user;
    const CdxJ2kStream* s = ctx->stream;
    if (ctx->cancelled) return (OPJ_SIZE_T)-1;
    if (s->progress && s->progress(s->user, s->tell(s->user), s->length)) {
        ctx->cancelled = 1;
        return (OPJ_SIZE_T)-1;
    }
    size_t got = s->read(s->user, (uint8_t*)buffer, (size_t)size);
    return got == 0 ? (OPJ_SIZE_T)-1 : (OPJ_SIZE_T)got;
}

static OPJ_OFF_T streamSkip(OPJ_OFF_T n, void* user) {
    DecodeContext* ctx = (DecodeContext*)user;
    const CdxJ2kStream* s = ctx->stream;
    uint64_t position = s->tell(s->user);
    if (n < 0) {
        if ((uint64_t)(-(n + 1)) + 1 > position) return -1;
        position -= (uint64_t)(-(n + 1)) + 1;
    } else {
        /* Skipping past the end lands at the end; later reads then report the end. */
        position = (uint64_t)n > s->length - position ? s->length : position + (uint64_t)n;
    }
    return s->seek(s->user, position) ? n : -1;
}

static OPJ_BOOL streamSeek(OPJ_OFF_T position, void* user) {
    DecodeContext* ctx = (DecodeContext*)user;
    const CdxJ2kStream* s = ctx->stream;
    if (position < 0 || (uint64_t)position > s->length) return OPJ_FALSE;
    return s->seek(s->user, (uint64_t)position) ? OPJ_TRUE : OPJ_FALSE;
}

static uint64_t ceilDiv(uint64_t a, uint64_t b) { return (a + b - 1) / b; }

/* The header against the limits: size, component count, sub-sampling and the sample memory of
 * the image decoded with `reduce` levels left out. */
static int checkHeader(const opj_image_t* image, const CdxJ2kLimits* limits, uint32_t reduce,
                       CdxMessage* message) {
    if (image->x1 <= image->x0 || image->y1 <= image->y0) {
        cdxSetMessage(message, "empty image");
        return CDX_ERROR;
    }
    uint64_t width = image->x1 - image->x0, height = image->y1 - image->y0;
    if (width > limits->maxSide || height > limits->maxSide) {
        cdxSetMessage(message, "image of %llu x %llu is too large", (unsigned long long)width,
                      (unsigned long long)height);
        return CDX_TOO_LARGE;
    }
    if (image->numcomps == 0 || image->numcomps > limits->maxComponents || !image->comps) {
        cdxSetMessage(message, "%u components", image->numcomps);
        return CDX_TOO_LARGE;
    }
    uint64_t bytes = 0;
    for (OPJ_UINT32 i = 0; i < image->numcomps; ++i) {
        const opj_image_comp_t* c = &image->comps[i];
        if (c->dx == 0 || c->dy == 0 || c->dx > 255 || c->dy > 255) {
            cdxSetMessage(message, "bad sub-sampling");
            return CDX_ERROR;
        }
        const uint64_t scale = (uint64_t)1 << reduce;
        uint64_t w =
            ceilDiv(ceilDiv(image->x1, c->dx), scale) - ceilDiv(ceilDiv(image->x0, c->dx), scale);
        uint64_t h =
            ceilDiv(ceilDiv(image->y1, c->dy), scale) - ceilDiv(ceilDiv(image->y0, c->dy), scale);
        bytes += w * h * sizeof(OPJ_INT32);
        if (bytes > limits->maxSampleBytes) {
            cdxSetMessage(message, "decoded image would be too large");
            return CDX_TOO_LARGE;
        }
    }
    return CDX_OK;
}

/* The fewest resolution levels any component of the main header has. */
static uint32_t fewestResolutions(opj_codec_t* codec, uint32_t components) {
    opj_codestream_info_v2_t* info = opj_get_cstr_info(codec);
    if (!info) return 1;
    uint32_t fewest = 33;
    if (info->m_default_tile_info.tccp_info)
        for (uint32_t i = 0; i < components && i < info->nbcomps; ++i)
            if (info->m_default_tile_info.tccp_info[i].numresolutions < fewest)
                fewest = info->m_default_tile_info.tccp_info[i].numresolutions;
    opj_destroy_cstr_info(&info);
    return fewest == 33 || fewest == 0 ? 1 : fewest;
}

/* One attempt at the whole codestream with up to `reduce` levels left out; *used gets the
 * reduction applied. */
static int decodeOnce(const CdxJ2kStream* stream, const CdxJ2kLimits* limits, uint32_t reduce,
                      opj_image_t** out, uint32_t* used, DecodeContext* ctx) {
    CdxMessage* message = ctx->message;
    *out = NULL;
    *used = 0;
    if (!stream->seek(stream->user, 0)) return CDX_ERROR;
    opj_stream_t* s = opj_stream_create(64 * 1024, OPJ_TRUE);
    if (!s) return CDX_NO_MEMORY;
    opj_stream_set_user_data(s, ctx, NULL);
    opj_stream_set_user_data_length(s, stream->length);
    opj_stream_set_read_function(s, streamRead);
    opj_stream_set_skip_function(s, streamSkip);
    opj_stream_set_seek_function(s, streamSeek);

    opj_codec_t* codec = opj_create_decompress(OPJ_CODEC_J2K);
    if (!codec) {
        opj_stream_destroy(s);
        return CDX_NO_MEMORY;
    }
    opj_set_error_handler(codec, onError, ctx);
    opj_set_warning_handler(codec, onQuiet, ctx);
    opj_set_info_handler(codec, onQuiet, ctx);

    int status = CDX_OK;
    opj_image_t* image = NULL;
    opj_dparameters_t parameters;
    opj_set_default_decoder_parameters(&parameters);
    if (!opj_setup_decoder(codec, &parameters) || !opj_read_header(s, codec, &image) || !image) {
        status = CDX_ERROR;
    } else {
        const uint32_t levels = fewestResolutions(codec, image->numcomps);
        if (reduce > levels - 1) reduce = levels - 1;
        if (reduce > 0 && !opj_set_decoded_resolution_factor(codec, reduce)) reduce = 0;
        status = checkHeader(image, limits, reduce, message);
        if (status == CDX_OK && (!opj_decode(codec, s, image) || !opj_end_decompress(codec, s)))
            status = CDX_ERROR;
    }
    if (status == CDX_OK) {
        for (OPJ_UINT32 i = 0; i < image->numcomps; ++i) {
            if (!image->comps[i].data) {
                cdxSetMessage(message, "component %u was not decoded", i);
                status = CDX_ERROR;
                break;
            }
        }
    }
    opj_destroy_codec(codec);
    opj_stream_destroy(s);
    if (status != CDX_OK) {
        if (image) opj_image_destroy(image);
        return status;
    }
    *out = image;
    *used = reduce;
    return CDX_OK;
}

static int j2kDecode(const CdxJ2kStream* stream, const CdxJ2kLimits* limits, CdxJ2kImage** out,
                     CdxMessage* message) {
    if (!stream || !limits || !out || !stream->read || !stream->seek || !stream->tell)
        return CDX_BAD_ARGUMENT;
    *out = NULL;
    cdxSetMessage(message, "%s", "");
    DecodeContext ctx = {stream, message, 0, 0};
    opj_image_t* image = NULL;
    uint32_t used = 0;
    int status = decodeOnce(stream, limits, limits->reduce, &image, &used, &ctx);
    /* A tile with fewer levels than the main header promises refuses the reduction. */
    if (status == CDX_ERROR && limits->reduce > 0 && !ctx.cancelled) {
        cdxSetMessage(message, "%s", "");
        ctx.hasMessage = 0;
        status = decodeOnce(stream, limits, 0, &image, &used, &ctx);
    }
    if (ctx.cancelled) status = CDX_CANCELLED;
    if (status == CDX_ERROR && message && message->text[0] == '\0')
        cdxSetMessage(message, "cannot decode the codestream");
    if (status != CDX_OK) {
        if (image) opj_image_destroy(image);
        return status;
    }
    struct CdxJ2kImage* result = (struct CdxJ2kImage*)calloc(1, sizeof *result);
    if (!result) {
        opj_image_destroy(image);
        return CDX_NO_MEMORY;
    }
    result->image = image;
    result->reduce = used;
    *out = result;
    return CDX_OK;
}

static void j2kInfo(const CdxJ2kImage* handle, CdxJ2kInfo* out) {
    if (!out) return;
    memset(out, 0, sizeof *out);
    if (!handle || !handle->image) return;
    const opj_image_t* image = handle->image;
    const uint64_t scale = (uint64_t)1 << handle->reduce;
    out->x0 = (uint32_t)ceilDiv(image->x0, scale);
    out->y0 = (uint32_t)ceilDiv(image->y0, scale);
    out->x1 = (uint32_t)ceilDiv(image->x1, scale);
    out->y1 = (uint32_t)ceilDiv(image->y1, scale);
    out->components = image->numcomps;
    out->reduce = handle->reduce;
}

static int j2kComponent(const CdxJ2kImage* handle, uint32_t index, CdxJ2kComponent* out) {
    if (!handle || !handle->image || !out || index >= handle->image->numcomps)
        return CDX_BAD_ARGUMENT;
    const opj_image_comp_t* c = &handle->image->comps[index];
    out->dx = c->dx;
    out->dy = c->dy;
    out->width = c->w;
    out->height = c->h;
    out->precision = c->prec;
    out->isSigned = c->sgnd ? 1 : 0;
    out->data = c->data;
    return c->data ? CDX_OK : CDX_ERROR;
}

static void j2kRelease(CdxJ2kImage* handle) {
    if (!handle) return;
    if (handle->image) opj_image_destroy(handle->image);
    free(handle);
}

CDX_EXPORT int CDX_FillJ2K(CdxJ2kApi* table) {
    if (!table || !cdxTableOk(table->abiVersion, table->size, sizeof *table))
        return CDX_BAD_ARGUMENT;
    table->decode = j2kDecode;
    table->info = j2kInfo;
    table->component = j2kComponent;
    table->release = j2kRelease;
    return CDX_OK;
}
