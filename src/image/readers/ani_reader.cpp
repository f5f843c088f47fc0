#include "image/readers/ani_reader.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "base/byte_order.h"
#include "base/limits.h"
#include "image/image_reader.h"
#include "image/readers/dib_decoder_p.h"
#include "image/sinks.h"

namespace kalder::image {
namespace {

constexpr std::uint32_t kMaxCount = 65535;
constexpr std::uint32_t kIconFlag = 1;
constexpr std::uint32_t kAnihMinSize = 36;

// Jiffies of 1/60 s to hundredths of a second.
std::uint32_t jiffiesToDelay(std::uint32_t jiffies) {
    return static_cast<std::uint32_t>(std::uint64_t{jiffies} * 5 / 3);
}

struct Chunk {
    std::uint32_t id = 0;
    std::uint64_t start = 0;  // first data byte
    std::uint64_t size = 0;   // data bytes, cut to what the container holds
};

// Where an "icon" chunk keeps the image of its first directory entry.
struct Frame {
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
};

class AniReader final : public IconFamilyReader {
public:
    Status ReadHeader() override;
    std::int32_t Width() const override { return m_probed ? m_image.width() : 0; }
    std::int32_t Height() const override { return m_probed ? m_image.height() : 0; }
    std::uint32_t BitsPerPixel() const override { return m_probed ? m_image.bitsPerPixel() : 0; }
    bool GetPalette(Palette& palette) const override;
    std::string Description() const override;
    Result<std::uint32_t> BeginDecode() override;
    void EndDecode() override;

private:
    Status walk(std::uint64_t start, std::uint64_t end, bool inFrameList,
                std::uint64_t* stop = nullptr);
    bool plausibleId(std::uint64_t pos);
    Status readAnih(const Chunk& chunk);
    std::vector<std::uint32_t> readTable(const Chunk& chunk);
    std::uint64_t readInfo(const Chunk& list);
    Status addFrame(const Chunk& chunk);
    Status probeFrame(std::size_t frame);
    Status dropRepeatedLastFrame();
    // The frame a step shows; past the frames when the sequence has no entry for it.
    std::uint32_t stepFrame(std::uint32_t step) const {
        if (!m_haveSequence) return step;
        return step < m_sequence.size() ? m_sequence[step] : kMaxCount;
    }

