/* HEIC and AVIF stills through libheif: the primary picture with its alpha, rotated, mirrored
 * and cropped as the container says (the library applies those unless told not to). An AVIF
 * sequence, which libheif sees only as its still, is decoded by libavif when the module has it:
 * the file passes libheif's checks first, then its frames come from the sequence decoder. */
#include <libheif/heif.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "cdx_heif_items.h"
#include "cdx_internal.h"
#ifdef CDX_HAVE_AVIF
#include "cdx_avif.h"
#endif

struct CdxRaster {
    struct heif_context* context;
    struct heif_image_handle* primary;
    struct heif_image_handle* thumbnail;
    struct heif_image* image; /* the last decoded one, kept for the caller's frame */
    const uint8_t* data;      /* the caller's file, read without a copy */
    size_t size;
    CdxRasterLimits limits;
    heif_item_id primaryId;
    heif_item_id thumbnailId;
    CdxRasterInfo info;
    uint8_t* icc;
    size_t iccSize;
    uint8_t* exif;
    size_t exifSize;
    const uint8_t* exifStart;
    size_t exifLength;
    int done;
#ifdef CDX_HAVE_AVIF
    CdxAvifSequence* sequence; /* set when the frames come from libavif */
#endif
};

static int failWith(CdxMessage* message, struct heif_error error) {
    cdxSetMessage(message, "%s", error.message ? error.message : "HEIF error");
    if (error.subcode == heif_suberror_Security_limit_exceeded) return CDX_TOO_LARGE;
    if (error.code == heif_error_Memory_allocation_error) return CDX_NO_MEMORY;
    return CDX_ERROR;
}

static void heifClose(CdxRaster* r) {
    if (!r) return;
#ifdef CDX_HAVE_AVIF
    cdxAvifSequenceClose(r->sequence);
#endif
    if (r->image) heif_image_release(r->image);
    if (r->thumbnail) heif_image_handle_release(r->thumbnail);
    if (r->primary) heif_image_handle_release(r->primary);
    if (r->context) heif_context_free(r->context);
    free(r->icc);
    free(r->exif);
    free(r);
}

static int tooLarge(uint32_t w, uint32_t h, const CdxRasterLimits* limits) {
    return w == 0 || h == 0 || w > limits->maxSide || h > limits->maxSide ||
           (uint64_t)w * h > limits->maxPixels;
}

/* The Exif item starts with the offset of the TIFF header behind a 4-byte field. */
static void readExif(CdxRaster* r) {
    heif_item_id id;
    if (heif_image_handle_get_list_of_metadata_block_IDs(r->primary, "Exif", &id, 1) < 1) return;
    const size_t size = heif_image_handle_get_metadata_size(r->primary, id);
    if (size < 4 || size > ((size_t)64 << 20)) return;
    r->exif = malloc(size);
    if (!r->exif) return;
    struct heif_error e = heif_image_handle_get_metadata(r->primary, id, r->exif);
    if (e.code != heif_error_Ok) return;
    cdxExifBehindOffset(r->exif, size, &r->exifStart, &r->exifLength);
}

static void readIcc(CdxRaster* r) {
    const enum heif_color_profile_type type = heif_image_handle_get_color_profile_type(r->primary);
    if (type != heif_color_profile_type_prof && type != heif_color_profile_type_rICC) return;
    const size_t size = heif_image_handle_get_raw_color_profile_size(r->primary);
    if (size == 0 || size > ((size_t)64 << 20)) return;
    r->icc = malloc(size);
    if (!r->icc) return;
    struct heif_error e = heif_image_handle_get_raw_color_profile(r->primary, r->icc);
    if (e.code == heif_error_Ok) r->iccSize = size;
}

#ifdef CDX_HAVE_AVIF
/* Frames, size and alpha come from the sequence; the profile and Exif of the still stand in
 * for the ones the track lacks. */
static int openSequence(CdxRaster* r, CdxMessage* message) {
    const int status = cdxAvifSequenceOpen(r->data, r->size, &r->limits, &r->sequence, message);
    if (status == CDX_END) return CDX_OK;
    if (status != CDX_OK) return status;
    cdxAvifSequenceInfo(r->sequence, &r->info);
    const uint8_t* data;
    size_t size;
    cdxAvifSequenceExif(r->sequence, &data, &size);
    if (size > 0) {
        r->exifStart = data;
        r->exifLength = size;
    }
    return CDX_OK;
}
#endif

