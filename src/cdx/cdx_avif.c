/* AVIF sequences through libavif: the frames of the colour track (with its alpha track), each
 * converted to 8-bit RGBA. The library is told our size limits before it parses, so neither it
 * nor the AV1 decoder behind it allocates a frame beyond them. */
#include "cdx_avif.h"

#include <avif/avif.h>
#include <stdlib.h>
#include <string.h>

struct CdxAvifSequence {
    avifDecoder* decoder;
    CdxRasterInfo info;
    uint8_t* icc;
    size_t iccSize;
    uint8_t* exif;
    size_t exifSize;
    uint8_t* pixels; /* the frame handed out last, width * 4 bytes a row */
    int failed;      /* after the first failure every call fails: the decoder's state is unknown */
};

enum { MaxThreads = 2 };
static const size_t kMaxMetadataBytes = (size_t)64 << 20;

static uint32_t be32(const uint8_t* p) {
    return ((uint32_t)p[0] << 24) | ((uint32_t)p[1] << 16) | ((uint32_t)p[2] << 8) | p[3];
}

int cdxAvifNamesSequence(const uint8_t* data, size_t size) {
    if (!data || size < 16 || memcmp(data + 4, "ftyp", 4) != 0) return 0;
    const uint32_t boxSize = be32(data);
    if (boxSize < 16 || boxSize > size) return 0;
    if (memcmp(data + 8, "avis", 4) == 0) return 1;
    /* The minor version sits between the major and the compatible brands. */
    for (uint32_t at = 16; at + 4 <= boxSize; at += 4)
        if (memcmp(data + at, "avis", 4) == 0) return 1;
    return 0;
}

static int failWith(CdxAvifSequence* s, avifResult result, CdxMessage* message) {
    s->failed = 1;
    const char* detail = s->decoder ? s->decoder->diag.error : "";
    cdxSetMessage(message, "AVIF sequence: %s%s%s", avifResultToString(result),
                  detail[0] ? ": " : "", detail);
    return result == AVIF_RESULT_OUT_OF_MEMORY ? CDX_NO_MEMORY : CDX_ERROR;
}

/* Parses the tracks with the given limits; NULL when the library refused (the reason in
 * *result). */
static avifDecoder* parseTracks(const uint8_t* data, size_t size, uint32_t pixelLimit,
                                uint32_t sideLimit, avifResult* result) {
    avifDecoder* d = avifDecoderCreate();
    if (!d) {
        *result = AVIF_RESULT_OUT_OF_MEMORY;
        return NULL;
    }
    d->maxThreads = MaxThreads;
    d->imageSizeLimit = pixelLimit;
    d->imageDimensionLimit = sideLimit;
    d->ignoreXMP = AVIF_TRUE;
    *result = avifDecoderSetSource(d, AVIF_DECODER_SOURCE_TRACKS);
    if (*result == AVIF_RESULT_OK) *result = avifDecoderSetIOMemory(d, data, size);
    if (*result == AVIF_RESULT_OK) *result = avifDecoderParse(d);
    if (*result != AVIF_RESULT_OK) {
        avifDecoderDestroy(d);
        return NULL;
    }
    return d;
}

static uint8_t* copyOf(const avifRWData* from, size_t* size) {
    *size = 0;
    if (!from->data || from->size == 0 || from->size > kMaxMetadataBytes) return NULL;
    uint8_t* copy = malloc(from->size);
    if (!copy) return NULL;
    memcpy(copy, from->data, from->size);
    *size = from->size;
    return copy;
}

