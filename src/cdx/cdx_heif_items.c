/* A walk over the item boxes of a HEIF file before the library decodes a picture.
 *
 * The library sizes a grid or overlay canvas from the derived item's own payload, not from the
 * picture size it reports, and it asserts (ending the process) when a derived item names an
 * item that is not a picture. A few hundred hostile bytes can do either, so every derived item
 * the decode would reach is checked here first: its references name pictures, its canvas fits
 * the limits, and the derivation chain is short. */
#include "cdx_heif_items.h"

#include <stdint.h>
#include <string.h>

typedef struct {
    const uint8_t* data;
    size_t size;
} Span;

typedef struct {
    Span file;
    Span iinf; /* payloads (behind the full-box header) */
    Span iref;
    Span iloc;
    Span idat;
    int iinfVersion, irefVersion, ilocVersion;
    unsigned budget;     /* derived items still allowed to be visited */
    unsigned long steps; /* boxes looked at so far, against a hostile file's quadratic tables */
} Items;

enum { MaxDerivedVisits = 64, MaxDerivationDepth = 8 };
#define MAX_STEPS (1ul << 22)

static uint32_t be(const uint8_t* p, unsigned n) {
    uint32_t v = 0;
    for (unsigned i = 0; i < n; ++i) v = (v << 8) | p[i];
    return v;
}

static uint64_t be64(const uint8_t* p, unsigned n) {
    uint64_t v = 0;
    for (unsigned i = 0; i < n; ++i) v = (v << 8) | p[i];
    return v;
}

/* Steps over one box of `s` at *pos: its type and its payload. Returns 0 at the end or on a
 * box that does not fit. */
static int nextBox(Span s, size_t* pos, uint32_t* type, Span* payload) {
    if (*pos > s.size || s.size - *pos < 8) return 0;
    const uint8_t* p = s.data + *pos;
    uint64_t size = be(p, 4);
    size_t header = 8;
    *type = be(p + 4, 4);
    if (size == 1) {
        if (s.size - *pos < 16) return 0;
        size = be64(p + 8, 8);
        header = 16;
    } else if (size == 0) {
        size = s.size - *pos;
    }
    if (size < header || size > s.size - *pos) return 0;
    payload->data = p + header;
    payload->size = (size_t)size - header;
    *pos += (size_t)size;
    return 1;
}

#define FOURCC(a, b, c, d) \
    (((uint32_t)(a) << 24) | ((uint32_t)(b) << 16) | ((uint32_t)(c) << 8) | (uint32_t)(d))

static int findBox(Span s, uint32_t wanted, Span* out) {
    size_t pos = 0;
    uint32_t type;
    Span payload;
    while (nextBox(s, &pos, &type, &payload))
        if (type == wanted) {
            *out = payload;
            return 1;
        }
    return 0;
}

/* Splits a full box into its version and the rest. */
static int fullBox(Span box, Span* rest, int* version) {
    if (box.size < 4) return 0;
    *version = box.data[0];
    rest->data = box.data + 4;
    rest->size = box.size - 4;
    return 1;
}

/* The item type of `id`, or 0 when there is no such item (or only an old entry without type). */
static uint32_t itemType(Items* it, uint32_t id) {
    const unsigned countBytes = it->iinfVersion == 0 ? 2 : 4;
    if (it->iinf.size < countBytes) return 0;
    const Span entries = {it->iinf.data + countBytes, it->iinf.size - countBytes};
    size_t pos = 0;
    uint32_t type;
    Span infe;
    while (nextBox(entries, &pos, &type, &infe)) {
        if (++it->steps > MAX_STEPS) return 0;
        int version;
        Span rest;
        if (type != FOURCC('i', 'n', 'f', 'e') || !fullBox(infe, &rest, &version) || version < 2)
            continue;
        const unsigned idBytes = version == 2 ? 2 : 4;
        if (rest.size < idBytes + 2 + 4) continue;
        if (be(rest.data, idBytes) == id) return be(rest.data + idBytes + 2, 4);
    }
    return 0;
}

static int isPicture(uint32_t type) {
    return type == FOURCC('h', 'v', 'c', '1') || type == FOURCC('a', 'v', '0', '1') ||
           type == FOURCC('g', 'r', 'i', 'd') || type == FOURCC('i', 'd', 'e', 'n') ||
           type == FOURCC('i', 'o', 'v', 'l');
}

