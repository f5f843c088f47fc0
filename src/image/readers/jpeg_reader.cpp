#include "image/readers/jpeg_reader.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

// jpeglib.h needs FILE and size_t declared before it.
#include <jerror.h>
#include <jpeglib.h>

#include "base/limits.h"
#include "image/bitmap32.h"
#include "image/checked.h"
#include "image/color_space.h"
#include "image/exif/exif_block.h"
#include "image/readers/jpeg_dc_scan_p.h"
#include "image/readers/reader_factory.h"
#include "image/sinks.h"

namespace kalder::image {

namespace {

constexpr std::size_t kSourceBufferSize = 64 * 1024;
// The start-of-image marker is looked for at these many places, 128 bytes apart.
constexpr int kStartTries = 8;
constexpr std::uint64_t kStartStep = 128;
// Progressive files with more scans than this are hostile; real ones have a dozen or so.
constexpr int kMaxScans = 1000;
// A thumbnail decoded at reduced scale may still not be larger than this many pixels.
constexpr std::int64_t kMaxThumbnailPixels = 0x2000000;
// Files up to this size are read whole for a thumbnail from their DC coefficients; larger ones are
// streamed through the library.
constexpr std::uint64_t kMaxDcScanBytes = 64ull << 20;

}  // namespace

// Everything the library and our callbacks share. It lives on the heap, owned by the reader, so a
// longjmp never skips its destructor.
struct JpegSession {
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr errors{};
    jpeg_source_mgr source{};
    jpeg_progress_mgr progress{};
    std::jmp_buf jump{};
    JpegReader* owner = nullptr;
    BufferedInput* input = nullptr;
    std::unique_ptr<std::uint8_t[]> buffer;
    const CancelSink* cancel = nullptr;
    ProgressSink* progressSink = nullptr;
    bool created = false;
    bool started = false;
    bool endOfFile = false;
    bool decoding = false;  // from the start of decompression on
    bool cancelled = false;
    bool tooManyScans = false;
    int errorCode = 0;
    // The iMCU row the library was reading when the file ran out during a decode; -1 before.
    long endOfDataRow = -1;

    ~JpegSession() {
        if (created) jpeg_destroy_decompress(&cinfo);
    }
};

// The functions the library calls back, and the small guards that hold setjmp. Nothing in these
// frames has a destructor, so the error manager's longjmp skips nothing that needs cleaning up.
struct JpegCallbacks {
    static JpegSession* session(j_common_ptr cinfo) {
        return static_cast<JpegSession*>(cinfo->client_data);
    }
    static JpegSession* session(j_decompress_ptr cinfo) {
        return static_cast<JpegSession*>(cinfo->client_data);
    }

    // --- error manager: every error ends the step, nothing is printed.
    static void errorExit(j_common_ptr cinfo) {
        JpegSession* s = session(cinfo);
        s->errorCode = cinfo->err->msg_code;
        std::longjmp(s->jump, 1);
    }
    static void emitMessage(j_common_ptr, int) {}
    static void outputMessage(j_common_ptr) {}

    // --- source manager over the reader's buffered input.
    static void initSource(j_decompress_ptr) {}
    static boolean fillInput(j_decompress_ptr cinfo) {
        JpegSession* s = session(cinfo);
        std::size_t got = s->input->readUpTo(s->buffer.get(), kSourceBufferSize);
        if (got == 0) {
            // The file ended: an end-of-image marker lets the library finish what it has.
            s->buffer[0] = 0xFF;
            s->buffer[1] = JPEG_EOI;
            got = 2;
            if (!s->endOfFile && s->decoding)
                s->endOfDataRow = static_cast<long>(s->cinfo.input_iMCU_row);
            s->endOfFile = true;
        }
        s->source.next_input_byte = s->buffer.get();
        s->source.bytes_in_buffer = got;
        return TRUE;
    }
    static void skipInput(j_decompress_ptr cinfo, long count) {
        if (count <= 0) return;
        JpegSession* s = session(cinfo);
        const auto n = static_cast<std::size_t>(count);
        if (n <= s->source.bytes_in_buffer) {
            s->source.next_input_byte += n;
            s->source.bytes_in_buffer -= n;
            return;
        }
        const std::size_t rest = n - s->source.bytes_in_buffer;
        s->source.bytes_in_buffer = 0;
        s->source.next_input_byte = s->buffer.get();
        s->input->skip(rest);
    }
    static void termSource(j_decompress_ptr) {}