static int heifOpen(const uint8_t* data, size_t size, const CdxRasterLimits* limits,
                    CdxRaster** out, CdxMessage* message) {
    if (!data || !limits || !out) return CDX_BAD_ARGUMENT;
    *out = NULL;
    CdxRaster* r = calloc(1, sizeof *r);
    if (!r) return CDX_NO_MEMORY;
    r->context = heif_context_alloc();
    if (!r->context) {
        heifClose(r);
        return CDX_NO_MEMORY;
    }
    r->data = data;
    r->size = size;
    r->limits = *limits;
    heif_context_set_maximum_image_size_limit(r->context, (int)limits->maxSide);
    struct heif_error e = heif_context_read_from_memory_without_copy(r->context, data, size, NULL);
    if (e.code == heif_error_Ok) e = heif_context_get_primary_image_ID(r->context, &r->primaryId);
    if (e.code == heif_error_Ok) e = heif_context_get_primary_image_handle(r->context, &r->primary);
    if (e.code != heif_error_Ok) {
        const int status = failWith(message, e);
        heifClose(r);
        return status;
    }
    /* The handle's size is the displayed one (after rotation and crop). */
    const int w = heif_image_handle_get_width(r->primary);
    const int h = heif_image_handle_get_height(r->primary);
    const int iw = heif_image_handle_get_ispe_width(r->primary);
    const int ih = heif_image_handle_get_ispe_height(r->primary);
    if (w <= 0 || h <= 0 || tooLarge((uint32_t)w, (uint32_t)h, limits) ||
        (iw > 0 && ih > 0 && tooLarge((uint32_t)iw, (uint32_t)ih, limits))) {
        cdxSetMessage(message, "HEIF picture %dx%d is too large", w, h);
        heifClose(r);
        return CDX_TOO_LARGE;
    }
    r->info.width = (uint32_t)w;
    r->info.height = (uint32_t)h;
    r->info.frameCount = 1;
    r->info.hasAlpha = heif_image_handle_has_alpha_channel(r->primary) != 0;
    r->info.isLossless = 2;
    const int bits = heif_image_handle_get_luma_bits_per_pixel(r->primary);
    r->info.bitDepth = bits > 0 ? (uint32_t)bits : 8;
    heif_item_id thumbId;
    if (heif_image_handle_get_list_of_thumbnail_IDs(r->primary, &thumbId, 1) == 1 &&
        heif_image_handle_get_thumbnail(r->primary, thumbId, &r->thumbnail).code == heif_error_Ok) {
        r->thumbnailId = thumbId;
        const int tw = heif_image_handle_get_width(r->thumbnail);
        const int th = heif_image_handle_get_height(r->thumbnail);
        if (tw > 0 && th > 0 && !tooLarge((uint32_t)tw, (uint32_t)th, limits)) {
            r->info.thumbnailWidth = (uint32_t)tw;
            r->info.thumbnailHeight = (uint32_t)th;
        }
    }
    readIcc(r);
    readExif(r);
#ifdef CDX_HAVE_AVIF
    const int sequence = openSequence(r, message);
    if (sequence != CDX_OK) {
        heifClose(r);
        return sequence;
    }
#endif
    *out = r;
    return CDX_OK;
}

static void heifInfo(const CdxRaster* r, CdxRasterInfo* out) {
    if (r && out) *out = r->info;
}

static void heifIcc(const CdxRaster* r, const uint8_t** data, size_t* size) {
#ifdef CDX_HAVE_AVIF
    if (r && r->sequence) {
        cdxAvifSequenceIcc(r->sequence, data, size);
        if (*size > 0) return;
    }
#endif
    *data = r ? r->icc : NULL;
    *size = r ? r->iccSize : 0;
}

static void heifExif(const CdxRaster* r, const uint8_t** data, size_t* size) {
    *data = r ? r->exifStart : NULL;
    *size = r ? r->exifLength : 0;
}