static int isDerived(uint32_t type) {
    return type == FOURCC('g', 'r', 'i', 'd') || type == FOURCC('i', 'd', 'e', 'n') ||
           type == FOURCC('i', 'o', 'v', 'l');
}

/* Calls `visit` for every reference of `refType` from `from` (or, with `reverse`, for every item
 * referring to `from`). Stops at the first nonzero result and returns it. */
typedef int (*RefVisit)(Items* it, uint32_t target, void* context);

static int forEachReference(Items* it, uint32_t refType, uint32_t from, int reverse, RefVisit visit,
                            void* context) {
    const unsigned idBytes = it->irefVersion == 0 ? 2 : 4;
    size_t pos = 0;
    uint32_t type;
    Span ref;
    while (nextBox(it->iref, &pos, &type, &ref)) {
        if (++it->steps > MAX_STEPS) return CDX_ERROR;
        if (type != refType || ref.size < idBytes + 2) continue;
        const uint32_t source = be(ref.data, idBytes);
        const uint32_t count = be(ref.data + idBytes, 2);
        if ((uint64_t)count * idBytes > ref.size - idBytes - 2) return CDX_ERROR;
        for (uint32_t i = 0; i < count; ++i) {
            if (++it->steps > MAX_STEPS) return CDX_ERROR;
            const uint32_t target = be(ref.data + idBytes + 2 + (size_t)i * idBytes, idBytes);
            int status = CDX_OK;
            if (!reverse && source == from)
                status = visit(it, target, context);
            else if (reverse && target == from)
                status = visit(it, source, context);
            if (status != CDX_OK) return status;
        }
    }
    return CDX_OK;
}

/* Copies the first `want` bytes of item `id` (from the file or from the idat box). Returns the
 * number copied. */
static size_t itemPrefix(const Items* it, uint32_t id, uint8_t* out, size_t want) {
    const int v = it->ilocVersion;
    const Span s = it->iloc;
    if (s.size < 2 || v > 2) return 0;
    const unsigned offsetSize = s.data[0] >> 4, lengthSize = s.data[0] & 15;
    const unsigned baseSize = s.data[1] >> 4, indexSize = v >= 1 ? (s.data[1] & 15) : 0;
    const unsigned idBytes = v < 2 ? 2 : 4;
    size_t pos = 2;
    if (s.size - pos < idBytes) return 0;
    const uint32_t count = be(s.data + pos, idBytes);
    pos += idBytes;
    for (uint32_t item = 0; item < count; ++item) {
        const size_t fixed = idBytes + (v >= 1 ? 2 : 0) + 2 + baseSize + 2;
        if (s.size - pos < fixed) return 0;
        const uint32_t itemId = be(s.data + pos, idBytes);
        pos += idBytes;
        unsigned method = 0;
        if (v >= 1) {
            method = be(s.data + pos, 2) & 15;
            pos += 2;
        }
        pos += 2; /* data reference index: only this file is supported */
        const uint64_t base = be64(s.data + pos, baseSize);
        pos += baseSize;
        const uint32_t extents = be(s.data + pos, 2);
        pos += 2;
        const size_t extentBytes = indexSize + offsetSize + lengthSize;
        if ((uint64_t)extents * extentBytes > s.size - pos) return 0;
        if (itemId != id) {
            pos += (size_t)extents * extentBytes;
            continue;
        }
        const Span source = method == 0 ? it->file : method == 1 ? it->idat : (Span){NULL, 0};
        if (!source.data) return 0;
        size_t copied = 0;
        for (uint32_t e = 0; e < extents && copied < want; ++e) {
            const uint8_t* x = s.data + pos + (size_t)e * extentBytes + indexSize;
            const uint64_t offset = base + be64(x, offsetSize);
            uint64_t length = be64(x + offsetSize, lengthSize);
            if (offset < base || offset > source.size) return copied;
            if (length == 0 || length > source.size - offset) length = source.size - offset;
            const size_t n = length < want - copied ? (size_t)length : want - copied;
            memcpy(out + copied, source.data + offset, n);
            copied += n;
        }
        return copied;
    }
    return 0;
}

