/* AVIF sequences through libavif. libheif reads only the still (primary) picture of such a file,
 * so the HEIF table hands a file that holds several frames on a track to this decoder. */
#ifndef KALDER_CDX_AVIF_H
#define KALDER_CDX_AVIF_H

#include "cdx_internal.h"

typedef struct CdxAvifSequence CdxAvifSequence;

/* Non-zero when the file type box names the sequence brand (as major or compatible brand). */
int cdxAvifNamesSequence(const uint8_t* data, size_t size);

/* CDX_OK and *out when the file holds a sequence of more than one frame that this decoder
 * shows, each frame cropped, turned and mirrored as the track says; CDX_END when the file is
 * better left to the still reader (one frame, a clean aperture that names no rectangle inside
 * the frame, or a track the library cannot parse); otherwise a failure. */
int cdxAvifSequenceOpen(const uint8_t* data, size_t size, const CdxRasterLimits* limits,
                        CdxAvifSequence** out, CdxMessage* message);
void cdxAvifSequenceInfo(const CdxAvifSequence* s, CdxRasterInfo* out);
/* Point into the library's image; *size 0 when absent. */
void cdxAvifSequenceIcc(const CdxAvifSequence* s, const uint8_t** data, size_t* size);
void cdxAvifSequenceExif(const CdxAvifSequence* s, const uint8_t** data, size_t* size);
int cdxAvifSequenceNextFrame(CdxAvifSequence* s, CdxCancelFn cancel, void* user,
                             CdxRasterFrame* out, CdxMessage* message);
void cdxAvifSequenceClose(CdxAvifSequence* s);

#endif