    bool m_haveAnih = false;
    std::uint32_t m_frameCount = 0;
    std::uint32_t m_stepCount = 0;
    std::uint32_t m_defaultDelay = 0;
    std::vector<std::uint32_t> m_sequence;
    std::vector<std::uint32_t> m_rates;
    bool m_haveSequence = false;
    bool m_haveRates = false;
    std::vector<Frame> m_frames;
    std::uint32_t m_steps = 0;  // steps to show, after the repeated-last-frame rule
    std::uint32_t m_step = 0;
    bool m_started = false;
    bool m_probed = false;
};

Status AniReader::ReadHeader() {
    if (m_failed) return m_error;
    m_input.rewind();
    const std::uint32_t riff = m_input.u32le();
    const std::uint32_t riffSize = m_input.u32le();
    const std::uint32_t form = m_input.u32le();
    if (!m_input.ok()) return fail(m_input.error());
    if (riff != base::fourCcLe("RIFF") || form != base::fourCcLe("ACON"))
        return fail(DecodeError::BadSignature);
    const std::uint64_t end = std::min<std::uint64_t>(m_input.size(), std::uint64_t{riffSize} + 8);
    // One pass over the chunks finds the header, the tables and where every frame lies; the
    // frames are decoded only when their steps are shown.
    if (auto s = walk(12, end, false); !s) return fail(s.error());
    if (!m_haveAnih || m_frames.empty()) return fail(DecodeError::Truncated);
    if (m_frames.size() != m_frameCount) return fail(DecodeError::Corrupt);
    m_steps = m_stepCount;
    if (auto s = probeFrame(stepFrame(0)); !s) return fail(s.error());
    return {};
}

// Four printable characters, as every chunk identifier is.
bool AniReader::plausibleId(std::uint64_t pos) {
    if (pos + 8 > m_input.size()) return false;
    m_input.seek(pos);
    for (int i = 0; i < 4; ++i) {
        const std::uint8_t c = m_input.u8();
        if (c < 0x20 || c > 0x7E) return false;
    }
    return m_input.ok();
}

Status AniReader::walk(std::uint64_t pos, std::uint64_t end, bool inFrameList,
                       std::uint64_t* stop) {
    while (pos + 8 <= end) {
        std::uint64_t listEnd = 0;  // where the sub-chunks of a list really ended
        m_input.seek(pos);
        Chunk chunk;
        chunk.id = m_input.u32le();
        const std::uint32_t size = m_input.u32le();
        if (!m_input.ok()) return m_input.error();
        chunk.start = pos + 8;
        chunk.size = std::min<std::uint64_t>(size, end - chunk.start);
        if (chunk.id == base::fourCcLe("anih") && !inFrameList) {
            KALDER_TRY(readAnih(chunk));
        } else if (chunk.id == base::fourCcLe("seq ") && !inFrameList) {
            m_sequence = readTable(chunk);
            m_haveSequence = true;
        } else if (chunk.id == base::fourCcLe("rate") && !inFrameList) {
            m_rates = readTable(chunk);
            m_haveRates = true;
        } else if (chunk.id == base::fourCcLe("LIST") && !inFrameList && chunk.size >= 4) {
            m_input.seek(chunk.start);
            const std::uint32_t type = m_input.u32le();
            if (!m_input.ok()) return m_input.error();
            if (type == base::fourCcLe("fram")) {
                KALDER_TRY(walk(chunk.start + 4, chunk.start + chunk.size, true, &listEnd));
            } else if (type == base::fourCcLe("INFO")) {
                listEnd = readInfo(chunk);
            }
        } else if (chunk.id == base::fourCcLe("icon")) {
            KALDER_TRY(addFrame(chunk));
        }
        pos = chunk.start + chunk.size + (chunk.size & 1);
        // Some writers get a list's size wrong; when the declared end lands in the middle of
        // something and the sub-chunks ended on a chunk identifier, go on from there.
        if (listEnd && listEnd != pos && pos < end && !plausibleId(pos) && plausibleId(listEnd))
            pos = listEnd;
    }
    if (stop) *stop = pos;
    return {};
}

Status AniReader::readAnih(const Chunk& chunk) {
    if (chunk.size < kAnihMinSize) return DecodeError::Corrupt;
    m_input.seek(chunk.start);
    (void)m_input.u32le();  // header size
    m_frameCount = m_input.u32le();
    m_stepCount = m_input.u32le();
    for (int i = 0; i < 4; ++i) (void)m_input.u32le();  // width, height, bit count, planes
    const std::uint32_t rate = m_input.u32le();
    const std::uint32_t flags = m_input.u32le();
    if (!m_input.ok()) return m_input.error();
    if (m_frameCount > kMaxCount || m_stepCount > kMaxCount) return DecodeError::TooLarge;
    // Frames stored as raw bitmaps instead of icon files are not read.
    if ((flags & kIconFlag) == 0) return DecodeError::Unsupported;
    m_defaultDelay = jiffiesToDelay(rate);
    m_haveAnih = true;
    return {};
}

std::vector<std::uint32_t> AniReader::readTable(const Chunk& chunk) {
    std::vector<std::uint32_t> table(
        static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size / 4, kMaxCount)));
    m_input.seek(chunk.start);
    for (std::uint32_t& v : table) v = m_input.u32le();
    return table;
}

std::uint64_t AniReader::readInfo(const Chunk& list) {
    std::uint64_t pos = list.start + 4;
    const std::uint64_t end = list.start + list.size;
    while (pos + 8 <= end) {
        m_input.seek(pos);
        (void)m_input.u32le();
        const std::uint64_t size = std::min<std::uint64_t>(m_input.u32le(), end - (pos + 8));
        if (!m_input.ok()) return pos;
        std::string text(
            static_cast<std::size_t>(std::min<std::uint64_t>(size, base::kMaxTextBytes)), '\0');
        if (!m_input.read(text.data(), text.size())) return pos;
        text.resize(std::min(text.size(), text.find('\0')));
        appendComment(std::move(text));
        pos += 8 + size + (size & 1);
    }
    return pos;
}

