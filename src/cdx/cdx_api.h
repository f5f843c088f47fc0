/* The tables through which the program calls the codec extension module (libkalder-cdx.so).
 *
 * The module exports CDX_FillTIFF, CDX_FillJ2K, CDX_FillJPEG and CDX_FillPNG, and, when it was
 * built with the library, CDX_FillWEBP, CDX_FillHEIF and CDX_FillJXL (each a CdxRasterApi).
 * Each fills a table the caller owns; the caller sets abiVersion and size first and the module
 * refuses a table it does not know. Every entry returns a status (CDX_OK or an error) and puts
 * the library's message into a buffer; nothing unwinds across an entry: setjmp/longjmp and the
 * libraries' error handlers stay inside the module. Callbacks handed to the module are plain C
 * functions that must not throw or jump.
 *
 * C-compatible: the module is built from C++ but the host sees only these declarations. */
#ifndef KALDER_CDX_API_H
#define KALDER_CDX_API_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define CDX_ABI_VERSION 2u
/* TIFF, JPEG-2000, JPEG and PNG; the newer formats each have a module of their own. */
#define CDX_MODULE_NAME "libkalder-cdx.so"
#define CDX_WEBP_MODULE_NAME "libkalder-cdx-webp.so"
#define CDX_HEIF_MODULE_NAME "libkalder-cdx-heif.so"
#define CDX_JXL_MODULE_NAME "libkalder-cdx-jxl.so"

enum CdxStatus {
    CDX_OK = 0,
    CDX_ERROR = 1, /* the library reported an error; see the message */
    CDX_NO_MEMORY = 2,
    CDX_CANCELLED = 3, /* a callback asked to stop */
    CDX_BAD_ARGUMENT = 4,
    CDX_TOO_LARGE = 5, /* the data announces more than the caller's limits */
    CDX_END = 6        /* no further frame */
};

#define CDX_MESSAGE_SIZE 256

/* Written into by every failing entry; always NUL-terminated. */
typedef struct CdxMessage {
    char text[CDX_MESSAGE_SIZE];
} CdxMessage;

/* Row source used by the writers: fill `out` with row `y` (the layout the entry documents).
 * Return 0 to go on, anything else to stop the write (it then fails with CDX_CANCELLED). */
typedef int (*CdxRowSource)(void* user, uint32_t y, uint32_t pass, uint8_t* out);
/* Byte sink used by the JPEG and PNG writers; return 0 on success. */
typedef int (*CdxByteSink)(void* user, const uint8_t* data, size_t size);

/* ---------------------------------------------------------------- TIFF */

typedef struct CdxTiff CdxTiff;

/* The current directory as the reader needs it. has* flags tell whether a tag is present. */
typedef struct CdxTiffDirectory {
    uint32_t width, height;
    uint32_t rowsPerStrip, tileWidth, tileLength; /* 0 when absent */
    uint32_t stripCount, tileCount;
    uint16_t bitsPerSample, samplesPerPixel, compression, photometric, planar, resolutionUnit;
    uint8_t hasWidth, hasHeight, hasBitsPerSample, hasSamplesPerPixel, hasCompression;
    uint8_t hasPhotometric, hasResolutionUnit, hasXResolution, hasYResolution, hasColorMap;
    uint8_t isTiled, rgbaReadable; /* rgbaReadable: the RGBA interface accepts the directory */
    double xResolution, yResolution;
    /* The first ExtraSamples value (0 unspecified, 1 associated alpha, 2 unassociated alpha). */
    uint16_t extraSample;
    uint8_t hasExtraSamples;
} CdxTiffDirectory;

/* One page to write. Rows come from the row source as packed samples of one scan line. */
typedef struct CdxTiffPage {
    uint32_t width, height;
    uint16_t compression, photometric, bitsPerSample, samplesPerPixel;
    uint16_t extraSamples;           /* 1: the last sample is unassociated alpha */
    const uint16_t* colorMap;        /* photometric 3: 3 * 2^bits entries (red, green, blue) */
    double xResolution, yResolution; /* dots per inch; 0: none written */
    const char* description;         /* or NULL */
} CdxTiffPage;

