/* TIFF through libtiff. Every handle carries its own error and warning handlers (installed
 * through the open options before the file is parsed), so nothing here touches libtiff's
 * process-wide handlers and two threads with two handles never see each other's messages. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <tiffio.h>

#include "cdx_internal.h"

/* The largest single allocation libtiff may make for one handle (strip and tile buffers). */
#define CDX_TIFF_MAX_ALLOC ((tmsize_t)1 << 30)

struct CdxTiff {
    TIFF* tif;
    char message[CDX_MESSAGE_SIZE];
    int hasMessage;
    /* Memory source */
    const uint8_t* data;
    uint64_t size;
    uint64_t position;
};

static int onError(TIFF* tif, void* user, const char* module, const char* format, va_list args) {
    (void)tif;
    (void)module;
    struct CdxTiff* h = (struct CdxTiff*)user;
    if (h && !h->hasMessage) {
        cdxSetMessageV(h->message, sizeof h->message, format, args);
        h->hasMessage = 1;
    }
    return 1; /* handled: libtiff's global handler is not called */
}

static int onWarning(TIFF* tif, void* user, const char* module, const char* format, va_list args) {
    (void)tif;
    (void)user;
    (void)module;
    (void)format;
    (void)args;
    return 1;
}

static void resetMessage(struct CdxTiff* h) {
    h->message[0] = '\0';
    h->hasMessage = 0;
}

static int failWith(struct CdxTiff* h, const char* text) {
    if (!h->hasMessage) {
        snprintf(h->message, sizeof h->message, "%s", text);
        h->hasMessage = 1;
    }
    return CDX_ERROR;
}

/* ---- memory client procedures */

static tmsize_t memRead(thandle_t fd, void* buf, tmsize_t size) {
    struct CdxTiff* h = (struct CdxTiff*)fd;
    if (size <= 0 || h->position >= h->size) return 0;
    uint64_t n = (uint64_t)size;
    if (n > h->size - h->position) n = h->size - h->position;
    memcpy(buf, h->data + h->position, (size_t)n);
    h->position += n;
    return (tmsize_t)n;
}

static tmsize_t memWrite(thandle_t fd, void* buf, tmsize_t size) {
    (void)fd;
    (void)buf;
    (void)size;
    return -1;
}

static toff_t memSeek(thandle_t fd, toff_t offset, int whence) {
    struct CdxTiff* h = (struct CdxTiff*)fd;
    uint64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? h->position : h->size;
    uint64_t target = base + offset;
    if (target < base) return (toff_t)-1;
    h->position = target; /* past the end is allowed; reads then return 0 */
    return target;
}

static int memClose(thandle_t fd) {
    (void)fd;
    return 0;
}

static toff_t memSize(thandle_t fd) { return ((struct CdxTiff*)fd)->size; }

/* The block is already in memory: "mapping" hands it out as it is. */
static int memMap(thandle_t fd, void** base, toff_t* size) {
    struct CdxTiff* h = (struct CdxTiff*)fd;
    *base = (void*)h->data;
    *size = h->size;
    return 1;
}

static void memUnmap(thandle_t fd, void* base, toff_t size) {
    (void)fd;
    (void)base;
    (void)size;
}

static TIFFOpenOptions* makeOptions(struct CdxTiff* h) {
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (!options) return NULL;
    TIFFOpenOptionsSetErrorHandlerExtR(options, onError, h);
    TIFFOpenOptionsSetWarningHandlerExtR(options, onWarning, h);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, CDX_TIFF_MAX_ALLOC);
    return options;
}

static int finishOpen(struct CdxTiff* h, CdxTiff** out, CdxMessage* message) {
    if (!h->tif) {
        cdxSetMessage(message, "%s", h->hasMessage ? h->message : "cannot open the file");
        free(h);
        return CDX_ERROR;
    }
    *out = h;
    return CDX_OK;
}

