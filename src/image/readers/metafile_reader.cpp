#include "image/readers/metafile_reader.h"

#include <algorithm>
#include <cmath>

#include "image/byte_reader.h"
#include "image/checked.h"
#include "image/readers/metafile_gdi_p.h"
#include "image/readers/reader_factory.h"

namespace kalder::image {
namespace {

constexpr std::size_t kHeadBytes = 100;
constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr std::size_t kPlaceableHeaderBytes = 22;

std::int64_t roundHalfUp(double v) { return static_cast<std::int64_t>(std::floor(v + 0.5)); }

// The picture size for a width-to-height aspect inside the requested box.
void fitAspect(double aspect, std::int64_t boxW, std::int64_t boxH, std::int64_t& w,
               std::int64_t& h) {
    if (aspect >= static_cast<double>(boxW) / boxH) {
        w = boxW;
        h = roundHalfUp(boxW / aspect);
    } else {
        w = roundHalfUp(aspect * boxH);
        h = boxH;
    }
}

}  // namespace

MetafileReader::MetafileReader() = default;
MetafileReader::~MetafileReader() = default;

Status MetafileReader::ReadHeader() {
    if (m_failed) return m_error;
    std::uint8_t head[kHeadBytes];
    m_input.rewind();
    if (!m_input.read(head, sizeof head)) return fail(DecodeError::Truncated);
    ByteReader r(head, sizeof head);
    const std::uint32_t first = r.u32le();
    r.seek(40);
    const std::uint32_t signature = r.u32le();
    r.seek(0);
    const std::uint16_t type = r.u16le(), headerWords = r.u16le();

    const std::int64_t boxW = std::max(1, m_settings.requestedWidth);
    const std::int64_t boxH = std::max(1, m_settings.requestedHeight);
    double aspect = 0;                            // 0: no size stored, the picture is square
    if (first == 1 && signature == 0x464D4520) {  // " EMF"
        m_kind = Kind::Enhanced;
        r.seek(8);
        const double bl = r.s32le(), bt = r.s32le(), br = r.s32le(), bb = r.s32le();
        const double fl = r.s32le(), ft = r.s32le(), fr = r.s32le(), fb = r.s32le();
        r.seek(52);
        m_records = r.u32le();
        if (fr - fl > 0 && fb - ft > 0)
            aspect = (fr - fl) / (fb - ft);
        else if (br - bl > 0 && bb - bt > 0)
            aspect = (br - bl) / (bb - bt);
    } else if (first == kPlaceableKey) {
        m_kind = Kind::Placeable;
        r.seek(6);
        m_boxLeft = r.s16le();
        m_boxTop = r.s16le();
        m_boxRight = r.s16le();
        m_boxBottom = r.s16le();
        const double w = m_boxRight - m_boxLeft, h = m_boxBottom - m_boxTop;
        if (w != 0 && h != 0) aspect = std::fabs(w / h);
    } else if ((type == 1 || type == 2) && headerWords == 9) {
        m_kind = Kind::Standard;
    } else {
        return fail(DecodeError::BadSignature);
    }

    std::int64_t w, h;
    if (aspect > 0 && std::isfinite(aspect)) {
        fitAspect(aspect, boxW, boxH, w, h);
    } else {
        w = h = std::min(boxW, boxH);
    }
    if (w > kMaxImageSide) {
        h = roundHalfUp(static_cast<double>(h) * kMaxImageSide / w);
        w = kMaxImageSide;
    }
    if (h > kMaxImageSide) {
        w = roundHalfUp(static_cast<double>(w) * kMaxImageSide / h);
        h = kMaxImageSide;
    }
    w = std::max<std::int64_t>(w, 1);
    h = std::max<std::int64_t>(h, 1);
    if (w * h > kMaxRenderPixels) {
        const double s =
            std::sqrt(static_cast<double>(kMaxRenderPixels) / static_cast<double>(w * h));
        w = std::max<std::int64_t>(1, static_cast<std::int64_t>(w * s));
        h = std::max<std::int64_t>(1, static_cast<std::int64_t>(h * s));
    }
    m_width = static_cast<std::int32_t>(w);
    m_height = static_cast<std::int32_t>(h);
    return {};
}

Status MetafileReader::render() {
    m_input.rewind();
    std::vector<std::uint8_t> file = m_input.readAll(kMaxFileBytes);
    if (!m_input.ok()) return m_input.error();
    auto canvas = std::make_unique<gdi::MetafileCanvas>();
    if (!canvas->create(m_width, m_height)) return DecodeError::OutOfMemory;

    gdi::PlaybackContext context;
    context.cancel = m_settings.cancel;
    context.progress = m_settings.progress;
    const std::span<const std::uint8_t> bytes(file);
    Status played;
    if (m_kind == Kind::Enhanced) {
        context.progressTotal = m_records + m_height;
        played = gdi::playEmf(bytes, *canvas, context);
        for (std::string& text : context.descriptions) appendComment(std::move(text));
    } else {
        std::span<const std::uint8_t> records = bytes;
        gdi::RectD window{0, 0, static_cast<double>(m_width), static_cast<double>(m_height)};
        if (m_kind == Kind::Placeable) {
            if (records.size() < kPlaceableHeaderBytes) return DecodeError::Truncated;
            records = records.subspan(kPlaceableHeaderBytes);
            if (m_boxRight != m_boxLeft && m_boxBottom != m_boxTop)
                window = {double(m_boxLeft), double(m_boxTop), double(m_boxRight),
                          double(m_boxBottom)};
        }
        m_records = gdi::countWmfRecords(records);
        context.progressTotal = m_records + m_height;
        played = gdi::playWmf(records, *canvas, window, context);
    }
    if (!played) return played.error();
    m_canvas = std::move(canvas);
    return {};
}

Result<std::uint32_t> MetafileReader::BeginDecode() {
    if (m_failed) return m_error;
    if (m_width <= 0 || m_height <= 0) return fail(DecodeError::Corrupt);
    if (auto s = render(); !s) return fail(s.error());
    m_row = 0;
    return 0u;
}

Status MetafileReader::ReadRow(std::uint8_t* out, bool skip) {
    if (m_failed) return m_error;
    if (!m_canvas || m_row >= m_height) return fail(DecodeError::Corrupt);
    if (!skip) m_canvas->copyRow(m_row, out);
    ++m_row;
    return rowDelivered(m_records + m_height, m_records + m_row);
}

void MetafileReader::EndDecode() { m_canvas.reset(); }

std::unique_ptr<ImageReader> makeMetafileReader() { return std::make_unique<MetafileReader>(); }

}  // namespace kalder::image
