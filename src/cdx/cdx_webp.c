/* WebP stills and animations through libwebp's demux API. The animation decoder composes every
 * frame onto the canvas with its blending and disposal, so each frame handed out is whole. */
#include <stdlib.h>
#include <string.h>
#include <webp/decode.h>
#include <webp/demux.h>

#include "cdx_internal.h"

struct CdxRaster {
    WebPData data;
    WebPDemuxer* demux;
    WebPAnimDecoder* decoder;
    CdxRasterInfo info;
    const uint8_t* icc;
    size_t iccSize;
    const uint8_t* exif;
    size_t exifSize;
    int previousTimestamp;
    uint8_t* still; /* a still's pixels, decoded without the animation decoder's canvases */
    int stillDone;
};

static void chunk(WebPDemuxer* demux, const char* fourcc, const uint8_t** data, size_t* size) {
    WebPChunkIterator it;
    *data = NULL;
    *size = 0;
    if (WebPDemuxGetChunk(demux, fourcc, 1, &it)) {
        *data = it.chunk.bytes;
        *size = it.chunk.size;
        WebPDemuxReleaseChunkIterator(&it);
    }
}

static void webpClose(CdxRaster* r) {
    if (!r) return;
    if (r->decoder) WebPAnimDecoderDelete(r->decoder);
    if (r->demux) WebPDemuxDelete(r->demux);
    free(r->still);
    free(r);
}

static int webpOpen(const uint8_t* data, size_t size, const CdxRasterLimits* limits,
                    CdxRaster** out, CdxMessage* message) {
    if (!data || !limits || !out) return CDX_BAD_ARGUMENT;
    *out = NULL;
    CdxRaster* r = calloc(1, sizeof *r);
    if (!r) return CDX_NO_MEMORY;
    r->data.bytes = data;
    r->data.size = size;
    /* The demuxer only indexes the chunks; it allocates no pixels. Parsed partially first, so
     * a canvas size is judged even when the file holds nothing else. */
    WebPDemuxState state = WEBP_DEMUX_PARSE_ERROR;
    r->demux = WebPDemuxPartial(&r->data, &state);
    if (!r->demux || state < WEBP_DEMUX_PARSED_HEADER) {
        cdxSetMessage(message, "not a WebP file");
        webpClose(r);
        return CDX_ERROR;
    }
    const uint32_t width = WebPDemuxGetI(r->demux, WEBP_FF_CANVAS_WIDTH);
    const uint32_t height = WebPDemuxGetI(r->demux, WEBP_FF_CANVAS_HEIGHT);
    const uint32_t flags = WebPDemuxGetI(r->demux, WEBP_FF_FORMAT_FLAGS);
    if (width == 0 || height == 0 || width > limits->maxSide || height > limits->maxSide ||
        (uint64_t)width * height > limits->maxPixels) {
        cdxSetMessage(message, "WebP canvas %ux%u is too large", width, height);
        webpClose(r);
        return CDX_TOO_LARGE;
    }
    if (state != WEBP_DEMUX_DONE) {
        cdxSetMessage(message, "WebP file is incomplete");
        webpClose(r);
        return CDX_ERROR;
    }
    r->info.width = width;
    r->info.height = height;
    r->info.frameCount = WebPDemuxGetI(r->demux, WEBP_FF_FRAME_COUNT);
    r->info.isAnimated = (flags & ANIMATION_FLAG) != 0;
    r->info.hasAlpha = (flags & ALPHA_FLAG) != 0;
    r->info.bitDepth = 8;
    r->info.isLossless = 2;
    WebPIterator frame;
    if (WebPDemuxGetFrame(r->demux, 1, &frame)) {
        WebPBitstreamFeatures features;
        if (WebPGetFeatures(frame.fragment.bytes, frame.fragment.size, &features) ==
            VP8_STATUS_OK) {
            if (!r->info.isAnimated) r->info.isLossless = features.format == 2 ? 1 : 0;
            if (features.has_alpha) r->info.hasAlpha = 1;
        }
        WebPDemuxReleaseIterator(&frame);
    }
    if (flags & ICCP_FLAG) chunk(r->demux, "ICCP", &r->icc, &r->iccSize);
    if (flags & EXIF_FLAG) chunk(r->demux, "EXIF", &r->exif, &r->exifSize);
    *out = r;
    return CDX_OK;
}

static void webpInfo(const CdxRaster* r, CdxRasterInfo* out) {
    if (r && out) *out = r->info;
}

static void webpIcc(const CdxRaster* r, const uint8_t** data, size_t* size) {
    *data = r ? r->icc : NULL;
    *size = r ? r->iccSize : 0;
}