static int tiffOpen(const char* path, const char* mode, CdxTiff** out, CdxMessage* message) {
    if (!path || !mode || !out) return CDX_BAD_ARGUMENT;
    *out = NULL;
    const char* libMode;
    if (strcmp(mode, "r") == 0) {
        /* Memory-mapped: libtiff 4.5.0 refuses uncompressed tiles read through its own
         * buffer (it compares the rounded-up buffer size with the tile size). */
        libMode = "r";
    } else if (strcmp(mode, "w") == 0) {
        libMode = "w";
    } else if (strcmp(mode, "a") == 0) {
        libMode = "a";
    } else {
        return CDX_BAD_ARGUMENT;
    }
    struct CdxTiff* h = (struct CdxTiff*)calloc(1, sizeof *h);
    if (!h) return CDX_NO_MEMORY;
    TIFFOpenOptions* options = makeOptions(h);
    if (!options) {
        free(h);
        return CDX_NO_MEMORY;
    }
    h->tif = TIFFOpenExt(path, libMode, options);
    TIFFOpenOptionsFree(options);
    return finishOpen(h, out, message);
}

static int tiffOpenMemory(const uint8_t* data, size_t size, CdxTiff** out, CdxMessage* message) {
    if (!data || !out) return CDX_BAD_ARGUMENT;
    *out = NULL;
    struct CdxTiff* h = (struct CdxTiff*)calloc(1, sizeof *h);
    if (!h) return CDX_NO_MEMORY;
    h->data = data;
    h->size = size;
    TIFFOpenOptions* options = makeOptions(h);
    if (!options) {
        free(h);
        return CDX_NO_MEMORY;
    }
    h->tif = TIFFClientOpenExt("memory", "r", (thandle_t)h, memRead, memWrite, memSeek, memClose,
                               memSize, memMap, memUnmap, options);
    TIFFOpenOptionsFree(options);
    return finishOpen(h, out, message);
}

static void tiffClose(CdxTiff* h) {
    if (!h) return;
    if (h->tif) TIFFClose(h->tif);
    free(h);
}

static const char* tiffLastError(CdxTiff* h) { return h ? h->message : ""; }

static int tiffDirectory(CdxTiff* h, CdxTiffDirectory* d) {
    if (!h || !d) return CDX_BAD_ARGUMENT;
    resetMessage(h);
    memset(d, 0, sizeof *d);
    TIFF* tif = h->tif;
    uint32_t u32 = 0;
    uint16_t u16 = 0;
    float f = 0;
    if (TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &u32)) d->width = u32, d->hasWidth = 1;
    if (TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &u32)) d->height = u32, d->hasHeight = 1;
    if (TIFFGetField(tif, TIFFTAG_ROWSPERSTRIP, &u32)) d->rowsPerStrip = u32;
    if (TIFFGetField(tif, TIFFTAG_TILEWIDTH, &u32)) d->tileWidth = u32;
    if (TIFFGetField(tif, TIFFTAG_TILELENGTH, &u32)) d->tileLength = u32;
    if (TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &u16))
        d->bitsPerSample = u16, d->hasBitsPerSample = 1;
    if (TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &u16))
        d->samplesPerPixel = u16, d->hasSamplesPerPixel = 1;
    if (TIFFGetField(tif, TIFFTAG_COMPRESSION, &u16)) d->compression = u16, d->hasCompression = 1;
    if (TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &u16)) d->photometric = u16, d->hasPhotometric = 1;
    if (TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &u16)) d->planar = u16;
    if (TIFFGetField(tif, TIFFTAG_RESOLUTIONUNIT, &u16))
        d->resolutionUnit = u16, d->hasResolutionUnit = 1;
    if (TIFFGetField(tif, TIFFTAG_XRESOLUTION, &f)) d->xResolution = f, d->hasXResolution = 1;
    if (TIFFGetField(tif, TIFFTAG_YRESOLUTION, &f)) d->yResolution = f, d->hasYResolution = 1;
    uint16_t *r = NULL, *g = NULL, *b = NULL;
    if (TIFFGetField(tif, TIFFTAG_COLORMAP, &r, &g, &b) && r && g && b) d->hasColorMap = 1;
    uint16_t extraCount = 0;
    uint16_t* extra = NULL;
    if (TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extra) && extraCount > 0 && extra)
        d->extraSample = extra[0], d->hasExtraSamples = 1;
    d->isTiled = TIFFIsTiled(tif) ? 1 : 0;
    d->stripCount = d->isTiled ? 0 : TIFFNumberOfStrips(tif);
    d->tileCount = d->isTiled ? TIFFNumberOfTiles(tif) : 0;
    char emsg[1024];
    d->rgbaReadable = TIFFRGBAImageOK(tif, emsg) ? 1 : 0;
    if (!d->rgbaReadable) {
        emsg[sizeof h->message - 1] = '\0';
        memcpy(h->message, emsg, sizeof h->message);
        h->hasMessage = 1;
    }
    return CDX_OK;
}

