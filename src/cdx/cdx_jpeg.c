/* JPEG compression through libjpeg. libjpeg reports errors by calling error_exit, which must
 * not return: ours jumps back into compressGuarded, the only function here that calls setjmp.
 * It touches nothing but C structs and buffers allocated by its caller, so nothing is skipped
 * by the jump; the caller destroys the compressor on every path. */
#include <setjmp.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* jpeglib.h needs FILE and size_t declared before it. */
#include <jpeglib.h>

#include "cdx_internal.h"

#define OUTPUT_BUFFER_SIZE 65536
#define MAX_MARKER_DATA 65533u

typedef struct ErrorManager {
    struct jpeg_error_mgr pub;
    jmp_buf jump;
    CdxMessage* message;
    int status;
} ErrorManager;

typedef struct Destination {
    struct jpeg_destination_mgr pub;
    CdxByteSink sink;
    void* user;
    JOCTET buffer[OUTPUT_BUFFER_SIZE];
} Destination;

static void onErrorExit(j_common_ptr cinfo) {
    ErrorManager* err = (ErrorManager*)cinfo->err;
    char text[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, text);
    if (err->status == CDX_OK) {
        cdxSetMessage(err->message, "%s", text);
        err->status = CDX_ERROR;
    }
    longjmp(err->jump, 1);
}

static void onOutputMessage(j_common_ptr cinfo) { (void)cinfo; }

static void initDestination(j_compress_ptr cinfo) {
    Destination* d = (Destination*)cinfo->dest;
    d->pub.next_output_byte = d->buffer;
    d->pub.free_in_buffer = OUTPUT_BUFFER_SIZE;
}

static boolean emptyOutputBuffer(j_compress_ptr cinfo) {
    Destination* d = (Destination*)cinfo->dest;
    if (d->sink(d->user, d->buffer, OUTPUT_BUFFER_SIZE) != 0) {
        ErrorManager* err = (ErrorManager*)cinfo->err;
        cdxSetMessage(err->message, "cannot write the output");
        err->status = CDX_ERROR;
        longjmp(err->jump, 1);
    }
    d->pub.next_output_byte = d->buffer;
    d->pub.free_in_buffer = OUTPUT_BUFFER_SIZE;
    return TRUE;
}

static void termDestination(j_compress_ptr cinfo) {
    Destination* d = (Destination*)cinfo->dest;
    size_t n = OUTPUT_BUFFER_SIZE - d->pub.free_in_buffer;
    if (n > 0 && d->sink(d->user, d->buffer, n) != 0) {
        ErrorManager* err = (ErrorManager*)cinfo->err;
        cdxSetMessage(err->message, "cannot write the output");
        err->status = CDX_ERROR;
        longjmp(err->jump, 1);
    }
}

static void configure(j_compress_ptr cinfo, const CdxJpegOptions* o) {
    cinfo->image_width = o->width;
    cinfo->image_height = o->height;
    cinfo->input_components = (int)o->components;
    cinfo->in_color_space = o->components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(cinfo);
    int quality = o->quality < 0 ? 0 : o->quality > 100 ? 100 : o->quality;
    jpeg_set_quality(cinfo, quality, TRUE);
    cinfo->smoothing_factor = o->smoothing < 0 ? 0 : o->smoothing > 100 ? 100 : o->smoothing;
    if (o->forceGray && o->components != 1) jpeg_set_colorspace(cinfo, JCS_GRAYSCALE);
    if (cinfo->num_components > 1) {
        int h = o->sampling == 0 ? 1 : 2;
        int v = o->sampling == 1 ? 2 : 1;
        cinfo->comp_info[0].h_samp_factor = h;
        cinfo->comp_info[0].v_samp_factor = v;
    }
    if (o->dpiX || o->dpiY) {
        cinfo->density_unit = 1;
        cinfo->X_density = o->dpiX ? o->dpiX : o->dpiY;
        cinfo->Y_density = o->dpiY ? o->dpiY : o->dpiX;
    }
    if (o->progressive) jpeg_simple_progression(cinfo);
}