static struct heif_error decodeWithLibrary(struct heif_image_handle* handle,
                                           struct heif_image** image) {
    struct heif_decoding_options* options = heif_decoding_options_alloc();
    if (!options) {
        struct heif_error e = {heif_error_Memory_allocation_error, heif_suberror_Unspecified,
                               "out of memory"};
        return e;
    }
    options->convert_hdr_to_8bit = 1;
    struct heif_error e = heif_decode_image(handle, image, heif_colorspace_RGB,
                                            heif_chroma_interleaved_RGBA, options);
    heif_decoding_options_free(options);
    return e;
}

/* The library cannot be interrupted inside a decode, and a HEVC or AV1 picture of a phone takes
 * a good part of a second. The main picture is therefore decoded on a thread of its own while
 * the caller watches its cancel callback: a cancelled decode is abandoned and finishes in the
 * background on its own copy of the file. Every job thread is joined: a finished decode by its
 * caller before it returns, an abandoned one by a later decode or at the latest at exit. A
 * thread that merely ran off on its own could still be tearing down the library's objects
 * after the caller (or the whole program) believed it gone. */
typedef struct DecodeJob {
    pthread_mutex_t lock;
    pthread_cond_t changed;
    int finished, abandoned; /* guarded by lock */
    pthread_t thread;
    uint8_t* bytes;
    size_t size;
    int maxSide;
    heif_item_id id;
    struct heif_image* image;
    struct heif_error error;
    char message[256]; /* the error's text outlives the job's context */
    /* Guarded by gJobsLock: the list of abandoned jobs not yet joined, and whether this one's
     * thread is past its last use of the job (so joining it cannot block). */
    struct DecodeJob* nextAbandoned;
    int reapable;
} DecodeJob;

/* Jobs still running, abandoned ones still running, and the abandoned ones to be joined. A user
 * holding Next File down abandons a decode at every step, so a new decode first waits (still
 * answering its cancel) while kMaxAbandoned are finishing. */
static pthread_mutex_t gJobsLock = PTHREAD_MUTEX_INITIALIZER;
static pthread_cond_t gJobsDone;
static pthread_once_t gJobsOnce = PTHREAD_ONCE_INIT;

static void initJobs(void) {
    pthread_condattr_t attributes;
    pthread_condattr_init(&attributes);
    pthread_condattr_setclock(&attributes, CLOCK_MONOTONIC);
    pthread_cond_init(&gJobsDone, &attributes);
    pthread_condattr_destroy(&attributes);
}
static int gJobsRunning, gJobsAbandoned;
static DecodeJob* gAbandonedJobs;
enum { kMaxAbandoned = 2 };

static void deadlineIn5ms(struct timespec* until) {
    clock_gettime(CLOCK_MONOTONIC, until);
    until->tv_nsec += 5 * 1000 * 1000;
    if (until->tv_nsec >= 1000000000L) {
        until->tv_nsec -= 1000000000L;
        ++until->tv_sec;
    }
}

static void freeJob(DecodeJob* job) {
    if (job->image) heif_image_release(job->image);
    pthread_cond_destroy(&job->changed);
    pthread_mutex_destroy(&job->lock);
    free(job->bytes);
    free(job);
}

/* Joins and frees the abandoned jobs whose threads are done; with `all`, first waits until every
 * job (abandoned or awaited) has finished. */
static void reapAbandonedJobs(int all) {
    pthread_once(&gJobsOnce, initJobs);
    pthread_mutex_lock(&gJobsLock);
    if (all) {
        while (gJobsRunning > 0) pthread_cond_wait(&gJobsDone, &gJobsLock);
    }
    DecodeJob* done = NULL;
    for (DecodeJob** link = &gAbandonedJobs; *link;) {
        DecodeJob* job = *link;
        if (job->reapable) {
            *link = job->nextAbandoned;
            job->nextAbandoned = done;
            done = job;
        } else {
            link = &job->nextAbandoned;
        }
    }
    pthread_mutex_unlock(&gJobsLock);
    while (done) {
        DecodeJob* next = done->nextAbandoned;
        pthread_join(done->thread, NULL);
        freeJob(done);
        done = next;
    }
}

static void waitForAbandonedDecodes(void) { reapAbandonedJobs(1); }

/* Registered once the libraries below are up, so that at exit it runs before their static
 * objects are destroyed (a job still decoding would use them) and before the leak checker of a
 * sanitizer build looks at the heap. */
__attribute__((constructor)) static void waitAtExit(void) { atexit(waitForAbandonedDecodes); }