    // --- progress monitor: the cancel sink and the progress sink.
    static bool askCancel(JpegSession* s) noexcept {
        try {
            return s->cancel && s->cancel->isCancelled();
        } catch (...) {
            return true;
        }
    }
    static void reportProgress(JpegSession* s) noexcept {
        if (!s->progressSink) return;
        const jpeg_progress_mgr& p = s->progress;
        const std::int64_t limit = std::max(1L, p.pass_limit);
        try {
            s->progressSink->Progress(limit * std::max(1, p.total_passes),
                                      limit * p.completed_passes + p.pass_counter);
        } catch (...) {
        }
    }
    static void progressStep(j_common_ptr cinfo) {
        JpegSession* s = session(cinfo);
        if (s->cinfo.input_scan_number > kMaxScans) {
            s->tooManyScans = true;
            std::longjmp(s->jump, 1);
        }
        if (askCancel(s)) {
            s->cancelled = true;
            std::longjmp(s->jump, 1);
        }
        reportProgress(s);
    }

    // --- marker handlers (COM and APP1). They read through the source manager, which never
    // calls the error manager, so no longjmp passes through them.
    static bool nextByte(JpegSession* s, std::uint8_t& b) {
        if (s->source.bytes_in_buffer == 0) {
            fillInput(&s->cinfo);
            if (s->endOfFile) return false;  // leave the supplied end marker for the library
        }
        b = *s->source.next_input_byte++;
        --s->source.bytes_in_buffer;
        return true;
    }
    static boolean readMarker(j_decompress_ptr cinfo) noexcept {
        JpegSession* s = session(cinfo);
        std::uint8_t hi = 0, lo = 0;
        if (!nextByte(s, hi) || !nextByte(s, lo)) return TRUE;
        const std::size_t length = (static_cast<std::size_t>(hi) << 8) | lo;
        if (length <= 2) return TRUE;
        const std::size_t n = length - 2;
        // Where the data begins in the file: what was read minus what is still buffered.
        const std::uint64_t position = s->input->position();
        const std::uint64_t offset =
            position >= s->source.bytes_in_buffer ? position - s->source.bytes_in_buffer : 0;
        std::vector<std::uint8_t> data;
        try {
            data.resize(n);
        } catch (...) {
            skipInput(cinfo, static_cast<long>(n));
            return TRUE;
        }
        std::size_t done = 0;
        while (done < n) {
            if (s->source.bytes_in_buffer == 0) {
                fillInput(cinfo);
                if (s->endOfFile) return TRUE;  // a cut marker is not handed on
            }
            const std::size_t take = std::min(n - done, s->source.bytes_in_buffer);
            std::memcpy(data.data() + done, s->source.next_input_byte, take);
            s->source.next_input_byte += take;
            s->source.bytes_in_buffer -= take;
            done += take;
        }
        try {
            s->owner->takeMarker(cinfo->unread_marker, std::move(data), offset);
        } catch (...) {
        }
        return TRUE;
    }

    // --- the guards.
    static bool create(JpegSession* s, bool comments, bool exif) {
        if (setjmp(s->jump)) return false;
        jpeg_create_decompress(&s->cinfo);
        s->created = true;
        s->cinfo.mem->max_memory_to_use = static_cast<long>(base::kMaxBufferBytes);
        jpeg_save_markers(&s->cinfo, JPEG_APP0 + 2, 0xFFFF);
        if (comments) jpeg_set_marker_processor(&s->cinfo, JPEG_COM, readMarker);
        if (exif) jpeg_set_marker_processor(&s->cinfo, JPEG_APP0 + 1, readMarker);
        return true;
    }
    static int readHeader(JpegSession* s) {
        if (setjmp(s->jump)) return -1;
        return jpeg_read_header(&s->cinfo, FALSE);
    }
    // The ICC profile gathered from the APP2 chunks, malloc'ed by the library (or null).
    static bool readIcc(JpegSession* s, JOCTET** data, unsigned int* length) {
        if (setjmp(s->jump)) return false;
        return jpeg_read_icc_profile(&s->cinfo, data, length) != 0;
    }
    static bool start(JpegSession* s) {
        if (setjmp(s->jump)) return false;
        return jpeg_start_decompress(&s->cinfo) != 0;
    }
    static bool readScanline(JpegSession* s, JSAMPROW row) {
        if (setjmp(s->jump)) return false;
        return jpeg_read_scanlines(&s->cinfo, &row, 1) == 1;
    }
    static bool finish(JpegSession* s) {
        if (setjmp(s->jump)) return false;
        jpeg_finish_decompress(&s->cinfo);
        return true;
    }
};

namespace {

// Adobe CMYK as most files carry it: the values are stored inverted (0 = full ink), so each
// colour channel is the product of its inverted ink and the inverted black, rounded.
inline std::uint8_t inkTimesBlack(std::uint32_t ink, std::uint32_t black) {
    const std::uint32_t t = ink * black + 128;
    return static_cast<std::uint8_t>((t + (t >> 8)) >> 8);
}

void cmykToRgb(const std::uint8_t* cmyk, std::uint8_t* rgb, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i, cmyk += 4, rgb += 3) {
        rgb[0] = inkTimesBlack(cmyk[0], cmyk[3]);
        rgb[1] = inkTimesBlack(cmyk[1], cmyk[3]);
        rgb[2] = inkTimesBlack(cmyk[2], cmyk[3]);
    }
}

}  // namespace