/* The canvas size a grid or overlay payload declares. */
static int canvasSize(const Items* it, uint32_t id, uint32_t type, uint64_t* w, uint64_t* h) {
    uint8_t p[2 + 8 + 8];
    const size_t skip = type == FOURCC('g', 'r', 'i', 'd') ? 4 : 2 + 8;
    const size_t got = itemPrefix(it, id, p, sizeof p);
    if (got < skip) return 0;
    const unsigned bytes = (p[1] & 1) ? 4 : 2;
    if (got < skip + 2 * bytes) return 0;
    *w = be(p + skip, bytes);
    *h = be(p + skip + bytes, bytes);
    return 1;
}

typedef struct {
    const CdxRasterLimits* limits;
    CdxMessage* message;
    unsigned depth;
} Walk;

static int checkItem(Items* it, uint32_t id, void* context);

static int checkReference(Items* it, uint32_t target, void* context) {
    Walk* walk = context;
    const uint32_t type = itemType(it, target);
    if (!isPicture(type)) {
        cdxSetMessage(walk->message, "HEIF derived picture refers to item %u, which is no picture",
                      (unsigned)target);
        return CDX_ERROR;
    }
    return isDerived(type) ? checkItem(it, target, context) : CDX_OK;
}

static int checkAuxiliary(Items* it, uint32_t source, void* context) {
    return checkItem(it, source, context);
}

static int countReference(Items* it, uint32_t target, void* context) {
    (void)it;
    (void)target;
    ++*(unsigned*)context;
    return CDX_OK;
}

static int checkItem(Items* it, uint32_t id, void* context) {
    Walk* walk = context;
    const uint32_t type = itemType(it, id);
    if (isDerived(type)) {
        if (walk->depth >= MaxDerivationDepth || it->budget == 0) {
            cdxSetMessage(walk->message, "HEIF derivation chain is too long");
            return CDX_ERROR;
        }
        --it->budget;
        if (type != FOURCC('i', 'd', 'e', 'n')) {
            uint64_t w = 0, h = 0;
            if (!canvasSize(it, id, type, &w, &h) || w == 0 || h == 0) {
                cdxSetMessage(walk->message, "HEIF canvas of item %u is unreadable", (unsigned)id);
                return CDX_ERROR;
            }
            if (w > walk->limits->maxSide || h > walk->limits->maxSide ||
                w * h > walk->limits->maxPixels) {
                cdxSetMessage(walk->message, "HEIF canvas %llux%llu is too large",
                              (unsigned long long)w, (unsigned long long)h);
                return CDX_TOO_LARGE;
            }
        }
        unsigned inputs = 0;
        forEachReference(it, FOURCC('d', 'i', 'm', 'g'), id, 0, countReference, &inputs);
        if (inputs == 0) {
            cdxSetMessage(walk->message, "HEIF derived picture %u has no input", (unsigned)id);
            return CDX_ERROR;
        }
        ++walk->depth;
        const int status =
            forEachReference(it, FOURCC('d', 'i', 'm', 'g'), id, 0, checkReference, walk);
        --walk->depth;
        if (status != CDX_OK) return status;
    }
    /* The alpha plane is a picture of its own, attached by an auxiliary reference. */
    if (walk->depth == 0) {
        ++walk->depth;
        const int status =
            forEachReference(it, FOURCC('a', 'u', 'x', 'l'), id, 1, checkAuxiliary, walk);
        --walk->depth;
        return status;
    }
    return CDX_OK;
}

int cdxHeifCheckItem(const uint8_t* data, size_t size, uint32_t id, const CdxRasterLimits* limits,
                     CdxMessage* message) {
    Items it;
    memset(&it, 0, sizeof it);
    it.file = (Span){data, size};
    it.budget = MaxDerivedVisits;
    Span meta, body;
    int version;
    if (!findBox(it.file, FOURCC('m', 'e', 't', 'a'), &meta) || !fullBox(meta, &body, &version))
        return CDX_OK; /* nothing to walk: the library reports what is missing */
    Span box;
    if (findBox(body, FOURCC('i', 'i', 'n', 'f'), &box)) fullBox(box, &it.iinf, &it.iinfVersion);
    if (findBox(body, FOURCC('i', 'r', 'e', 'f'), &box)) fullBox(box, &it.iref, &it.irefVersion);
    if (findBox(body, FOURCC('i', 'l', 'o', 'c'), &box)) fullBox(box, &it.iloc, &it.ilocVersion);
    findBox(body, FOURCC('i', 'd', 'a', 't'), &it.idat);
    Walk walk = {limits, message, 0};
    return checkItem(&it, id, &walk);
}