static void* runJob(void* arg) {
    DecodeJob* job = arg;
    struct heif_image* image = NULL;
    struct heif_error e = {heif_error_Memory_allocation_error, heif_suberror_Unspecified, ""};
    char message[sizeof job->message] = "";
    struct heif_context* context = heif_context_alloc();
    if (context) {
        heif_context_set_maximum_image_size_limit(context, job->maxSide);
        struct heif_image_handle* handle = NULL;
        e = heif_context_read_from_memory_without_copy(context, job->bytes, job->size, NULL);
        if (e.code == heif_error_Ok) e = heif_context_get_image_handle(context, job->id, &handle);
        if (e.code == heif_error_Ok) e = decodeWithLibrary(handle, &image);
        if (handle) heif_image_handle_release(handle);
    }
    /* The context goes before the job counts as finished: nothing of the library's is left
     * behind the caller's back. */
    snprintf(message, sizeof message, "%s", e.message ? e.message : "HEIF error");
    if (context) heif_context_free(context);
    pthread_mutex_lock(&job->lock);
    memcpy(job->message, message, sizeof message);
    job->error = e;
    job->error.message = job->message;
    job->image = image;
    job->finished = 1;
    const int abandoned = job->abandoned;
    pthread_cond_signal(&job->changed);
    pthread_mutex_unlock(&job->lock);
    pthread_mutex_lock(&gJobsLock);
    --gJobsRunning;
    if (abandoned) {
        --gJobsAbandoned;
        job->reapable = 1;
    }
    pthread_cond_broadcast(&gJobsDone);
    pthread_mutex_unlock(&gJobsLock);
    return NULL;
}

/* CDX_OK once fewer than kMaxAbandoned abandoned jobs are running. */
static int waitForRoom(CdxCancelFn cancel, void* user) {
    reapAbandonedJobs(0);
    pthread_mutex_lock(&gJobsLock);
    while (gJobsAbandoned >= kMaxAbandoned) {
        pthread_mutex_unlock(&gJobsLock);
        if (cancel(user)) return CDX_CANCELLED;
        pthread_mutex_lock(&gJobsLock);
        struct timespec until;
        deadlineIn5ms(&until);
        pthread_cond_timedwait(&gJobsDone, &gJobsLock, &until);
    }
    pthread_mutex_unlock(&gJobsLock);
    return CDX_OK;
}

/* 1 with the job started; 0 when no thread could be had (the caller decodes in place). */
static int startJob(CdxRaster* r, heif_item_id id, DecodeJob** out) {
    pthread_once(&gJobsOnce, initJobs);
    DecodeJob* job = calloc(1, sizeof *job);
    if (!job) return 0;
    job->bytes = malloc(r->size ? r->size : 1);
    pthread_condattr_t attributes;
    int ok = job->bytes != NULL && pthread_condattr_init(&attributes) == 0;
    if (ok) {
        pthread_condattr_setclock(&attributes, CLOCK_MONOTONIC);
        pthread_cond_init(&job->changed, &attributes);
        pthread_condattr_destroy(&attributes);
        pthread_mutex_init(&job->lock, NULL);
    }
    if (!ok) {
        free(job->bytes);
        free(job);
        return 0;
    }
    memcpy(job->bytes, r->data, r->size);
    job->size = r->size;
    job->maxSide = (int)r->limits.maxSide;
    job->id = id;
    pthread_mutex_lock(&gJobsLock);
    ++gJobsRunning;
    pthread_mutex_unlock(&gJobsLock);
    if (pthread_create(&job->thread, NULL, runJob, job) != 0) {
        pthread_mutex_lock(&gJobsLock);
        --gJobsRunning;
        pthread_cond_broadcast(&gJobsDone);
        pthread_mutex_unlock(&gJobsLock);
        freeJob(job);
        return 0;
    }
    *out = job;
    return 1;
}

/* Waits for the job, asking `cancel` every few milliseconds (before looking whether the job is
 * done, so a cancel is always honoured). On CDX_OK the picture is in *image. */