static int tiffNextDirectory(CdxTiff* h) {
    if (!h) return CDX_BAD_ARGUMENT;
    resetMessage(h);
    return TIFFReadDirectory(h->tif) ? CDX_OK : CDX_ERROR;
}

static int tiffColorMap(CdxTiff* h, uint16_t* red, uint16_t* green, uint16_t* blue,
                        size_t entries) {
    if (!h || !red || !green || !blue || entries > 256) return CDX_BAD_ARGUMENT;
    resetMessage(h);
    uint16_t bits = 0;
    uint16_t *r = NULL, *g = NULL, *b = NULL;
    if (!TIFFGetField(h->tif, TIFFTAG_BITSPERSAMPLE, &bits)) bits = 1;
    if (!TIFFGetField(h->tif, TIFFTAG_COLORMAP, &r, &g, &b) || !r || !g || !b)
        return failWith(h, "no colour map");
    /* libtiff allocates 2^BitsPerSample entries; never read beyond that. */
    size_t have = bits <= 16 ? ((size_t)1 << bits) : 0;
    if (entries > have) return failWith(h, "colour map smaller than asked");
    memcpy(red, r, entries * sizeof *red);
    memcpy(green, g, entries * sizeof *green);
    memcpy(blue, b, entries * sizeof *blue);
    return CDX_OK;
}

static int tiffDescription(CdxTiff* h, char* out, size_t capacity, size_t* length) {
    if (!h || !out || capacity == 0) return CDX_BAD_ARGUMENT;
    resetMessage(h);
    const char* text = NULL;
    out[0] = '\0';
    if (length) *length = 0;
    if (!TIFFGetField(h->tif, TIFFTAG_IMAGEDESCRIPTION, &text) || !text) return CDX_ERROR;
    size_t n = strlen(text);
    if (length) *length = n;
    if (n >= capacity) n = capacity - 1;
    memcpy(out, text, n);
    out[n] = '\0';
    return CDX_OK;
}

static int tiffReadRgbaStrip(CdxTiff* h, uint32_t row, uint32_t* raster, size_t capacity) {
    if (!h || !raster) return CDX_BAD_ARGUMENT;
    resetMessage(h);
    uint32_t width = 0, height = 0, rps = 0;
    if (!TIFFGetField(h->tif, TIFFTAG_IMAGEWIDTH, &width) ||
        !TIFFGetField(h->tif, TIFFTAG_IMAGELENGTH, &height))
        return failWith(h, "no image size");
    if (!TIFFGetFieldDefaulted(h->tif, TIFFTAG_ROWSPERSTRIP, &rps) || rps == 0)
        return failWith(h, "no rows per strip");
    if (row >= height || row % rps != 0) return CDX_BAD_ARGUMENT;
    uint64_t rows = height - row < rps ? height - row : rps;
    uint64_t need = (uint64_t)width * rows * 4u;
    if (need > capacity) return CDX_BAD_ARGUMENT;
    return TIFFReadRGBAStripExt(h->tif, row, raster, 1) ? CDX_OK : failWith(h, "strip unreadable");
}

