/* PNG writing through libpng. libpng's error handler must not return: ours records the message
 * and jumps back into writeGuarded, the only function here that calls setjmp. Buffers are
 * allocated by the caller, and the caller destroys the write structure on every path. */
#include <png.h>
#include <setjmp.h>
#include <stdlib.h>
#include <string.h>

#include "cdx_internal.h"

typedef struct WriteContext {
    CdxByteSink sink;
    void* user;
    CdxMessage* message;
    int status;
} WriteContext;

static void onError(png_structp png, png_const_charp text) {
    WriteContext* ctx = (WriteContext*)png_get_error_ptr(png);
    if (ctx && ctx->status == CDX_OK) {
        cdxSetMessage(ctx->message, "%s", text ? text : "PNG error");
        ctx->status = CDX_ERROR;
    }
    png_longjmp(png, 1);
}

static void onWarning(png_structp png, png_const_charp text) {
    (void)png;
    (void)text;
}

static void writeBytes(png_structp png, png_bytep data, size_t size) {
    WriteContext* ctx = (WriteContext*)png_get_io_ptr(png);
    if (ctx->sink(ctx->user, data, size) != 0) png_error(png, "cannot write the output");
}

static void flushBytes(png_structp png) { (void)png; }

static int isAscii(const char* text) {
    for (; *text; ++text)
        if ((unsigned char)*text >= 0x80) return 0;
    return 1;
}

static void writeGuarded(png_structp png, png_infop info, WriteContext* ctx, const CdxPngOptions* o,
                         CdxRowSource rows, void* user, png_bytep line, png_textp texts) {
    if (setjmp(png_jmpbuf(png))) return; /* the status is in ctx */
    png_set_write_fn(png, ctx, writeBytes, flushBytes);
    png_set_compression_level(png, o->fastCompression ? 1 : 9);
    png_set_IHDR(png, info, o->width, o->height, o->bitDepth, o->colorType,
                 o->interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (o->colorType == PNG_COLOR_TYPE_PALETTE) {
        png_color colors[256];
        uint32_t n = o->paletteSize > 256 ? 256 : o->paletteSize;
        for (uint32_t i = 0; i < n; ++i) {
            colors[i].red = o->palette[i * 3];
            colors[i].green = o->palette[i * 3 + 1];
            colors[i].blue = o->palette[i * 3 + 2];
        }
        png_set_PLTE(png, info, colors, (int)n);
        if (o->transparency && o->transparencySize > 0 && o->transparencySize <= n)
            png_set_tRNS(png, info, o->transparency, (int)o->transparencySize, NULL);
    }
    if (texts && o->textCount > 0) png_set_text(png, info, texts, (int)o->textCount);
    if (o->pixelsPerMetreX && o->pixelsPerMetreY)
        png_set_pHYs(png, info, o->pixelsPerMetreX, o->pixelsPerMetreY, PNG_RESOLUTION_METER);
    if (o->gamma > 0) png_set_gAMA(png, info, o->gamma);
    if (o->hasOffset) png_set_oFFs(png, info, o->offsetX, o->offsetY, PNG_OFFSET_PIXEL);
    png_write_info(png, info);
    if (o->packed && o->bitDepth < 8) png_set_packing(png);
    int passes = png_set_interlace_handling(png);
    for (int pass = 0; pass < passes; ++pass) {
        for (uint32_t y = 0; y < o->height; ++y) {
            if (rows(user, y, (uint32_t)pass, line) != 0) {
                ctx->status = CDX_CANCELLED;
                cdxSetMessage(ctx->message, "cancelled");
                return;
            }
            png_write_row(png, line);
        }
    }
    png_write_end(png, info);
}

static int pngWrite(const CdxPngOptions* o, CdxRowSource rows, CdxByteSink sink, void* user,
                    CdxMessage* message) {
    if (!o || !rows || !sink || o->width == 0 || o->height == 0 ||
        (o->colorType == PNG_COLOR_TYPE_PALETTE && (!o->palette || o->paletteSize == 0)) ||
        (o->textCount && !o->texts))
        return CDX_BAD_ARGUMENT;
    cdxSetMessage(message, "%s", "");
    WriteContext ctx = {sink, user, message, CDX_OK};

    size_t channels = o->colorType == PNG_COLOR_TYPE_RGB_ALPHA    ? 4
                      : o->colorType == PNG_COLOR_TYPE_RGB        ? 3
                      : o->colorType == PNG_COLOR_TYPE_GRAY_ALPHA ? 2
                                                                  : 1;
    /* Packed palette rows arrive one index a byte; other low depths arrive already packed. */
    png_bytep line = (png_bytep)malloc((size_t)o->width * channels);
    png_textp texts = o->textCount ? (png_textp)calloc(o->textCount, sizeof(png_text)) : NULL;
    if (!line || (o->textCount && !texts)) {
        free(line);
        free(texts);
        return CDX_NO_MEMORY;
    }
    for (size_t i = 0; i < o->textCount; ++i) {
        const char* text = o->texts[i].text ? o->texts[i].text : "";
        texts[i].compression = PNG_TEXT_COMPRESSION_NONE;
        texts[i].key = (png_charp)o->texts[i].keyword;
        texts[i].text = (png_charp)text;
        texts[i].text_length = strlen(text);
        /* tEXt holds Latin-1 only; UTF-8 beyond ASCII goes into an international chunk. */
        if (o->texts[i].utf8 && !isAscii(text)) {
            texts[i].compression = PNG_ITXT_COMPRESSION_NONE;
            texts[i].lang = (png_charp) "";
            texts[i].lang_key = (png_charp) "";
            texts[i].itxt_length = texts[i].text_length;
            texts[i].text_length = 0;
        }
    }

    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &ctx, onError, onWarning);
    png_infop info = png ? png_create_info_struct(png) : NULL;
    if (!png || !info) {
        if (png) png_destroy_write_struct(&png, NULL);
        free(line);
        free(texts);
        return CDX_NO_MEMORY;
    }
    writeGuarded(png, info, &ctx, o, rows, user, line, texts);
    png_destroy_write_struct(&png, &info);
    free(line);
    free(texts);
    return ctx.status;
}

CDX_EXPORT int CDX_FillPNG(CdxPngApi* table) {
    if (!table || !cdxTableOk(table->abiVersion, table->size, sizeof *table))
        return CDX_BAD_ARGUMENT;
    table->write = pngWrite;
    return CDX_OK;
}
