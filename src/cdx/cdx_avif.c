/* AVIF sequences through libavif: the frames of the colour track (with its alpha track), each
 * converted to 8-bit RGBA and then cropped, turned and mirrored as the track's properties say
 * (the library only reports them). The library is told our size limits before it parses, so
 * neither it nor the AV1 decoder behind it allocates a frame beyond them. */
#include "cdx_avif.h"

#include <avif/avif.h>
#include <stdlib.h>
#include <string.h>

enum Mirror { MirrorNone, MirrorTopBottom, MirrorLeftRight };

/* How a decoded frame becomes the page: the crop rectangle is cut out first, then turned
 * anticlockwise by quarter turns, then mirrored. The order is fixed for AVIF whatever order the
 * properties are listed in, and the still reader shows the primary picture the same way. */
typedef struct Geometry {
    uint32_t x, y, width, height; /* the crop, inside the decoded frame */
    unsigned quarterTurns;        /* 0 to 3 */
    enum Mirror mirror;
} Geometry;

struct CdxAvifSequence {
    avifDecoder* decoder;
    CdxRasterInfo info;      /* the page, after the geometry */
    uint32_t codedW, codedH; /* each frame as decoded */
    Geometry geometry;
    int reshaped; /* whether the frame needs the geometry at all */
    uint8_t* icc;
    size_t iccSize;
    uint8_t* exif;
    size_t exifSize;
    uint8_t* decoded; /* the frame as decoded, codedW * 4 bytes a row */
    uint8_t* pixels;  /* the page of that frame when the geometry changes it, info.width * 4 */
    int failed;       /* after the first failure every call fails: the decoder's state is unknown */
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

/* Reads the geometry the track carries; 0 when its clean aperture names no rectangle inside
 * the frame. The library's own conversion judges the fractions (zero or negative denominators,
 * fractional sizes, overflow); the result is checked again here since the copy below trusts
 * it. */
static int readGeometry(const avifImage* image, Geometry* g) {
    g->x = 0;
    g->y = 0;
    g->width = image->width;
    g->height = image->height;
    g->quarterTurns = 0;
    g->mirror = MirrorNone;
    if (image->transformFlags & AVIF_TRANSFORM_CLAP) {
        avifCropRect rect;
        avifDiagnostics diag;
        if (!avifCropRectConvertCleanApertureBox(&rect, &image->clap, image->width, image->height,
                                                 image->yuvFormat, &diag))
            return 0;
        if (rect.width == 0 || rect.height == 0 || (uint64_t)rect.x + rect.width > image->width ||
            (uint64_t)rect.y + rect.height > image->height)
            return 0;
        g->x = rect.x;
        g->y = rect.y;
        g->width = rect.width;
        g->height = rect.height;
    }
    if (image->transformFlags & AVIF_TRANSFORM_IROT) g->quarterTurns = image->irot.angle & 3u;
    /* Mode 0 exchanges top and bottom, mode 1 left and right (the library's older name for the
     * field, axis, meant the opposite). */
    if (image->transformFlags & AVIF_TRANSFORM_IMIR)
        g->mirror = (image->imir.mode & 1u) ? MirrorLeftRight : MirrorTopBottom;
    return 1;
}

static uint32_t pageWidth(const Geometry* g) { return g->quarterTurns & 1u ? g->height : g->width; }
static uint32_t pageHeight(const Geometry* g) {
    return g->quarterTurns & 1u ? g->width : g->height;
}

/* Where the page's pixel (px, py) comes from, in the crop rectangle: the mirror undone first,
 * as it was applied last, then the turn. Affine in px and py. */
static void sourceOf(const Geometry* g, int64_t px, int64_t py, int64_t* cx, int64_t* cy) {
    const int64_t cw = g->width, ch = g->height;
    if (g->mirror == MirrorTopBottom) py = (int64_t)pageHeight(g) - 1 - py;
    if (g->mirror == MirrorLeftRight) px = (int64_t)pageWidth(g) - 1 - px;
    switch (g->quarterTurns) {
        case 1: /* the crop's right column became the page's top row */
            *cx = cw - 1 - py;
            *cy = px;
            break;
        case 2:
            *cx = cw - 1 - px;
            *cy = ch - 1 - py;
            break;
        case 3: /* the crop's left column became the page's bottom row */
            *cx = py;
            *cy = ch - 1 - px;
            break;
        default:
            *cx = px;
            *cy = py;
            break;
    }
}

/* Copies the page out of the decoded frame. Each step along a page row or column is one pixel
 * step in the source; offsets are kept as integers so none points outside the frame before it
 * is used. */
static void applyGeometry(const Geometry* g, const uint8_t* frame, size_t frameRowBytes,
                          uint8_t* page) {
    const uint32_t pw = pageWidth(g), ph = pageHeight(g);
    int64_t x0, y0, x1, y1, x2, y2;
    sourceOf(g, 0, 0, &x0, &y0);
    sourceOf(g, 1, 0, &x1, &y1);
    sourceOf(g, 0, 1, &x2, &y2);
    const int64_t row = (int64_t)frameRowBytes;
    const int64_t alongX = (x1 - x0) * 4 + (y1 - y0) * row;
    const int64_t alongY = (x2 - x0) * 4 + (y2 - y0) * row;
    int64_t start = ((int64_t)g->y + y0) * row + ((int64_t)g->x + x0) * 4;
    for (uint32_t py = 0; py < ph; ++py, start += alongY) {
        uint8_t* to = page + (size_t)py * pw * 4;
        int64_t from = start;
        for (uint32_t px = 0; px < pw; ++px, from += alongX, to += 4) memcpy(to, frame + from, 4);
    }
}

static int tooLarge(uint32_t w, uint32_t h, const CdxRasterLimits* limits) {
    return w == 0 || h == 0 || w > limits->maxSide || h > limits->maxSide ||
           (uint64_t)w * h > limits->maxPixels || (uint64_t)w * h > SIZE_MAX / 4;
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
    Geometry geometry;
    /* A clean aperture that names no rectangle inside the frame leaves the file to the still
     * reader, which judges the primary picture's own; frames shown uncropped would not match
     * that still. */
    if (d->imageCount <= 1 || !readGeometry(image, &geometry)) {
        avifDecoderDestroy(d);
        return CDX_END;
    }
    const uint32_t w = image->width, h = image->height;
    const uint32_t pw = pageWidth(&geometry), ph = pageHeight(&geometry);
    if (tooLarge(w, h, limits) || tooLarge(pw, ph, limits)) {
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
    s->codedW = w;
    s->codedH = h;
    s->geometry = geometry;
    s->reshaped = geometry.quarterTurns != 0 || geometry.mirror != MirrorNone ||
                  geometry.width != w || geometry.height != h;
    s->info.width = pw;
    s->info.height = ph;
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
    /* The AV1 payload may announce another size than the track; the page and the crop were
     * laid out from the track. */
    if (image->width != s->codedW || image->height != s->codedH) {
        s->failed = 1;
        cdxSetMessage(message, "AVIF frame %d is %ux%u, the sequence %ux%u", d->imageIndex,
                      image->width, image->height, s->codedW, s->codedH);
        return CDX_ERROR;
    }
    if (cancel && cancel(user)) return CDX_CANCELLED;
    const size_t rowBytes = (size_t)s->codedW * 4;
    if (!s->decoded) {
        s->decoded = malloc(rowBytes * s->codedH);
        if (!s->decoded) return CDX_NO_MEMORY;
    }
    const size_t pageRowBytes = (size_t)s->info.width * 4;
    if (s->reshaped && !s->pixels) {
        s->pixels = malloc(pageRowBytes * s->info.height);
        if (!s->pixels) return CDX_NO_MEMORY;
    }
    avifRGBImage rgb;
    avifRGBImageSetDefaults(&rgb, image);
    rgb.depth = 8;
    rgb.format = AVIF_RGB_FORMAT_RGBA;
    rgb.alphaPremultiplied = AVIF_FALSE;
    rgb.pixels = s->decoded;
    rgb.rowBytes = (uint32_t)rowBytes;
    result = avifImageYUVToRGB(image, &rgb);
    if (result != AVIF_RESULT_OK) return failWith(s, result, message);
    if (s->reshaped) applyGeometry(&s->geometry, s->decoded, rowBytes, s->pixels);
    out->width = s->info.width;
    out->height = s->info.height;
    out->stride = pageRowBytes;
    out->rgba = s->reshaped ? s->pixels : s->decoded;
    out->durationMs = durationMs(&d->imageTiming);
    return CDX_OK;
}

void cdxAvifSequenceClose(CdxAvifSequence* s) {
    if (!s) return;
    if (s->decoder) avifDecoderDestroy(s->decoder);
    free(s->icc);
    free(s->exif);
    free(s->decoded);
    free(s->pixels);
    free(s);
}