JpegReader::JpegReader() = default;
JpegReader::~JpegReader() = default;

Status JpegReader::OpenFile(const std::filesystem::path& path, const ReaderSettings& settings) {
    KALDER_TRY(ImageReader::OpenFile(path, settings));
    return setUp(true);
}

Status JpegReader::OpenMemory(std::span<const std::uint8_t> bytes) {
    KALDER_TRY(ImageReader::OpenMemory(bytes));
    return setUp(false);
}

Status JpegReader::setUp(bool markerHandlers) {
    m_session.reset();
    m_headerRead = false;
    m_hintWidth = m_hintHeight = 0;
    m_cmyk = false;
    m_bgrx = false;
    m_dpiX = m_dpiY = -1;
    m_iccProfile.clear();

    // The start-of-image marker may sit behind a header block of some multiple of 128 bytes.
    std::uint64_t start = kStartStep * kStartTries;
    for (int i = 0; i < kStartTries; ++i) {
        const std::uint64_t offset = kStartStep * static_cast<std::uint64_t>(i);
        if (offset + 3 > m_input.size()) break;
        m_input.seek(offset);
        std::uint8_t b[3] = {};
        if (m_input.readUpTo(b, 3) == 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF) {
            start = offset;
            break;
        }
    }
    m_dataStart = std::min(start, m_input.size());
    m_input.seek(m_dataStart);

    auto session = std::make_unique<JpegSession>();
    JpegSession* s = session.get();
    s->owner = this;
    s->input = &m_input;
    s->buffer = std::make_unique<std::uint8_t[]>(kSourceBufferSize);
    s->cancel = m_settings.cancel;
    s->progressSink = m_settings.progress;
    s->cinfo.err = jpeg_std_error(&s->errors);
    s->errors.error_exit = JpegCallbacks::errorExit;
    s->errors.emit_message = JpegCallbacks::emitMessage;
    s->errors.output_message = JpegCallbacks::outputMessage;
    s->cinfo.client_data = s;
    const bool comments = markerHandlers && m_settings.comments;
    const bool exif = markerHandlers && m_settings.exif;
    if (!JpegCallbacks::create(s, comments, exif)) {
        m_session = std::move(session);
        return fail(sessionError());
    }
    s->source.init_source = JpegCallbacks::initSource;
    s->source.fill_input_buffer = JpegCallbacks::fillInput;
    s->source.skip_input_data = JpegCallbacks::skipInput;
    s->source.resync_to_restart = jpeg_resync_to_restart;
    s->source.term_source = JpegCallbacks::termSource;
    s->source.next_input_byte = nullptr;
    s->source.bytes_in_buffer = 0;
    s->cinfo.src = &s->source;
    s->progress.progress_monitor = JpegCallbacks::progressStep;
    s->cinfo.progress = &s->progress;
    m_session = std::move(session);
    return {};
}

void JpegReader::takeMarker(int marker, std::vector<std::uint8_t> data, std::uint64_t offset) {
    if (marker == JPEG_COM) {
        // The comment is a C string: it ends at the first zero byte.
        const auto end = std::find(data.begin(), data.end(), std::uint8_t{0});
        appendComment(std::string(data.begin(), end));
    } else if (marker == JPEG_APP0 + 1 && m_settings.exif && m_settings.exif->isEmpty()) {
        m_settings.exif->setPayload(data, offset);
    }
}