static int awaitJob(DecodeJob* job, CdxCancelFn cancel, void* user, struct heif_image** image,
                    CdxMessage* message) {
    int stop = 0;
    pthread_mutex_lock(&job->lock);
    for (;;) {
        pthread_mutex_unlock(&job->lock);
        stop = cancel(user);
        pthread_mutex_lock(&job->lock);
        if (stop && !job->finished) {
            /* Left to finish on its own; a later decode or the exit joins it. */
            job->abandoned = 1;
            pthread_mutex_lock(&gJobsLock);
            ++gJobsAbandoned;
            job->nextAbandoned = gAbandonedJobs;
            gAbandonedJobs = job;
            pthread_mutex_unlock(&gJobsLock);
            pthread_mutex_unlock(&job->lock);
            return CDX_CANCELLED;
        }
        if (stop || job->finished) break;
        struct timespec until;
        deadlineIn5ms(&until);
        pthread_cond_timedwait(&job->changed, &job->lock, &until);
    }
    pthread_mutex_unlock(&job->lock);
    /* The thread has nothing left to do but return. */
    pthread_join(job->thread, NULL);
    int status = CDX_OK;
    if (stop) {
        status = CDX_CANCELLED;
    } else if (job->error.code != heif_error_Ok) {
        status = failWith(message, job->error);
    } else {
        *image = job->image;
        job->image = NULL;
    }
    freeJob(job);
    return status;
}

static int decodeHandle(CdxRaster* r, struct heif_image_handle* handle, heif_item_id id,
                        CdxCancelFn cancel, void* user, CdxRasterFrame* out, CdxMessage* message) {
    if (r->image) {
        heif_image_release(r->image);
        r->image = NULL;
    }
    const int checked = cdxHeifCheckItem(r->data, r->size, id, &r->limits, message);
    if (checked != CDX_OK) return checked;
    DecodeJob* job = NULL;
    if (cancel && waitForRoom(cancel, user) != CDX_OK) return CDX_CANCELLED;
    if (cancel && startJob(r, id, &job)) {
        const int status = awaitJob(job, cancel, user, &r->image, message);
        if (status != CDX_OK) return status;
    } else {
        struct heif_error e = decodeWithLibrary(handle, &r->image);
        if (e.code != heif_error_Ok) return failWith(message, e);
    }
    int stride = 0;
    const uint8_t* plane =
        heif_image_get_plane_readonly(r->image, heif_channel_interleaved, &stride);
    const int w = heif_image_get_width(r->image, heif_channel_interleaved);
    const int h = heif_image_get_height(r->image, heif_channel_interleaved);
    if (!plane || w <= 0 || h <= 0 || stride < w * 4 ||
        heif_image_get_bits_per_pixel_range(r->image, heif_channel_interleaved) != 8) {
        cdxSetMessage(message, "HEIF decoder gave no usable picture");
        return CDX_ERROR;
    }
    out->width = (uint32_t)w;
    out->height = (uint32_t)h;
    out->stride = (size_t)stride;
    out->rgba = plane;
    out->durationMs = 0;
    return CDX_OK;
}

static int heifNextFrame(CdxRaster* r, CdxCancelFn cancel, void* user, CdxRasterFrame* out,
                         CdxMessage* message) {
    if (!r || !out) return CDX_BAD_ARGUMENT;
#ifdef CDX_HAVE_AVIF
    if (r->sequence) return cdxAvifSequenceNextFrame(r->sequence, cancel, user, out, message);
#endif
    if (r->done) return CDX_END;
    if (cancel && cancel(user)) return CDX_CANCELLED;
    r->done = 1;
    return decodeHandle(r, r->primary, r->primaryId, cancel, user, out, message);
}

static int heifThumbnail(CdxRaster* r, CdxRasterFrame* out, CdxMessage* message) {
    if (!r || !out) return CDX_BAD_ARGUMENT;
    if (!r->thumbnail || r->info.thumbnailWidth == 0) return CDX_END;
    return decodeHandle(r, r->thumbnail, r->thumbnailId, NULL, NULL, out, message);
}

CDX_EXPORT int CDX_FillHEIF(CdxRasterApi* table) {
    if (!table || !cdxTableOk(table->abiVersion, table->size, sizeof *table))
        return CDX_BAD_ARGUMENT;
    table->open = heifOpen;
    table->info = heifInfo;
    table->iccProfile = heifIcc;
    table->exif = heifExif;
    table->nextFrame = heifNextFrame;
    table->thumbnail = heifThumbnail;
    table->close = heifClose;
    return CDX_OK;
}