typedef struct CdxTiffApi {
    uint32_t abiVersion;
    uint32_t size;
    /* mode "r" read, "w" create, "a" append. Error and warning handlers are installed per
     * handle before the file is parsed: errors land in the handle's message, warnings vanish. */
    int (*open)(const char* path, const char* mode, CdxTiff** out, CdxMessage* message);
    /* Reads from a block the caller keeps alive while the handle is open. */
    int (*openMemory)(const uint8_t* data, size_t size, CdxTiff** out, CdxMessage* message);
    void (*close)(CdxTiff* tif);
    /* The message of the last failing call on the handle. */
    const char* (*lastError)(CdxTiff* tif);
    int (*directory)(CdxTiff* tif, CdxTiffDirectory* out);
    /* CDX_OK when there is a next directory and it was read; CDX_ERROR otherwise. */
    int (*nextDirectory)(CdxTiff* tif);
    /* entries: 2^bitsPerSample; each array must hold that many values. */
    int (*colorMap)(CdxTiff* tif, uint16_t* red, uint16_t* green, uint16_t* blue, size_t entries);
    /* Copies up to capacity - 1 bytes, NUL-terminated; *length gets the full length.
     * CDX_ERROR when the tag is absent. */
    int (*description)(CdxTiff* tif, char* out, size_t capacity, size_t* length);
    /* Reads the strip holding `row` as RGBA, bottom-up, into `raster` (capacity in bytes must
     * be at least width * min(rowsPerStrip, height - row) * 4). */
    int (*readRgbaStrip)(CdxTiff* tif, uint32_t row, uint32_t* raster, size_t capacity);
    /* Reads the tile at pixel (x, y) as RGBA, bottom-up, tileWidth * tileLength * 4 bytes. */
    int (*readRgbaTile)(CdxTiff* tif, uint32_t x, uint32_t y, uint32_t* raster, size_t capacity);
    /* Writes one directory: tags of the page, then the rows (pass 0); the rows hold
     * ceil(width * bitsPerSample * samplesPerPixel / 8) bytes. */
    int (*writePage)(CdxTiff* tif, const CdxTiffPage* page, CdxRowSource rows, void* user);
} CdxTiffApi;

/* ---------------------------------------------------------------- JPEG-2000 */

typedef struct CdxJ2kImage CdxJ2kImage;

/* The codestream, read through the host. Positions are relative to the codestream's start. */
typedef struct CdxJ2kStream {
    void* user;
    uint64_t length;
    /* Returns the bytes read, 0 at the end. */
    size_t (*read)(void* user, uint8_t* out, size_t size);
    /* Returns non-zero when the position was set. */
    int (*seek)(void* user, uint64_t position);
    uint64_t (*tell)(void* user);
    /* Asked as the data comes in; non-zero cancels the decode. */
    int (*progress)(void* user, uint64_t done, uint64_t total);
} CdxJ2kStream;

typedef struct CdxJ2kLimits {
    uint32_t maxSide; /* largest image width or height */
    uint32_t maxComponents;
    uint64_t maxSampleBytes; /* bound on the decoded component buffers */
    /* Resolution levels to leave out: each halves both sides. Clamped to what every tile
     * holds; a codestream that refuses the reduction is decoded whole. */
    uint32_t reduce;
} CdxJ2kLimits;

typedef struct CdxJ2kComponent {
    uint32_t dx, dy;        /* sub-sampling */
    uint32_t width, height; /* samples in `data` per row and rows */
    uint32_t precision;
    uint32_t isSigned;
    const int32_t* data; /* width * height samples, owned by the image */
} CdxJ2kComponent;

/* The decoded image area: the reference grid divided by 2^reduce, rounded up. */
typedef struct CdxJ2kInfo {
    uint32_t x0, y0, x1, y1;
    uint32_t components;
    uint32_t reduce; /* the resolution levels actually left out */
} CdxJ2kInfo;