DecodeError JpegReader::sessionError() const {
    if (!m_session) return DecodeError::Corrupt;
    if (m_session->cancelled) return DecodeError::Cancelled;
    if (m_session->tooManyScans) return DecodeError::Corrupt;
    switch (m_session->errorCode) {
        case JERR_OUT_OF_MEMORY:
            return DecodeError::OutOfMemory;
        case JERR_NO_SOI:
            return DecodeError::BadSignature;
        case JERR_NO_BACKING_STORE:
        case JERR_IMAGE_TOO_BIG:
        case JERR_WIDTH_OVERFLOW:
            return DecodeError::TooLarge;
        case JERR_CONVERSION_NOTIMPL:
        case JERR_BAD_J_COLORSPACE:
        case JERR_NOT_COMPILED:
            return DecodeError::Unsupported;
        default:
            return DecodeError::Corrupt;
    }
}

Status JpegReader::ReadHeader() {
    if (m_failed) return m_error;
    if (!m_session) return fail(DecodeError::Corrupt);
    if (m_headerRead) return {};
    JpegSession* s = m_session.get();
    const int result = JpegCallbacks::readHeader(s);
    if (result < 0) return fail(sessionError());
    if (result != JPEG_HEADER_OK) return fail(DecodeError::Corrupt);  // tables only, no image

    jpeg_decompress_struct& c = s->cinfo;
    if (c.jpeg_color_space == JCS_CMYK || c.jpeg_color_space == JCS_YCCK) {
        // The library cannot make RGB from these; it gives CMYK and we convert.
        c.out_color_space = JCS_CMYK;
        m_cmyk = true;
    } else {
        c.out_color_space = JCS_RGB;
    }
    if (c.density_unit == 1) {
        m_dpiX = c.X_density;
        m_dpiY = c.Y_density;
    } else if (c.density_unit == 2) {
        m_dpiX = static_cast<std::int32_t>(c.X_density * 2.54 + 0.5);
        m_dpiY = static_cast<std::int32_t>(c.Y_density * 2.54 + 0.5);
    }

    JOCTET* icc = nullptr;
    unsigned int iccLength = 0;
    if (JpegCallbacks::readIcc(s, &icc, &iccLength) && icc) {
        try {
            m_iccProfile.assign(icc, icc + iccLength);
        } catch (...) {
            m_iccProfile.clear();
        }
    }
    std::free(icc);
    m_headerRead = true;
    return {};
}

std::int32_t JpegReader::Width() const {
    if (!m_headerRead) return 0;
    const auto& c = m_session->cinfo;
    return static_cast<std::int32_t>(m_session->started ? c.output_width : c.image_width);
}

std::int32_t JpegReader::Height() const {
    if (!m_headerRead) return 0;
    const auto& c = m_session->cinfo;
    return static_cast<std::int32_t>(m_session->started ? c.output_height : c.image_height);
}

void JpegReader::hintDecodeSize(std::int32_t width, std::int32_t height) {
    m_hintWidth = std::max(0, width);
    m_hintHeight = std::max(0, height);
}

bool JpegReader::deliverBgrx() {
    if (!m_headerRead || m_cmyk || m_session->started) return false;
    m_session->cinfo.out_color_space = JCS_EXT_BGRX;
    m_bgrx = true;
    return true;
}

int JpegReader::decodeScaleEighths() const {
    if (!m_headerRead || m_hintWidth <= 0 || m_hintHeight <= 0) return 8;
    const std::uint64_t w = m_session->cinfo.image_width;
    const std::uint64_t h = m_session->cinfo.image_height;
    // The library's scaled size is the image size times m/8, rounded up. Below one block that
    // rounding can give back the full size, yet the pixels still come from the reduced
    // transform; a scale is taken only when it really makes the picture smaller.
    for (std::uint64_t m = 1; m < 8; ++m) {
        const std::uint64_t sw = (w * m + 7) / 8;
        const std::uint64_t sh = (h * m + 7) / 8;
        if (sw >= static_cast<std::uint64_t>(m_hintWidth) &&
            sh >= static_cast<std::uint64_t>(m_hintHeight))
            return sw < w || sh < h ? static_cast<int>(m) : 8;
    }
    return 8;
}

