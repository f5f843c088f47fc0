/* JPEG XL stills and animations through libjxl, at 8 bits a sample. Frames are composed by the
 * library (coalescing) and turned upright (orientation applied). The Exif box of the container
 * (plain or Brotli-compressed) is collected as the decoder passes it. */
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
    int decompressBoxes; /* the library can unpack Brotli-compressed boxes */
    uint8_t* exif;       /* the Exif box payload, while and after it is collected */
    size_t exifCapacity, exifFilled;
    int collectingExif;
    const uint8_t* exifStart; /* the TIFF structure inside it */
    size_t exifLength;
    JxlDecoderStatus deferredStatus; /* the event the opening look-ahead stopped at */
    int hasDeferred;
};

static const size_t kMaxExifBytes = (size_t)64 << 20;

static const JxlPixelFormat kFormat = {4, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};

static void jxlClose(CdxRaster* r) {
    if (!r) return;
    if (r->decoder) JxlDecoderDestroy(r->decoder);
    if (r->runner) JxlThreadParallelRunnerDestroy(r->runner);
    free(r->icc);
    free(r->pixels);
    free(r->exif);
    free(r);
}

/* The box payload starts with the offset of the TIFF header behind a 4-byte field. */
static void finishExif(CdxRaster* r) {
    if (!r->collectingExif) return;
    r->collectingExif = 0;
    const size_t unused = JxlDecoderReleaseBoxBuffer(r->decoder);
    if (unused > r->exifCapacity - r->exifFilled) return;
    cdxExifBehindOffset(r->exif, r->exifCapacity - unused, &r->exifStart, &r->exifLength);
}

static void dropExif(CdxRaster* r) {
    JxlDecoderReleaseBoxBuffer(r->decoder);
    r->collectingExif = 0;
    free(r->exif);
    r->exif = NULL;
    r->exifCapacity = r->exifFilled = 0;
}

/* A new box: the one before it is complete. Only the first Exif box is kept. */
static void startBox(CdxRaster* r) {
    finishExif(r);
    if (r->exif) return;
    JxlBoxType type;
    uint64_t raw = 0;
    if (JxlDecoderGetBoxType(r->decoder, type, r->decompressBoxes ? JXL_TRUE : JXL_FALSE) !=
            JXL_DEC_SUCCESS ||
        memcmp(type, "Exif", 4) != 0 ||
        JxlDecoderGetBoxSizeRaw(r->decoder, &raw) != JXL_DEC_SUCCESS)
        return;
    /* A compressed box tells only its packed size; its buffer grows as the library asks. */
    uint64_t capacity = raw < 4096 ? 4096 : raw;
    if (capacity > kMaxExifBytes) return;
    r->exif = malloc((size_t)capacity);
    if (!r->exif) return;
    r->exifCapacity = (size_t)capacity;
    r->exifFilled = 0;
    if (JxlDecoderSetBoxBuffer(r->decoder, r->exif, r->exifCapacity) != JXL_DEC_SUCCESS) {
        dropExif(r);
        return;
    }
    r->collectingExif = 1;
}

static void growExif(CdxRaster* r) {
    if (!r->collectingExif) return;
    const size_t unused = JxlDecoderReleaseBoxBuffer(r->decoder);
    if (unused > r->exifCapacity || r->exifCapacity >= kMaxExifBytes) {
        dropExif(r);
        return;
    }
    r->exifFilled = r->exifCapacity - unused;
    size_t capacity = r->exifCapacity * 2;
    if (capacity > kMaxExifBytes) capacity = kMaxExifBytes;
    uint8_t* grown = realloc(r->exif, capacity);
    if (!grown) {
        dropExif(r);
        return;
    }
    r->exif = grown;
    r->exifCapacity = capacity;
    if (JxlDecoderSetBoxBuffer(r->decoder, r->exif + r->exifFilled,
                               r->exifCapacity - r->exifFilled) != JXL_DEC_SUCCESS)
        dropExif(r);
}

/* Box events come between the others in file order; non-zero when `status` was one. */
static int boxEvent(CdxRaster* r, JxlDecoderStatus status) {
    if (status == JXL_DEC_BOX) {
        startBox(r);
        return 1;
    }
    if (status == JXL_DEC_BOX_NEED_MORE_OUTPUT) {
        growExif(r);
        return 1;
    }
    return 0;
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

/* Lossy pictures are coded in the library's own colour space and can be handed out in any
 * encoding it can name. The file's own one (sRGB, or the 2.2 gamma of a PNG with a gAMA chunk)
 * keeps the numbers the encoder was given, as a lossless file and the reference decoder give
 * them, with the profile that describes them for colour management. Linear light and the HDR
 * curves would need more than 8 bits or tone mapping, and an original ICC profile cannot be
 * reproduced by the library: those are asked for as sRGB. */
static int keepsOwnEncoding(JxlDecoder* decoder) {
    JxlColorEncoding own;
    if (JxlDecoderGetColorAsEncodedProfile(decoder, &kFormat, JXL_COLOR_PROFILE_TARGET_ORIGINAL,
                                           &own) != JXL_DEC_SUCCESS)
        return 0;
    switch (own.transfer_function) {
        case JXL_TRANSFER_FUNCTION_SRGB:
        case JXL_TRANSFER_FUNCTION_709:
        case JXL_TRANSFER_FUNCTION_DCI:
            return 1;
        case JXL_TRANSFER_FUNCTION_GAMMA:
            return own.gamma > 0.25 && own.gamma < 0.8; /* stored as 1 / display gamma */
        default:
            return 0;
    }
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
                                                  JXL_DEC_FRAME | JXL_DEC_FULL_IMAGE |
                                                  JXL_DEC_BOX) != JXL_DEC_SUCCESS ||
        JxlDecoderSetKeepOrientation(r->decoder, JXL_FALSE) != JXL_DEC_SUCCESS ||
        JxlDecoderSetInput(r->decoder, data, size) != JXL_DEC_SUCCESS) {
        jxlClose(r);
        return CDX_NO_MEMORY;
    }
    JxlDecoderCloseInput(r->decoder);
    r->decompressBoxes = JxlDecoderSetDecompressBoxes(r->decoder, JXL_TRUE) == JXL_DEC_SUCCESS;
    /* Up to the colour encoding: the sizes are checked before any pixel buffer exists. */
    for (;;) {
        const JxlDecoderStatus status = JxlDecoderProcessInput(r->decoder);
        if (boxEvent(r, status)) continue;
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
            /* Without a preference an original ICC profile would make the library hand out
             * linear light. */
            if (!r->basic.uses_original_profile && !keepsOwnEncoding(r->decoder)) {
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
    /* A recompressed JPEG keeps its Exif box behind the first part of the codestream. Running
     * on to the first frame header (no pixels yet) completes a box before it; the event that
     * stopped the run is handed to the first frame decode. */
    JxlDecoderStatus status;
    do status = JxlDecoderProcessInput(r->decoder);
    while (boxEvent(r, status));
    r->deferredStatus = status;
    r->hasDeferred = 1;
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
    *data = r ? r->exifStart : NULL;
    *size = r ? r->exifLength : 0;
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
        const JxlDecoderStatus status =
            r->hasDeferred ? r->deferredStatus : JxlDecoderProcessInput(r->decoder);
        r->hasDeferred = 0;
        if (boxEvent(r, status)) continue;
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
            finishExif(r);
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