typedef struct CdxJ2kApi {
    uint32_t abiVersion;
    uint32_t size;
    /* Reads the main header, checks it against the limits and decodes the whole codestream. */
    int (*decode)(const CdxJ2kStream* stream, const CdxJ2kLimits* limits, CdxJ2kImage** out,
                  CdxMessage* message);
    void (*info)(const CdxJ2kImage* image, CdxJ2kInfo* out);
    int (*component)(const CdxJ2kImage* image, uint32_t index, CdxJ2kComponent* out);
    void (*release)(CdxJ2kImage* image);
} CdxJ2kApi;

/* ---------------------------------------------------------------- JPEG */

typedef struct CdxJpegOptions {
    uint32_t width, height;
    uint32_t components; /* 1 gray rows (1 byte a pixel) or 3 RGB rows */
    int32_t quality;     /* 0..100, baseline tables forced */
    int32_t smoothing;   /* 0..100 */
    int32_t sampling;    /* first component: 0 -> 1x1, 1 -> 2x2, 2 -> 2x1 */
    uint8_t progressive;
    uint8_t forceGray;   /* write a gray colour space even from RGB rows */
    uint16_t dpiX, dpiY; /* both 0: no density written */
    const uint8_t* exif; /* raw Exif block, written as APP1 "Exif\0\0" + block */
    size_t exifSize;
    const char* const* comments; /* COM markers */
    size_t commentCount;
} CdxJpegOptions;

/* Lossless transformations of the DCT coefficients. */
enum CdxJpegOperation {
    CDX_JPEG_FLIP_H = 1,
    CDX_JPEG_FLIP_V = 2,
    CDX_JPEG_TRANSPOSE = 3,  /* mirror along the top-left to bottom-right diagonal */
    CDX_JPEG_TRANSVERSE = 4, /* mirror along the top-right to bottom-left diagonal */
    CDX_JPEG_ROTATE_90 = 5,  /* clockwise */
    CDX_JPEG_ROTATE_180 = 6,
    CDX_JPEG_ROTATE_270 = 7
};

#define CDX_JPEG_TRIM 1u         /* drop the partial edge blocks the operation cannot move */
#define CDX_JPEG_PROGRESSIVE 2u  /* write a progressive stream */
#define CDX_JPEG_COPY_MARKERS 4u /* copy every APPn and COM segment of the input */

/* Asked once per row of coefficient blocks of each component: `done` of `total` block rows of
 * component `component`. Non-zero stops the transformation (CDX_CANCELLED). */
typedef int (*CdxJpegProgress)(void* user, uint32_t component, uint32_t done, uint32_t total);

typedef struct CdxJpegApi {
    uint32_t abiVersion;
    uint32_t size;
    int (*compress)(const CdxJpegOptions* options, CdxRowSource rows, CdxByteSink sink, void* user,
                    CdxMessage* message);
    /* Transforms the JPEG stream in `input` (starting at its SOI) and hands the whole result to
     * the sink in one call. Warnings of the decoder (a truncated or corrupt stream) fail. */
    int (*transform)(const uint8_t* input, size_t inputSize, int32_t operation, uint32_t flags,
                     CdxJpegProgress progress, CdxByteSink sink, void* user, CdxMessage* message);
} CdxJpegApi;

/* ---------------------------------------------------------------- PNG */

typedef struct CdxPngText {
    const char* keyword;
    const char* text;
    uint8_t utf8; /* the text is UTF-8: written as iTXt unless it is plain ASCII */
} CdxPngText;

typedef struct CdxPngOptions {
    uint32_t width, height;
    uint8_t bitDepth;  /* 1, 2, 4, 8 */
    uint8_t colorType; /* 0, 2, 3, 4, 6 */
    uint8_t interlaced;
    uint8_t packed;         /* palette rows carry one index a byte; the library packs them */
    const uint8_t* palette; /* paletteSize * 3 bytes */
    uint32_t paletteSize;
    const uint8_t* transparency; /* tRNS alpha values, or NULL */
    uint32_t transparencySize;
    const CdxPngText* texts;
    size_t textCount;
    uint32_t pixelsPerMetreX, pixelsPerMetreY; /* 0: no pHYs */
    double gamma;                              /* 0: no gAMA */
    uint8_t hasOffset;                         /* write oFFs, in pixels */
    int32_t offsetX, offsetY;
    uint8_t fastCompression; /* a cache entry: compress quickly rather than small */
} CdxPngOptions;

