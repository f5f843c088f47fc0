/* Checks of a HEIF file's item boxes that the library leaves to its caller. */
#ifndef KALDER_CDX_HEIF_ITEMS_H
#define KALDER_CDX_HEIF_ITEMS_H

#include "cdx_internal.h"

/* CDX_OK when decoding item `id` of the file stays within `limits` and reaches only pictures;
 * otherwise a status and the reason in `message`. */
int cdxHeifCheckItem(const uint8_t* data, size_t size, uint32_t id, const CdxRasterLimits* limits,
                     CdxMessage* message);

#endif
