/* Shared helpers of the codec extension module (not seen by the host). */
#ifndef KALDER_CDX_INTERNAL_H
#define KALDER_CDX_INTERNAL_H

#include <stdarg.h>

#include "cdx_api.h"

#define CDX_EXPORT __attribute__((visibility("default")))

/* Sets the message (NULL is allowed) from a format. */
void cdxSetMessage(CdxMessage* message, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
void cdxSetMessageV(char* out, size_t capacity, const char* format, va_list args);

/* The TIFF structure inside an ISO-BMFF Exif item or box, whose first 4 bytes are the big-endian
 * offset of the TIFF header behind them. 0 (nothing set) when the offset points outside. */
int cdxExifBehindOffset(const uint8_t* block, size_t size, const uint8_t** start, size_t* length);

/* Checks the header of a table the host handed in. */
int cdxTableOk(uint32_t abiVersion, uint32_t size, size_t expected);

/* The lossless transformation entry of the JPEG table (cdx_jpeg_transform.c). */
int cdxJpegTransform(const uint8_t* input, size_t inputSize, int32_t operation, uint32_t flags,
                     CdxJpegProgress progress, CdxByteSink sink, void* user, CdxMessage* message);

#endif