int cdxAvifSequenceOpen(const uint8_t* data, size_t size, const CdxRasterLimits* limits,
                        CdxAvifSequence** out, CdxMessage* message) {
    if (!data || !limits || !out) return CDX_BAD_ARGUMENT;
    *out = NULL;
    if (!cdxAvifNamesSequence(data, size)) return CDX_END;
    /* The library refuses a pixel limit above its own default. */
    const uint64_t pixels = limits->maxPixels < AVIF_DEFAULT_IMAGE_SIZE_LIMIT
                                ? limits->maxPixels
                                : AVIF_DEFAULT_IMAGE_SIZE_LIMIT;
    if (pixels == 0 || limits->maxSide == 0) return CDX_TOO_LARGE;
    avifResult result;
    avifDecoder* d = parseTracks(data, size, (uint32_t)pixels, limits->maxSide, &result);
    if (!d) {
        if (result == AVIF_RESULT_OUT_OF_MEMORY) return CDX_NO_MEMORY;
        /* The library reports a track beyond the limits as a parse failure; what parses under
         * its own limits was refused for ours. Parsing reads boxes only, no pixels. */
        avifDecoder* loose = parseTracks(data, size, AVIF_DEFAULT_IMAGE_SIZE_LIMIT, 0, &result);
        if (loose) {
            cdxSetMessage(message, "AVIF sequence %ux%u is too large", loose->image->width,
                          loose->image->height);
            avifDecoderDestroy(loose);
            return CDX_TOO_LARGE;
        }
        return CDX_END;
    }
    const avifImage* image = d->image;
    /* The still reader applies rotation, mirroring and crop; frames here would come out
     * unturned, so such a file keeps showing its still. */
    const avifTransformFlags geometry =
        AVIF_TRANSFORM_IROT | AVIF_TRANSFORM_IMIR | AVIF_TRANSFORM_CLAP;
    if (d->imageCount <= 1 || (image->transformFlags & geometry) != 0) {
        avifDecoderDestroy(d);
        return CDX_END;
    }
    const uint32_t w = image->width, h = image->height;
    if (w == 0 || h == 0 || w > limits->maxSide || h > limits->maxSide ||
        (uint64_t)w * h > limits->maxPixels) {
        cdxSetMessage(message, "AVIF sequence %ux%u is too large", w, h);
        avifDecoderDestroy(d);
        return CDX_TOO_LARGE;
    }
    CdxAvifSequence* s = calloc(1, sizeof *s);
    if (!s) {
        avifDecoderDestroy(d);
        return CDX_NO_MEMORY;
    }
    s->decoder = d;
    s->info.width = w;
    s->info.height = h;
    s->info.frameCount = (uint32_t)d->imageCount;
    s->info.isAnimated = 1;
    s->info.hasAlpha = d->alphaPresent != 0;
    s->info.isGray = image->yuvFormat == AVIF_PIXEL_FORMAT_YUV400;
    s->info.isLossless = 2;
    s->info.bitDepth = image->depth;
    s->icc = copyOf(&image->icc, &s->iccSize);
    s->exif = copyOf(&image->exif, &s->exifSize);
    *out = s;
    return CDX_OK;
}

void cdxAvifSequenceInfo(const CdxAvifSequence* s, CdxRasterInfo* out) {
    if (s && out) *out = s->info;
}

void cdxAvifSequenceIcc(const CdxAvifSequence* s, const uint8_t** data, size_t* size) {
    *data = s ? s->icc : NULL;
    *size = s ? s->iccSize : 0;
}

void cdxAvifSequenceExif(const CdxAvifSequence* s, const uint8_t** data, size_t* size) {
    *data = s ? s->exif : NULL;
    *size = s ? s->exifSize : 0;
}

static uint32_t durationMs(const avifImageTiming* timing) {
    if (timing->timescale == 0) return 0;
    const uint64_t ticks = timing->durationInTimescales;
    if (ticks > (UINT64_MAX - timing->timescale) / 1000u) return UINT32_MAX;
    const uint64_t ms = (ticks * 1000u + timing->timescale / 2) / timing->timescale;
    return ms > UINT32_MAX ? UINT32_MAX : (uint32_t)ms;
}

int cdxAvifSequenceNextFrame(CdxAvifSequence* s, CdxCancelFn cancel, void* user,
                             CdxRasterFrame* out, CdxMessage* message) {
    if (!s || !out) return CDX_BAD_ARGUMENT;
    if (s->failed) {
        cdxSetMessage(message, "AVIF sequence failed before");
        return CDX_ERROR;
    }
    avifDecoder* d = s->decoder;
    if (d->imageIndex + 1 >= d->imageCount) return CDX_END;
    if (cancel && cancel(user)) return CDX_CANCELLED;
    avifResult result = avifDecoderNextImage(d);
    if (result == AVIF_RESULT_NO_IMAGES_REMAINING) return CDX_END;
    if (result != AVIF_RESULT_OK) return failWith(s, result, message);
    const avifImage* image = d->image;
    /* The AV1 payload may announce another size than the track; the page was laid out from
     * the track. */
    if (image->width != s->info.width || image->height != s->info.height) {
        s->failed = 1;
        cdxSetMessage(message, "AVIF frame %d is %ux%u, the sequence %ux%u", d->imageIndex,
                      image->width, image->height, s->info.width, s->info.height);
        return CDX_ERROR;
    }
    if (cancel && cancel(user)) return CDX_CANCELLED;
    const size_t rowBytes = (size_t)s->info.width * 4;
    if (!s->pixels) {
        s->pixels = malloc(rowBytes * s->info.height);
        if (!s->pixels) return CDX_NO_MEMORY;
    }
    avifRGBImage rgb;
    avifRGBImageSetDefaults(&rgb, image);
    rgb.depth = 8;
    rgb.format = AVIF_RGB_FORMAT_RGBA;
    rgb.alphaPremultiplied = AVIF_FALSE;
    rgb.pixels = s->pixels;
    rgb.rowBytes = (uint32_t)rowBytes;
    result = avifImageYUVToRGB(image, &rgb);
    if (result != AVIF_RESULT_OK) return failWith(s, result, message);
    out->width = s->info.width;
    out->height = s->info.height;
    out->stride = rowBytes;
    out->rgba = s->pixels;
    out->durationMs = durationMs(&d->imageTiming);
    return CDX_OK;
}

void cdxAvifSequenceClose(CdxAvifSequence* s) {
    if (!s) return;
    if (s->decoder) avifDecoderDestroy(s->decoder);
    free(s->icc);
    free(s->exif);
    free(s->pixels);
    free(s);
}
