#include <stdio.h>
#include <string.h>

#include "cdx_internal.h"

void cdxSetMessageV(char* out, size_t capacity, const char* format, va_list args) {
    if (!out || capacity == 0) return;
    vsnprintf(out, capacity, format, args);
    out[capacity - 1] = '\0';
}

void cdxSetMessage(CdxMessage* message, const char* format, ...) {
    if (!message) return;
    va_list args;
    va_start(args, format);
    cdxSetMessageV(message->text, sizeof message->text, format, args);
    va_end(args);
}

int cdxTableOk(uint32_t abiVersion, uint32_t size, size_t expected) {
    return abiVersion == CDX_ABI_VERSION && size == expected;
}

int cdxExifBehindOffset(const uint8_t* block, size_t size, const uint8_t** start, size_t* length) {
    if (!block || size < 4) return 0;
    const uint32_t skip = ((uint32_t)block[0] << 24) | ((uint32_t)block[1] << 16) |
                          ((uint32_t)block[2] << 8) | block[3];
    if (skip > size - 4) return 0;
    *start = block + 4 + skip;
    *length = size - 4 - skip;
    return 1;
}
