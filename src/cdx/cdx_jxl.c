/* JPEG XL stills and animations through libjxl, at 8 bits a sample. Frames are composed by the
 * library (coalescing) and turned upright (orientation applied). */
#include <jxl/decode.h>
#include <jxl/encode.h>
#include <jxl/thread_parallel_runner.h>
#include <stdlib.h>
#include <string.h>

#include "cdx_internal.h"

struct CdxRaster {
    JxlDecoder* decoder;
    void* runner;
    CdxRasterInfo info;
    JxlBasicInfo basic;
    uint8_t* icc;
    size_t iccSize;
    uint8_t* pixels;
    size_t pixelBytes;
    uint32_t pendingDurationMs;
    int finished;
};

static const JxlPixelFormat kFormat = {4, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};

static void jxlClose(CdxRaster* r) {
    if (!r) return;
    if (r->decoder) JxlDecoderDestroy(r->decoder);
    if (r->runner) JxlThreadParallelRunnerDestroy(r->runner);
    free(r->icc);
    free(r->pixels);
    free(r);
}

static int fromStatus(JxlDecoderStatus status, CdxMessage* message) {
    if (status == JXL_DEC_NEED_MORE_INPUT)
        cdxSetMessage(message, "JPEG XL data ends early");
    else
        cdxSetMessage(message, "JPEG XL data is damaged or unsupported");
    return CDX_ERROR;
}

static void readIcc(CdxRaster* r) {
    size_t size = 0;
    if (JxlDecoderGetICCProfileSize(r->decoder, &kFormat, JXL_COLOR_PROFILE_TARGET_DATA, &size) !=
            JXL_DEC_SUCCESS ||
        size == 0 || size > ((size_t)64 << 20))
        return;
    r->icc = malloc(size);
    if (!r->icc) return;
    if (JxlDecoderGetColorAsICCProfile(r->decoder, &kFormat, JXL_COLOR_PROFILE_TARGET_DATA, r->icc,
                                       size) == JXL_DEC_SUCCESS)
        r->iccSize = size;
}

static int jxlOpen(const uint8_t* data, size_t size, const CdxRasterLimits* limits, CdxRaster** out,
                   CdxMessage* message) {
    if (!data || !limits || !out) return CDX_BAD_ARGUMENT;
    *out = NULL;
    CdxRaster* r = calloc(1, sizeof *r);
    if (!r) return CDX_NO_MEMORY;
    r->decoder = JxlDecoderCreate(NULL);
    r->runner =
        JxlThreadParallelRunnerCreate(NULL, JxlThreadParallelRunnerDefaultNumWorkerThreads());
    if (!r->decoder || !r->runner ||
        JxlDecoderSetParallelRunner(r->decoder, JxlThreadParallelRunner, r->runner) !=
            JXL_DEC_SUCCESS ||
        JxlDecoderSubscribeEvents(r->decoder, JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING |
                                                  JXL_DEC_FRAME | JXL_DEC_FULL_IMAGE) !=
            JXL_DEC_SUCCESS ||
        JxlDecoderSetKeepOrientation(r->decoder, JXL_FALSE) != JXL_DEC_SUCCESS ||
        JxlDecoderSetInput(r->decoder, data, size) != JXL_DEC_SUCCESS) {
        jxlClose(r);
        return CDX_NO_MEMORY;
    }
    JxlDecoderCloseInput(r->decoder);
    /* Up to the colour encoding: the sizes are checked before any pixel buffer exists. */
    for (;;) {
        const JxlDecoderStatus status = JxlDecoderProcessInput(r->decoder);
        if (status == JXL_DEC_BASIC_INFO) {
            if (JxlDecoderGetBasicInfo(r->decoder, &r->basic) != JXL_DEC_SUCCESS) {
                jxlClose(r);
                return fromStatus(JXL_DEC_ERROR, message);
            }
            uint32_t w = r->basic.xsize, h = r->basic.ysize;
            if (r->basic.orientation >= JXL_ORIENT_TRANSPOSE) {
                w = r->basic.ysize;
                h = r->basic.xsize;
            }
            if (w == 0 || h == 0 || w > limits->maxSide || h > limits->maxSide ||
                (uint64_t)w * h > limits->maxPixels) {
                cdxSetMessage(message, "JPEG XL picture %ux%u is too large", w, h);
                jxlClose(r);
                return CDX_TOO_LARGE;
            }
            r->info.width = w;
            r->info.height = h;
            r->info.hasAlpha = r->basic.alpha_bits > 0;
            r->info.isAnimated = r->basic.have_animation != 0;
            r->info.frameCount = r->info.isAnimated ? 0 : 1;
            r->info.isGray = r->basic.num_color_channels == 1;
            r->info.isLossless = r->basic.uses_original_profile ? 2 : 0;
            r->info.bitDepth = r->basic.bits_per_sample;
        } else if (status == JXL_DEC_COLOR_ENCODING) {
            /* Lossy pictures are coded in the library's own colour space; without a preference
             * an original ICC profile would make it hand out linear light. */
            if (!r->basic.uses_original_profile) {
                JxlColorEncoding srgb;
                JxlColorEncodingSetToSRGB(&srgb, r->basic.num_color_channels == 1);
                JxlDecoderSetPreferredColorProfile(r->decoder, &srgb);
            }
            readIcc(r);
            break;
        } else {
            jxlClose(r);
            return fromStatus(status, message);
        }
    }
    *out = r;
    return CDX_OK;
}