Status AniReader::addFrame(const Chunk& chunk) {
    if (m_frames.size() >= kMaxCount) return DecodeError::Corrupt;
    m_input.seek(chunk.start);
    const std::uint16_t reserved = m_input.u16le();
    const std::uint16_t type = m_input.u16le();
    const std::uint16_t count = m_input.u16le();
    (void)m_input.u32le();  // width, height, colour count, reserved of the first entry
    (void)m_input.u32le();  // planes and bit count, or the hot spot
    const std::uint32_t size = m_input.u32le();
    const std::uint32_t offset = m_input.u32le();
    if (!m_input.ok()) return m_input.error();
    if (reserved != 0 || (type != 1 && type != 2) || count == 0) return DecodeError::Corrupt;
    // The image of the first entry; when its offset is off, the data right after the directory.
    Frame frame;
    std::uint64_t start = offset;
    if (start < 6 + std::uint64_t{count} * 16 || start >= chunk.size)
        start = 6 + std::uint64_t{count} * 16;
    if (start >= chunk.size) return DecodeError::Truncated;
    frame.offset = chunk.start + start;
    frame.size = std::min<std::uint64_t>(size, chunk.size - start);
    if (frame.size == 0) frame.size = chunk.size - start;
    m_frames.push_back(frame);
    if (m_settings.progress && m_frameCount > 0)
        m_settings.progress->Progress(m_frameCount, static_cast<std::int64_t>(m_frames.size()));
    return {};
}

Status AniReader::probeFrame(std::size_t frame) {
    m_probed = false;
    if (frame >= m_frames.size()) return DecodeError::Corrupt;
    KALDER_TRY(m_image.probe(m_input, m_frames[frame].offset, m_frames[frame].size));
    m_probed = true;
    return {};
}

// Some writers store the last frame twice without a sequence; showing it twice would stutter.
Status AniReader::dropRepeatedLastFrame() {
    if (m_haveSequence || m_frames.size() < 2 || m_steps == 0) return {};
    const std::size_t last = m_frames.size() - 1;
    KALDER_TRY(probeFrame(last - 1));
    KALDER_TRY(decodeCurrent());
    const std::int32_t w = m_image.width(), h = m_image.height();
    const std::vector<std::uint8_t> pixels = m_image.rgb();
    const std::vector<std::uint8_t> alpha = m_image.alpha();
    KALDER_TRY(probeFrame(last));
    KALDER_TRY(decodeCurrent());
    if (m_image.width() == w && m_image.height() == h && m_image.rgb() == pixels &&
        m_image.alpha() == alpha)
        --m_steps;
    releaseCurrent();
    m_probed = false;
    return {};
}

bool AniReader::GetPalette(Palette& palette) const {
    if (m_probed && m_image.bitsPerPixel() <= 8) palette = m_image.palette();
    return true;
}

std::string AniReader::Description() const {
    char text[96];
    std::snprintf(text, sizeof text, "%s, %i %s", "Windows Animated Cursor",
                  static_cast<int>(m_stepCount), "page(s)");
    return text;
}

Result<std::uint32_t> AniReader::BeginDecode() {
    if (m_failed) return m_error;
    if (!m_started) {
        m_started = true;
        if (auto s = dropRepeatedLastFrame(); !s) return fail(s.error());
    }
    if (m_step >= m_steps) return fail(DecodeError::NoMoreFrames);
    const std::uint32_t frame = stepFrame(m_step);
    if (frame >= m_frames.size()) return fail(DecodeError::Corrupt);
    std::uint32_t delay = m_defaultDelay;
    if (m_haveRates) {
        if (m_step >= m_rates.size()) return fail(DecodeError::Corrupt);
        delay = jiffiesToDelay(m_rates[m_step]);
    }
    if (auto s = probeFrame(frame); !s) return fail(s.error());
    if (auto s = decodeCurrent(); !s) return fail(s.error());
    return std::max<std::uint32_t>(delay, 1);
}

void AniReader::EndDecode() {
    releaseCurrent();
    ++m_step;
    m_probed = false;
    // Look at the next step's frame now, so that its size is known before its BeginDecode.
    if (m_step < m_steps && !m_failed) {
        const std::uint32_t frame = stepFrame(m_step);
        if (auto s = probeFrame(frame); !s) fail(s.error());
    }
}

}  // namespace

std::unique_ptr<ImageReader> makeAniReader() { return std::make_unique<AniReader>(); }

}  // namespace kalder::image