std::uint32_t JpegReader::BitsPerPixel() const {
    return m_headerRead ? 8u * static_cast<std::uint32_t>(m_session->cinfo.num_components) : 0u;
}

bool JpegReader::GetPalette(Palette& palette) const {
    if (m_headerRead && m_session->cinfo.num_components == 1) {
        for (int i = 0; i < 256; ++i) {
            palette[i * 3] = palette[i * 3 + 1] = palette[i * 3 + 2] = static_cast<std::uint8_t>(i);
        }
    }
    return true;
}

bool JpegReader::GetColorSpace(ColorSpace& space) const {
    if (m_iccProfile.empty()) return false;
    space = ColorSpace{};
    space.kind = ColorSpace::Kind::Icc;
    space.iccProfile = m_iccProfile;
    return true;
}

std::string JpegReader::Description() const {
    const bool gray = m_headerRead && m_session->cinfo.num_components == 1;
    return gray ? "JPEG, gray-scale" : "JPEG, color";
}

Status JpegReader::startDecompress(unsigned int numerator, unsigned int denominator) {
    JpegSession* s = m_session.get();
    // A file in several scans is decoded through a buffer of every block of the image. Each
    // block costs at least one bit of the file in its first scan, so a short file declaring
    // more blocks cannot be whole; it is refused before the library spends 128 bytes a block.
    const bool multiScan =
        s->cinfo.progressive_mode || s->cinfo.comps_in_scan < s->cinfo.num_components;
    if (multiScan) {
        std::uint64_t blocks = 0;
        for (int c = 0; c < s->cinfo.num_components; ++c)
            blocks += std::uint64_t{s->cinfo.comp_info[c].width_in_blocks} *
                      s->cinfo.comp_info[c].height_in_blocks;
        if (blocks / 8 > m_input.size()) return fail(DecodeError::Truncated);
    }
    s->cinfo.scale_num = numerator;
    s->cinfo.scale_denom = denominator;
    s->decoding = true;
    if (!JpegCallbacks::start(s)) return fail(sessionError());
    s->started = true;
    const int components = m_cmyk || m_bgrx ? 4 : 3;
    if (s->cinfo.output_components != components) return fail(DecodeError::Unsupported);
    if (m_cmyk) {
        try {
            m_scratch.assign(static_cast<std::size_t>(s->cinfo.output_width) * 4, 0);
        } catch (const std::bad_alloc&) {
            return fail(DecodeError::OutOfMemory);
        }
    }
    return {};
}

Result<std::uint32_t> JpegReader::BeginDecode() {
    if (m_failed) return m_error;
    if (!m_headerRead) return fail(DecodeError::Corrupt);
    if (m_session->started) return fail(DecodeError::NoMoreFrames);
    if (!validImageSide(Width()) || !validImageSide(Height())) return fail(DecodeError::TooLarge);
    KALDER_TRY(startDecompress(static_cast<unsigned int>(decodeScaleEighths()), 8));
    return 0u;
}

Status JpegReader::readScanline(std::uint8_t* rgb) {
    if (m_failed) return m_error;
    JpegSession* s = m_session.get();
    if (!s || !s->started || s->cinfo.output_scanline >= s->cinfo.output_height)
        return fail(DecodeError::Corrupt);
    if (!m_cmyk) {
        // The library writes red, green, blue straight into the caller's row.
        if (!JpegCallbacks::readScanline(s, rgb)) return fail(sessionError());
        return {};
    }
    if (!JpegCallbacks::readScanline(s, m_scratch.data())) return fail(sessionError());
    cmykToRgb(m_scratch.data(), rgb, s->cinfo.output_width);
    return {};
}

Status JpegReader::ReadRow(std::uint8_t* out, bool) {
    KALDER_TRY(readScanline(out));
    // Progress comes from the library's monitor; the cancel sink is asked after every row too.
    if (isCancelled()) return fail(DecodeError::Cancelled);
    return {};
}

void JpegReader::EndDecode() {
    if (!m_session || !m_session->started) return;
    JpegSession* s = m_session.get();
    s->started = false;
    if (!m_failed && s->cinfo.output_scanline >= s->cinfo.output_height &&
        JpegCallbacks::finish(s)) {
        return;
    }
    jpeg_abort_decompress(&s->cinfo);
}