static int tiffReadRgbaTile(CdxTiff* h, uint32_t x, uint32_t y, uint32_t* raster, size_t capacity) {
    if (!h || !raster) return CDX_BAD_ARGUMENT;
    resetMessage(h);
    uint32_t tw = 0, th = 0;
    if (!TIFFGetField(h->tif, TIFFTAG_TILEWIDTH, &tw) ||
        !TIFFGetField(h->tif, TIFFTAG_TILELENGTH, &th) || tw == 0 || th == 0)
        return failWith(h, "no tile size");
    if ((uint64_t)tw * th * 4u > capacity || x % tw != 0 || y % th != 0) return CDX_BAD_ARGUMENT;
    return TIFFReadRGBATileExt(h->tif, x, y, raster, 1) ? CDX_OK : failWith(h, "tile unreadable");
}

static int tiffWritePage(CdxTiff* h, const CdxTiffPage* page, CdxRowSource rows, void* user) {
    if (!h || !page || !rows || page->width == 0 || page->height == 0) return CDX_BAD_ARGUMENT;
    resetMessage(h);
    TIFF* tif = h->tif;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, page->width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, page->height);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, page->bitsPerSample);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, page->samplesPerPixel);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, page->photometric);
    if (!TIFFSetField(tif, TIFFTAG_COMPRESSION, page->compression))
        return failWith(h, "compression not available");
    if (page->extraSamples) {
        uint16_t kind = EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &kind);
    }
    if (page->photometric == PHOTOMETRIC_PALETTE) {
        if (!page->colorMap || page->bitsPerSample > 8) return CDX_BAD_ARGUMENT;
        size_t n = (size_t)1 << page->bitsPerSample;
        TIFFSetField(tif, TIFFTAG_COLORMAP, page->colorMap, page->colorMap + n,
                     page->colorMap + 2 * n);
    }
    if (page->xResolution > 0 && page->yResolution > 0) {
        TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        TIFFSetField(tif, TIFFTAG_XRESOLUTION, page->xResolution);
        TIFFSetField(tif, TIFFTAG_YRESOLUTION, page->yResolution);
    }
    if (page->description && page->description[0])
        TIFFSetField(tif, TIFFTAG_IMAGEDESCRIPTION, page->description);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
    if (h->hasMessage) return CDX_ERROR;

    uint64_t lineBits = (uint64_t)page->width * page->bitsPerSample * page->samplesPerPixel;
    uint64_t lineBytes = (lineBits + 7) / 8;
    tmsize_t libLine = TIFFScanlineSize(tif);
    if (libLine <= 0 || (uint64_t)libLine != lineBytes)
        return failWith(h, "unexpected scan line size");
    uint8_t* line = (uint8_t*)malloc((size_t)lineBytes);
    if (!line) return CDX_NO_MEMORY;
    int status = CDX_OK;
    for (uint32_t y = 0; y < page->height && status == CDX_OK; ++y) {
        if (rows(user, y, 0, line) != 0) {
            status = CDX_CANCELLED;
        } else if (TIFFWriteScanline(tif, line, y, 0) < 0) {
            status = failWith(h, "cannot write a scan line");
        }
    }
    free(line);
    if (status == CDX_OK && !TIFFWriteDirectory(tif))
        status = failWith(h, "cannot write the directory");
    return status;
}

CDX_EXPORT int CDX_FillTIFF(CdxTiffApi* table) {
    if (!table || !cdxTableOk(table->abiVersion, table->size, sizeof *table))
        return CDX_BAD_ARGUMENT;
    table->open = tiffOpen;
    table->openMemory = tiffOpenMemory;
    table->close = tiffClose;
    table->lastError = tiffLastError;
    table->directory = tiffDirectory;
    table->nextDirectory = tiffNextDirectory;
    table->colorMap = tiffColorMap;
    table->description = tiffDescription;
    table->readRgbaStrip = tiffReadRgbaStrip;
    table->readRgbaTile = tiffReadRgbaTile;
    table->writePage = tiffWritePage;
    return CDX_OK;
}