static void jxlInfo(const CdxRaster* r, CdxRasterInfo* out) {
    if (r && out) *out = r->info;
}

static void jxlIcc(const CdxRaster* r, const uint8_t** data, size_t* size) {
    *data = r ? r->icc : NULL;
    *size = r ? r->iccSize : 0;
}

static void jxlExif(const CdxRaster* r, const uint8_t** data, size_t* size) {
    (void)r;
    *data = NULL;
    *size = 0;
}

static uint32_t durationMs(const CdxRaster* r, uint32_t ticks) {
    const JxlAnimationHeader* a = &r->basic.animation;
    if (!r->info.isAnimated || a->tps_numerator == 0) return 0;
    const uint64_t ms = (uint64_t)ticks * 1000u * a->tps_denominator / a->tps_numerator;
    return ms > 0xFFFFFFFFu ? 0xFFFFFFFFu : (uint32_t)ms;
}

static int jxlNextFrame(CdxRaster* r, CdxCancelFn cancel, void* user, CdxRasterFrame* out,
                        CdxMessage* message) {
    if (!r || !out) return CDX_BAD_ARGUMENT;
    if (r->finished) return CDX_END;
    for (;;) {
        if (cancel && cancel(user)) return CDX_CANCELLED;
        const JxlDecoderStatus status = JxlDecoderProcessInput(r->decoder);
        if (status == JXL_DEC_FRAME) {
            JxlFrameHeader header;
            if (JxlDecoderGetFrameHeader(r->decoder, &header) != JXL_DEC_SUCCESS)
                return fromStatus(JXL_DEC_ERROR, message);
            r->pendingDurationMs = durationMs(r, header.duration);
        } else if (status == JXL_DEC_NEED_IMAGE_OUT_BUFFER) {
            size_t size = 0;
            if (JxlDecoderImageOutBufferSize(r->decoder, &kFormat, &size) != JXL_DEC_SUCCESS ||
                size != (size_t)r->info.width * r->info.height * 4)
                return fromStatus(JXL_DEC_ERROR, message);
            if (!r->pixels) {
                r->pixels = malloc(size);
                if (!r->pixels) return CDX_NO_MEMORY;
                r->pixelBytes = size;
            }
            if (JxlDecoderSetImageOutBuffer(r->decoder, &kFormat, r->pixels, r->pixelBytes) !=
                JXL_DEC_SUCCESS)
                return fromStatus(JXL_DEC_ERROR, message);
        } else if (status == JXL_DEC_FULL_IMAGE) {
            out->width = r->info.width;
            out->height = r->info.height;
            out->stride = (size_t)r->info.width * 4;
            out->rgba = r->pixels;
            out->durationMs = r->pendingDurationMs;
            return r->pixels ? CDX_OK : CDX_ERROR;
        } else if (status == JXL_DEC_SUCCESS) {
            r->finished = 1;
            return CDX_END;
        } else {
            return fromStatus(status, message);
        }
    }
}

static int jxlThumbnail(CdxRaster* r, CdxRasterFrame* out, CdxMessage* message) {
    (void)r;
    (void)out;
    (void)message;
    return CDX_END;
}

CDX_EXPORT int CDX_FillJXL(CdxRasterApi* table) {
    if (!table || !cdxTableOk(table->abiVersion, table->size, sizeof *table))
        return CDX_BAD_ARGUMENT;
    table->open = jxlOpen;
    table->info = jxlInfo;
    table->iccProfile = jxlIcc;
    table->exif = jxlExif;
    table->nextFrame = jxlNextFrame;
    table->thumbnail = jxlThumbnail;
    table->close = jxlClose;
    return CDX_OK;
}