static void compressGuarded(j_compress_ptr cinfo, ErrorManager* err, Destination* dest,
                            const CdxJpegOptions* o, CdxRowSource rows, void* user, JSAMPLE* line,
                            uint8_t* markerBuffer) {
    if (setjmp(err->jump)) return; /* status and message are already in err */
    jpeg_create_compress(cinfo);
    cinfo->dest = &dest->pub;
    configure(cinfo, o);
    jpeg_start_compress(cinfo, TRUE);
    if (markerBuffer) {
        memcpy(markerBuffer, "Exif\0\0", 6);
        memcpy(markerBuffer + 6, o->exif, o->exifSize);
        jpeg_write_marker(cinfo, JPEG_APP0 + 1, markerBuffer, (unsigned)(o->exifSize + 6));
    }
    for (size_t i = 0; i < o->commentCount; ++i) {
        const char* text = o->comments[i];
        if (!text) continue;
        size_t n = strlen(text);
        if (n > MAX_MARKER_DATA) n = MAX_MARKER_DATA;
        jpeg_write_marker(cinfo, JPEG_COM, (const JOCTET*)text, (unsigned)n);
    }
    while (cinfo->next_scanline < cinfo->image_height) {
        if (rows(user, cinfo->next_scanline, 0, line) != 0) {
            err->status = CDX_CANCELLED;
            cdxSetMessage(err->message, "cancelled");
            return;
        }
        JSAMPROW row = line;
        jpeg_write_scanlines(cinfo, &row, 1);
    }
    jpeg_finish_compress(cinfo);
}

static int jpegCompress(const CdxJpegOptions* o, CdxRowSource rows, CdxByteSink sink, void* user,
                        CdxMessage* message) {
    if (!o || !rows || !sink || o->width == 0 || o->height == 0 || o->width > 65500 ||
        o->height > 65500 || (o->components != 1 && o->components != 3) ||
        (o->commentCount && !o->comments) || (o->exifSize && !o->exif))
        return CDX_BAD_ARGUMENT;
    cdxSetMessage(message, "%s", "");

    struct jpeg_compress_struct cinfo;
    memset(&cinfo, 0, sizeof cinfo);
    ErrorManager err;
    memset(&err, 0, sizeof err);
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = onErrorExit;
    err.pub.output_message = onOutputMessage;
    err.message = message;
    err.status = CDX_OK;

    Destination* dest = (Destination*)calloc(1, sizeof *dest);
    JSAMPLE* line = (JSAMPLE*)malloc((size_t)o->width * o->components);
    /* An Exif block too long for one marker is left out rather than failing the file. */
    int withExif = o->exifSize > 0 && o->exifSize + 6 <= MAX_MARKER_DATA;
    uint8_t* markerBuffer = withExif ? (uint8_t*)malloc(o->exifSize + 6) : NULL;
    if (!dest || !line || (withExif && !markerBuffer)) {
        free(dest);
        free(line);
        free(markerBuffer);
        return CDX_NO_MEMORY;
    }
    dest->pub.init_destination = initDestination;
    dest->pub.empty_output_buffer = emptyOutputBuffer;
    dest->pub.term_destination = termDestination;
    dest->sink = sink;
    dest->user = user;

    compressGuarded(&cinfo, &err, dest, o, rows, user, line, markerBuffer);
    jpeg_destroy_compress(&cinfo);
    free(markerBuffer);
    free(line);
    free(dest);
    return err.status;
}

CDX_EXPORT int CDX_FillJPEG(CdxJpegApi* table) {
    if (!table || !cdxTableOk(table->abiVersion, table->size, sizeof *table))
        return CDX_BAD_ARGUMENT;
    table->compress = jpegCompress;
    table->transform = cdxJpegTransform;
    return CDX_OK;
}