typedef struct CdxPngApi {
    uint32_t abiVersion;
    uint32_t size;
    /* Rows are asked for once per interlace pass (pass 0 .. passes - 1). */
    int (*write)(const CdxPngOptions* options, CdxRowSource rows, CdxByteSink sink, void* user,
                 CdxMessage* message);
} CdxPngApi;

/* ---------------------------------------------------------------- whole-picture decoders */

/* WebP, HEIF/AVIF and JPEG XL: the file is held in memory by the caller, the library decodes
 * whole frames into 8-bit RGBA (not premultiplied), orientation and crop already applied. */
typedef struct CdxRaster CdxRaster;

typedef struct CdxRasterLimits {
    uint32_t maxSide;   /* largest width or height of the picture (or its canvas) */
    uint64_t maxPixels; /* largest width * height */
} CdxRasterLimits;

typedef struct CdxRasterInfo {
    uint32_t width, height; /* as displayed: after rotation and crop */
    uint32_t frameCount;    /* 0 when only decoding tells */
    uint8_t hasAlpha;
    uint8_t isAnimated;
    uint8_t isGray;                           /* the file codes gray only */
    uint8_t isLossless;                       /* 1 lossless, 0 lossy, 2 unknown or mixed */
    uint32_t bitDepth;                        /* of the coded samples; output is always 8 */
    uint32_t thumbnailWidth, thumbnailHeight; /* 0 when the file carries none */
} CdxRasterInfo;

/* One decoded frame, owned by the handle until the next call on it. */
typedef struct CdxRasterFrame {
    uint32_t width, height;
    size_t stride; /* bytes between rows */
    const uint8_t* rgba;
    uint32_t durationMs; /* display time of the frame; 0 for a still */
} CdxRasterFrame;

/* Asked between library steps; non-zero stops the work (CDX_CANCELLED). */
typedef int (*CdxCancelFn)(void* user);

typedef struct CdxRasterApi {
    uint32_t abiVersion;
    uint32_t size;
    /* Parses the headers of a block the caller keeps alive while the handle is open and
     * checks the sizes against the limits before the library allocates pixels. */
    int (*open)(const uint8_t* data, size_t size, const CdxRasterLimits* limits, CdxRaster** out,
                CdxMessage* message);
    void (*info)(const CdxRaster* raster, CdxRasterInfo* out);
    /* Embedded ICC profile and Exif (the Exif block as the container stores it); both point
     * into the handle; *size 0 when absent. */
    void (*iccProfile)(const CdxRaster* raster, const uint8_t** data, size_t* size);
    void (*exif)(const CdxRaster* raster, const uint8_t** data, size_t* size);
    /* Decodes the next frame (the only one of a still); CDX_END after the last. */
    int (*nextFrame)(CdxRaster* raster, CdxCancelFn cancel, void* user, CdxRasterFrame* out,
                     CdxMessage* message);
    /* Decodes the embedded thumbnail instead of the picture; CDX_END when there is none. */
    int (*thumbnail)(CdxRaster* raster, CdxRasterFrame* out, CdxMessage* message);
    void (*close)(CdxRaster* raster);
} CdxRasterApi;

/* The exports. Each returns CDX_OK when it filled the table. */
typedef int (*CdxFillTiffFn)(CdxTiffApi* table);
typedef int (*CdxFillJ2kFn)(CdxJ2kApi* table);
typedef int (*CdxFillJpegFn)(CdxJpegApi* table);
typedef int (*CdxFillPngFn)(CdxPngApi* table);
typedef int (*CdxFillRasterFn)(CdxRasterApi* table);

#ifdef __cplusplus
}
#endif

#endif /* KALDER_CDX_API_H */