static void webpExif(const CdxRaster* r, const uint8_t** data, size_t* size) {
    *data = r ? r->exif : NULL;
    *size = r ? r->exifSize : 0;
}

/* A still is decoded straight into one buffer of ours, as the format's own tool does: the
 * animation decoder would clear a canvas and keep a copy of it for disposal, two more passes over
 * the picture. Decoding goes in steps of the file, so a cancel is seen between them. */
static int webpDecodeStill(CdxRaster* r, CdxCancelFn cancel, void* user, CdxRasterFrame* out,
                           CdxMessage* message) {
    if (r->stillDone) return CDX_END;
    const size_t stride = (size_t)r->info.width * 4;
    if (!r->still) {
        r->still = malloc(stride * r->info.height);
        if (!r->still) return CDX_NO_MEMORY;
    }
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config)) return CDX_ERROR;
    config.output.colorspace = MODE_RGBA;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = r->still;
    config.output.u.RGBA.stride = (int)stride;
    config.output.u.RGBA.size = stride * r->info.height;
    WebPIDecoder* idec = WebPIDecode(NULL, 0, &config);
    if (!idec) return CDX_NO_MEMORY;
    enum { Step = 1 << 20 };
    VP8StatusCode status = VP8_STATUS_SUSPENDED;
    for (size_t given = 0; status == VP8_STATUS_SUSPENDED && given < r->data.size;) {
        if (cancel && cancel(user)) {
            WebPIDelete(idec);
            return CDX_CANCELLED;
        }
        given = r->data.size - given > Step ? given + Step : r->data.size;
        status = WebPIUpdate(idec, r->data.bytes, given);
    }
    WebPIDelete(idec);
    /* The output buffer is ours; the decoder only checked that the picture fits it. */
    if (status != VP8_STATUS_OK || config.output.width != (int)r->info.width ||
        config.output.height != (int)r->info.height) {
        cdxSetMessage(message, status == VP8_STATUS_SUSPENDED ? "WebP picture data is incomplete"
                                                              : "WebP picture data is damaged");
        return status == VP8_STATUS_OUT_OF_MEMORY ? CDX_NO_MEMORY : CDX_ERROR;
    }
    r->stillDone = 1;
    out->width = r->info.width;
    out->height = r->info.height;
    out->stride = stride;
    out->rgba = r->still;
    out->durationMs = 0;
    return CDX_OK;
}

static int webpNextFrame(CdxRaster* r, CdxCancelFn cancel, void* user, CdxRasterFrame* out,
                         CdxMessage* message) {
    if (!r || !out) return CDX_BAD_ARGUMENT;
    if (cancel && cancel(user)) return CDX_CANCELLED;
    if (!r->info.isAnimated) return webpDecodeStill(r, cancel, user, out, message);
    if (!r->decoder) {
        WebPAnimDecoderOptions options;
        if (!WebPAnimDecoderOptionsInit(&options)) return CDX_ERROR;
        options.color_mode = MODE_RGBA;
        options.use_threads = 0;
        r->decoder = WebPAnimDecoderNew(&r->data, &options);
        if (!r->decoder) {
            cdxSetMessage(message, "WebP decoder refused the file");
            return CDX_ERROR;
        }
    }
    if (!WebPAnimDecoderHasMoreFrames(r->decoder)) return CDX_END;
    uint8_t* pixels = NULL;
    int timestamp = 0;
    if (!WebPAnimDecoderGetNext(r->decoder, &pixels, &timestamp) || !pixels) {
        cdxSetMessage(message, "WebP frame data is damaged or incomplete");
        return CDX_ERROR;
    }
    out->width = r->info.width;
    out->height = r->info.height;
    out->stride = (size_t)r->info.width * 4;
    out->rgba = pixels;
    /* Timestamps are the ends of the frames. */
    out->durationMs = 0;
    if (r->info.isAnimated && timestamp > r->previousTimestamp)
        out->durationMs = (uint32_t)(timestamp - r->previousTimestamp);
    r->previousTimestamp = timestamp;
    return CDX_OK;
}

static int webpThumbnail(CdxRaster* r, CdxRasterFrame* out, CdxMessage* message) {
    (void)r;
    (void)out;
    (void)message;
    return CDX_END;
}

CDX_EXPORT int CDX_FillWEBP(CdxRasterApi* table) {
    if (!table || !cdxTableOk(table->abiVersion, table->size, sizeof *table))
        return CDX_BAD_ARGUMENT;
    table->open = webpOpen;
    table->info = webpInfo;
    table->iccProfile = webpIcc;
    table->exif = webpExif;
    table->nextFrame = webpNextFrame;
    table->thumbnail = webpThumbnail;
    table->close = webpClose;
    return CDX_OK;
}
