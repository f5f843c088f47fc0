/* Lossless JPEG transformations: the coefficients are read, moved and written again through
 * libturbojpeg's transformer, which works on the same DCT blocks the decoder sees and never
 * decodes pixels. Its errors come back as return values (it keeps libjpeg's jumps inside), so
 * nothing here needs setjmp. */
#include <limits.h>
#include <stdio.h>
#include <string.h>
#include <turbojpeg.h>

#include "cdx_internal.h"

typedef struct TransformContext {
    CdxJpegProgress progress;
    void* user;
    int cancelled;
} TransformContext;

/* Called after the blocks have been moved, once per block row of each component; it only
 * watches, so the coefficients stay as they are. */
static int watchRows(short* coeffs, tjregion arrayRegion, tjregion planeRegion, int componentIndex,
                     int transformIndex, tjtransform* transform) {
    (void)coeffs;
    (void)transformIndex;
    TransformContext* ctx = (TransformContext*)transform->data;
    if (!ctx->progress) return 0;
    uint32_t total = planeRegion.h > 0 ? (uint32_t)planeRegion.h / 8u : 0u;
    uint32_t done = (uint32_t)(arrayRegion.y + arrayRegion.h) / 8u;
    if (ctx->progress(ctx->user, (uint32_t)componentIndex, done, total) != 0) {
        ctx->cancelled = 1;
        return -1;
    }
    return 0;
}

static int operationOf(int32_t operation) {
    switch (operation) {
        case CDX_JPEG_FLIP_H:
            return TJXOP_HFLIP;
        case CDX_JPEG_FLIP_V:
            return TJXOP_VFLIP;
        case CDX_JPEG_TRANSPOSE:
            return TJXOP_TRANSPOSE;
        case CDX_JPEG_TRANSVERSE:
            return TJXOP_TRANSVERSE;
        case CDX_JPEG_ROTATE_90:
            return TJXOP_ROT90;
        case CDX_JPEG_ROTATE_180:
            return TJXOP_ROT180;
        case CDX_JPEG_ROTATE_270:
            return TJXOP_ROT270;
        default:
            return -1;
    }
}

int cdxJpegTransform(const uint8_t* input, size_t inputSize, int32_t operation, uint32_t flags,
                     CdxJpegProgress progress, CdxByteSink sink, void* user, CdxMessage* message) {
    int op = operationOf(operation);
    if (!input || inputSize < 4 || inputSize > ULONG_MAX || !sink || op < 0)
        return CDX_BAD_ARGUMENT;
    cdxSetMessage(message, "%s", "");

    tjhandle handle = tjInitTransform();
    if (!handle) {
        cdxSetMessage(message, "%s", tjGetErrorStr2(NULL));
        return CDX_NO_MEMORY;
    }
    TransformContext ctx = {progress, user, 0};
    tjtransform transform;
    memset(&transform, 0, sizeof transform);
    transform.op = op;
    transform.options = 0;
    if (flags & CDX_JPEG_TRIM) transform.options |= TJXOPT_TRIM;
    if (flags & CDX_JPEG_PROGRESSIVE) transform.options |= TJXOPT_PROGRESSIVE;
    if (!(flags & CDX_JPEG_COPY_MARKERS)) transform.options |= TJXOPT_COPYNONE;
    transform.data = &ctx;
    transform.customFilter = watchRows;

    unsigned char* output = NULL;
    unsigned long outputSize = 0;
    /* A warning means the stream is damaged: a transformed copy of it would be damaged too. */
    int tjFlags = TJFLAG_STOPONWARNING | TJFLAG_LIMITSCANS;
    /* Left to itself the library grows the output by doubling and copying, which touches about
       twice the output's memory; one buffer of the largest size the picture can take, plus room
       for the copied markers (never more than the input), is touched only as far as it is
       written. */
    int width = 0, height = 0, subsampling = 0, colourspace = 0;
    if (tjDecompressHeader3(handle, input, (unsigned long)inputSize, &width, &height, &subsampling,
                            &colourspace) == 0) {
        unsigned long across = tjBufSize(width, height, subsampling);
        unsigned long turned = tjBufSize(height, width, subsampling);
        if (turned > across) across = turned;
        if (across != (unsigned long)-1 && across <= ULONG_MAX - inputSize &&
            across + inputSize <= (unsigned long)INT_MAX) {
            outputSize = across + (unsigned long)inputSize;
            output = tjAlloc((int)outputSize);
            if (output)
                tjFlags |= TJFLAG_NOREALLOC;
            else
                outputSize = 0;
        }
    }
    int rc = tjTransform(handle, input, (unsigned long)inputSize, 1, &output, &outputSize,
                         &transform, tjFlags);
    if (rc != 0 && (tjFlags & TJFLAG_NOREALLOC) && !ctx.cancelled &&
        strstr(tjGetErrorStr2(handle), "too small") != NULL) {
        /* An output past the bound (a progressive one of odd scans) fails rather than growing:
           it gets a second chance with a growing buffer. Any other failure (a damaged stream)
           would only fail again, after a second pass over the whole file. */
        tjFree(output);
        output = NULL;
        outputSize = 0;
        rc = tjTransform(handle, input, (unsigned long)inputSize, 1, &output, &outputSize,
                         &transform, tjFlags & ~TJFLAG_NOREALLOC);
    }
    int status = CDX_OK;
    if (rc != 0) {
        status = ctx.cancelled ? CDX_CANCELLED : CDX_ERROR;
        cdxSetMessage(message, "%s", ctx.cancelled ? "cancelled" : tjGetErrorStr2(handle));
    } else if (sink(user, output, (size_t)outputSize) != 0) {
        status = CDX_ERROR;
        cdxSetMessage(message, "cannot write the output");
    }
    tjFree(output);
    tjDestroy(handle);
    return status;
}