std::int32_t JpegReader::dataEndsAtRow() const {
    if (!m_session || m_session->endOfDataRow < 0) return -1;
    const auto& c = m_session->cinfo;
    // An iMCU row spans this many rows of the source, whatever scale the output has.
    const std::uint64_t row = static_cast<std::uint64_t>(m_session->endOfDataRow) *
                              static_cast<std::uint64_t>(c.max_v_samp_factor) * DCTSIZE;
    return row < c.image_height ? static_cast<std::int32_t>(row) : -1;
}

Status JpegReader::MakeThumbnail(const std::filesystem::path& path, Bitmap32& bitmap,
                                 std::int32_t size, ColorRef backgroundColour,
                                 const CancelSink* cancel) {
    auto failed = [&bitmap](DecodeError e) {
        bitmap.Release();
        return Status{e};
    };
    if (auto s = openForThumbnail(*this, path, size, backgroundColour, cancel); !s)
        return failed(s.error());

    // The library decodes at 1/8, 1/4 or 1/2 scale for almost nothing; take the smallest scale
    // whose longer side still reaches the thumbnail size.
    const std::int32_t longer = std::max(Width(), Height());
    int denominator = 1;
    for (int d : {8, 4, 2}) {
        if (size > 0 && longer / d >= size) {
            denominator = d;
            break;
        }
    }
    if (denominator == 8 && eighthFromDc(bitmap, cancel)) return {};
    if (cancel && cancel->isCancelled()) return failed(fail(DecodeError::Cancelled));
    if (auto s = startDecompress(1, static_cast<unsigned int>(denominator)); !s)
        return failed(s.error());
    const auto& c = m_session->cinfo;
    const std::int64_t tw = c.output_width;
    const std::int64_t th = c.output_height;
    if (!validImageSide(tw) || !validImageSide(th) || tw * th > kMaxThumbnailPixels)
        return failed(fail(DecodeError::TooLarge));
    if (!bitmap.Create(static_cast<std::int32_t>(tw), static_cast<std::int32_t>(th)))
        return failed(fail(DecodeError::OutOfMemory));

    std::vector<std::uint8_t> row(static_cast<std::size_t>(tw) * 3);
    for (std::int32_t y = 0; y < th; ++y) {
        if (auto s = readScanline(row.data()); !s) return failed(s.error());
        {
            std::lock_guard lock(bitmap.pixelLock());
            rgbToBgrx(row.data(), bitmap.row(y), static_cast<std::int32_t>(tw));
        }
        bitmap.MarkRowDone(y);
        if (cancel && cancel->isCancelled()) return failed(fail(DecodeError::Cancelled));
    }
    EndDecode();
    return {};
}

bool JpegReader::eighthFromDc(Bitmap32& bitmap, const CancelSink* cancel) {
    const auto& c = m_session->cinfo;
    // Only what the scan handles is read again: it declines the rest itself, but after reading.
    if (c.progressive_mode || c.arith_code || c.data_precision != 8 ||
        (c.num_components != 1 && c.num_components != 3) ||
        (c.jpeg_color_space != JCS_GRAYSCALE && c.jpeg_color_space != JCS_YCbCr &&
         c.jpeg_color_space != JCS_RGB))
        return false;
    if (m_input.size() - m_dataStart > kMaxDcScanBytes) return false;
    const std::uint64_t resume = m_input.position();
    std::vector<std::uint8_t> bytes;
    try {
        bytes.resize(static_cast<std::size_t>(m_input.size() - m_dataStart));
    } catch (const std::bad_alloc&) {
        return false;
    }
    m_input.seek(m_dataStart);
    const bool read = m_input.read(bytes.data(), bytes.size());
    m_input.seek(resume);
    if (!read) return false;
    auto picture = scanJpegDc(bytes, kMaxThumbnailPixels, cancel);
    if (!picture || !bitmap.Create(picture->width, picture->height)) return false;
    {
        std::lock_guard lock(bitmap.pixelLock());
        for (std::int32_t y = 0; y < picture->height; ++y)
            rgbToBgrx(&picture->rgb[static_cast<std::size_t>(y) * picture->width * 3],
                      bitmap.row(y), picture->width);
    }
    bitmap.markAllDone();
    return true;
}

std::unique_ptr<ImageReader> makeJpegReader() { return std::make_unique<JpegReader>(); }

}  // namespace kalder::image
