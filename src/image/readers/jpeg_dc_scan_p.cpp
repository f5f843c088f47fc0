#include "image/readers/jpeg_dc_scan_p.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

#include "image/sinks.h"

namespace kalder::image {
namespace {

// Codes up to this long are resolved by one table look-up; longer ones (rare in photographs) walk
// the canonical code ranges.
constexpr int kLookBits = 10;
// AC codes are skipped several at a time: one look-up of this many bits steps over every complete
// code and its value bits in them.
constexpr int kSkipBits = 14;
constexpr int kMaxComponents = 3;
constexpr int kMaxBlocksInMcu = 10;  // the format's own limit for an interleaved scan

struct HuffTable {
    bool defined = false;
    bool dcSafe = true;  // every symbol is a usable DC magnitude category (at most 15)
    std::int32_t count = 0;
    std::array<std::uint8_t, 256> values{};
    std::array<std::int32_t, 18> maxCode{};    // the last code of each length, -1 for none
    std::array<std::int32_t, 17> valOffset{};  // value index minus code, per length
    // Per lookahead: code length | symbol << 8, or 0 for a longer code.
    std::array<std::uint16_t, 1 << kLookBits> fast{};
    // Per lookahead for skipping AC: code plus value bits | coefficients advanced << 8 (64 ends
    // the block), or 0 for a longer code.
    std::array<std::uint16_t, 1 << kLookBits> skip{};
    // Per kSkipBits lookahead, for the AC codes it holds whole: bits | advance before the last
    // code << 8 | advance of all << 16; 0 when not one code fits.
    std::shared_ptr<const std::vector<std::uint32_t>> multi;
    std::vector<std::uint8_t> definition;  // the counts per length, then the symbols
};

std::uint16_t acSkipEntry(int length, int symbol) {
    const int run = symbol >> 4;
    const int size = symbol & 15;
    int advance = run + 1;
    if (size == 0) advance = run == 15 ? 16 : 64;  // 16 zeros, or the end of the block
    return static_cast<std::uint16_t>((length + size) | (advance << 8));
}

// The canonical code assignment; false for a table whose codes do not fit their lengths.
bool buildTable(HuffTable& t, const std::uint8_t* counts, const std::uint8_t* values, int total) {
    t = HuffTable{};
    t.count = total;
    t.definition.assign(counts, counts + 16);
    t.definition.insert(t.definition.end(), values, values + total);
    std::memcpy(t.values.data(), values, static_cast<std::size_t>(total));
    for (int i = 0; i < total; ++i)
        if (values[i] > 15) t.dcSafe = false;
    std::int32_t code = 0;
    int index = 0;
    t.maxCode.fill(-1);
    for (int length = 1; length <= 16; ++length) {
        const int n = counts[length - 1];
        t.valOffset[length] = index - code;
        for (int i = 0; i < n; ++i, ++index, ++code) {
            // No code may be all ones, nor longer than its length.
            if (code + 1 >= (std::int32_t{1} << length)) return false;
            if (length > kLookBits) continue;
            const int shift = kLookBits - length;
            const std::uint32_t first = static_cast<std::uint32_t>(code) << shift;
            const auto fast = static_cast<std::uint16_t>(length | (values[index] << 8));
            const std::uint16_t skip = acSkipEntry(length, values[index]);
            for (std::uint32_t k = 0; k < (1u << shift); ++k) {
                t.fast[first + k] = fast;
                // A code and its value bits longer than the lookahead still fit one entry: the
                // entry only says how many bits to drop.
                t.skip[first + k] = skip;
            }
        }
        if (n > 0) t.maxCode[length] = code - 1;
        code <<= 1;
    }
    t.maxCode[17] = std::numeric_limits<std::int32_t>::max();
    t.defined = true;
    return true;
}

// The symbol whose code begins the low `available` bits of `pattern`, and its length; -1 when no
// whole code is there.
int symbolAt(const HuffTable& t, std::uint32_t pattern, int available, int& length) {
    for (length = 1; length <= std::min(16, available); ++length) {
        const auto code =
            static_cast<std::int32_t>((pattern >> (available - length)) & ((1u << length) - 1));
        if (code <= t.maxCode[static_cast<std::size_t>(length)]) {
            const std::int32_t index = code + t.valOffset[static_cast<std::size_t>(length)];
            if (index < 0 || index >= t.count) return -1;
            return t.values[static_cast<std::size_t>(index)];
        }
    }
    return -1;
}

std::vector<std::uint32_t> makeSkipTable(const HuffTable& t) {
    std::vector<std::uint32_t> multi(std::size_t{1} << kSkipBits, 0);
    for (std::uint32_t pattern = 0; pattern < (1u << kSkipBits); ++pattern) {
        int used = 0;
        int before = 0;
        int advance = 0;
        while (advance < 64) {
            int length = 0;
            const int symbol = symbolAt(t, pattern, kSkipBits - used, length);
            if (symbol < 0) break;
            const std::uint16_t e = acSkipEntry(length, symbol);
            if (used + (e & 0xFF) > kSkipBits) break;
            used += e & 0xFF;
            before = advance;
            advance += e >> 8;
        }
        if (used > 0)
            multi[pattern] = static_cast<std::uint32_t>(used) |
                             (static_cast<std::uint32_t>(before) << 8) |
                             (static_cast<std::uint32_t>(std::min(advance, 127)) << 16);
    }
    return multi;
}

// Files from one camera or program share their tables, and making one costs a few percent of a
// thumbnail, so each thread keeps the last few it made.
bool attachSkipTable(HuffTable& t) {
    using Entry =
        std::pair<std::vector<std::uint8_t>, std::shared_ptr<const std::vector<std::uint32_t>>>;
    constexpr std::size_t kKept = 4;
    thread_local std::array<Entry, kKept> kept;
    thread_local std::size_t next = 0;
    for (const Entry& e : kept)
        if (e.second && e.first == t.definition) {
            t.multi = e.second;
            return true;
        }
    try {
        t.multi = std::make_shared<const std::vector<std::uint32_t>>(makeSkipTable(t));
        kept[next] = {t.definition, t.multi};
    } catch (const std::bad_alloc&) {
        return false;
    }
    next = (next + 1) % kKept;
    return true;
}

std::uint64_t loadBigEndian64(const std::uint8_t* p) {
    std::uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v = (v << 8) | p[i];
    return v;
}

bool hasFFByte(std::uint64_t w) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    constexpr std::uint64_t kHighs = 0x8080808080808080ull;
    const std::uint64_t inverted = ~w;
    return ((inverted - kOnes) & w & kHighs) != 0;
}

// The entropy-coded data, most significant bit first. At a marker or the end of the file it goes
// on with zero bytes, counted, so that running past the data can be told afterwards.
class BitReader {
public:
    BitReader(const std::uint8_t* p, const std::uint8_t* end) : m_p(p), m_end(end) {}

    void refill() {
        if (!m_atMarker && m_end - m_p >= 8) {
            const std::uint64_t w = loadBigEndian64(m_p);
            if (!hasFFByte(w)) {
                const int bytes = (64 - m_bits) >> 3;
                m_buffer |= (w >> (64 - 8 * bytes)) << (64 - 8 * bytes - m_bits);
                m_bits += 8 * bytes;
                m_p += bytes;
                return;
            }
        }
        while (m_bits <= 56) {
            std::uint8_t b = 0;
            if (!m_atMarker) {
                if (m_p < m_end && *m_p != 0xFF) {
                    b = *m_p++;
                } else if (m_end - m_p >= 2 && m_p[1] == 0x00) {
                    b = 0xFF;  // a stuffed FF
                    m_p += 2;
                } else {
                    m_atMarker = true;  // m_p stays on the marker
                }
            }
            if (m_atMarker) ++m_padBytes;
            m_buffer |= static_cast<std::uint64_t>(b) << (56 - m_bits);
            m_bits += 8;
        }
    }
    // At least 32 bits are buffered after this.
    void need() {
        if (m_bits < 32) refill();
    }
    std::uint32_t peek(int n) const { return static_cast<std::uint32_t>(m_buffer >> (64 - n)); }
    void drop(int n) {
        m_buffer <<= n;
        m_bits -= n;
    }
    // Bits beyond the data were taken.
    bool overrun() const { return m_bits < 8 * m_padBytes; }

    // Between restart intervals: what is left of the data must be the last byte's padding, and
    // the marker RSTn must follow.
    bool restart(int expected) {
        const std::int64_t left = m_bits - 8 * m_padBytes;
        if (left < 0 || left >= 8) return false;
        while (m_p < m_end && *m_p == 0xFF) ++m_p;  // a marker may be preceded by fill bytes
        if (m_p == m_end || *m_p != 0xD0 + (expected & 7)) return false;
        ++m_p;
        m_buffer = 0;
        m_bits = 0;
        m_padBytes = 0;
        m_atMarker = false;
        return true;
    }

private:
    const std::uint8_t* m_p;
    const std::uint8_t* m_end;
    std::uint64_t m_buffer = 0;
    int m_bits = 0;
    std::int64_t m_padBytes = 0;
    bool m_atMarker = false;
};

// The `size` value bits that follow a code, as the signed coefficient (or DC difference) they
// stand for; size is 1 to 15.
std::int32_t takeValue(BitReader& bits, int size) {
    const auto raw = static_cast<std::int32_t>(bits.peek(size));
    bits.drop(size);
    return raw < (1 << (size - 1)) ? raw - (1 << size) + 1 : raw;
}

// A code longer than the lookahead; -1 for none.
int decodeLong(BitReader& bits, const HuffTable& t) {
    for (int length = kLookBits + 1; length <= 16; ++length) {
        const auto code = static_cast<std::int32_t>(bits.peek(length));
        if (code <= t.maxCode[length]) {
            const std::int32_t index = code + t.valOffset[length];
            if (index < 0 || index >= t.count) return -1;
            bits.drop(length);
            return t.values[static_cast<std::size_t>(index)];
        }
    }
    return -1;
}

int decodeSymbol(BitReader& bits, const HuffTable& t) {
    const std::uint16_t e = t.fast[bits.peek(kLookBits)];
    if (e != 0) {
        bits.drop(e & 0xFF);
        return e >> 8;
    }
    return decodeLong(bits, t);
}

// Steps over the 63 AC coefficients of one block.
bool skipAc(BitReader& bits, const HuffTable& t) {
    const std::uint32_t* multi = t.multi->data();
    for (int k = 1; k < 64;) {
        bits.need();
        const std::uint32_t m = multi[bits.peek(kSkipBits)];
        // Whole only when the block does not end before its last code.
        if (m != 0 && k + static_cast<int>((m >> 8) & 0xFF) < 64) {
            bits.drop(static_cast<int>(m & 0xFF));
            k += static_cast<int>(m >> 16);
            continue;
        }
        const std::uint16_t e = t.skip[bits.peek(kLookBits)];
        if (e != 0) {
            bits.drop(e & 0xFF);
            k += e >> 8;
            continue;
        }
        const int symbol = decodeLong(bits, t);
        if (symbol < 0) return false;
        const int run = symbol >> 4;
        const int size = symbol & 15;
        if (size != 0) {
            bits.drop(size);
            k += run + 1;
        } else if (run == 15) {
            k += 16;
        } else {
            break;
        }
    }
    return true;
}

// The natural (row-major) position of each coefficient in the order the file stores them.
constexpr std::array<std::uint8_t, 64> kZigzag = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// A block of a component halved both ways covers 2 x 2 output pixels, and the library gives each
// the mean of its quarter of the block. Averaged over half a block, the cosines of even frequency
// cancel, so only frequencies 0, 1, 3, 5 and 7 of each direction count. kHalfWeight[f][half] is
// that mean for frequency f with the transform's scaling.
struct HalfWeights {
    std::array<std::array<double, 2>, 8> w{};
    HalfWeights() {
        const double pi = std::acos(-1.0);
        for (int f = 0; f < 8; ++f) {
            const double scale = f == 0 ? 1.0 / std::sqrt(2.0) : 1.0;
            for (int half = 0; half < 2; ++half) {
                double sum = 0;
                for (int x = 4 * half; x < 4 * half + 4; ++x)
                    sum += std::cos((2 * x + 1) * f * pi / 16.0);
                w[static_cast<std::size_t>(f)][static_cast<std::size_t>(half)] =
                    0.5 * scale * sum / 4.0;
            }
        }
    }
};

const HalfWeights& halfWeights() {
    static const HalfWeights weights;
    return weights;
}

// The coefficients of one block that a quarter mean uses, dequantized.
// Left uninitialised beyond count: one is made per block.
struct QuarterTerms {
    int count = 0;
    std::array<std::uint8_t, 64> position;  // natural
    std::array<double, 64> value;
};

// Decodes the 63 AC coefficients of one block, keeping those at frequencies 0, 1, 3, 5, 7.
bool decodeAcTerms(BitReader& bits, const HuffTable& t, const std::uint16_t* quant,
                   QuarterTerms& terms) {
    constexpr std::uint64_t kUsed = [] {
        std::uint64_t mask = 0;
        for (int n = 0; n < 64; ++n)
            if ((n / 8 == 0 || (n / 8) % 2 == 1) && (n % 8 == 0 || (n % 8) % 2 == 1))
                mask |= std::uint64_t{1} << n;
        return mask;
    }();
    for (int k = 1; k < 64;) {
        bits.need();
        const int symbol = decodeSymbol(bits, t);
        if (symbol < 0) return false;
        const int run = symbol >> 4;
        const int size = symbol & 15;
        if (size == 0) {
            if (run != 15) break;
            k += 16;
            continue;
        }
        k += run;
        const std::int32_t value = takeValue(bits, size);
        // A run past the end lands on the last coefficient, as in the library.
        const int z = std::min(k, 63);
        const int n = kZigzag[static_cast<std::size_t>(z)];
        if ((kUsed >> n) & 1) {
            const auto coefficient = static_cast<std::int16_t>(value);
            const auto multiplier = static_cast<std::int16_t>(quant[z]);
            terms.position[static_cast<std::size_t>(terms.count)] = static_cast<std::uint8_t>(n);
            terms.value[static_cast<std::size_t>(terms.count)] = coefficient * multiplier;
            ++terms.count;
        }
        ++k;
    }
    return true;
}

// The four quarter means of a block, rounded and limited to 0..255.
void quarterSamples(const QuarterTerms& terms, std::uint8_t* top, std::uint8_t* bottom) {
    const auto& w = halfWeights().w;
    double sum[2][2] = {};
    for (int i = 0; i < terms.count; ++i) {
        const int n = terms.position[static_cast<std::size_t>(i)];
        const double f = terms.value[static_cast<std::size_t>(i)];
        const auto& wy = w[static_cast<std::size_t>(n / 8)];
        const auto& wx = w[static_cast<std::size_t>(n % 8)];
        sum[0][0] += f * wy[0] * wx[0];
        sum[0][1] += f * wy[0] * wx[1];
        sum[1][0] += f * wy[1] * wx[0];
        sum[1][1] += f * wy[1] * wx[1];
    }
    const auto sample = [](double v) {
        return static_cast<std::uint8_t>(std::clamp(std::floor(v + 128.5), 0.0, 255.0));
    };
    top[0] = sample(sum[0][0]);
    top[1] = sample(sum[0][1]);
    bottom[0] = sample(sum[1][0]);
    bottom[1] = sample(sum[1][1]);
}

struct Component {
    int id = 0;
    int h = 1;
    int v = 1;
    int quant = 0;
    int dcTable = 0;
    int acTable = 0;
    int samples = 1;  // per block and direction: 1, or 2 for a component halved both ways
    std::int32_t planeWidth = 0;
    std::vector<std::uint8_t> plane;
};

enum class Colours { Grey, YCbCr, Rgb };

struct Frame {
    std::int32_t width = 0;
    std::int32_t height = 0;
    int count = 0;
    std::array<Component, kMaxComponents> components{};
    int hMax = 1;
    int vMax = 1;
};

// What one 1 x 1 inverse transform gives for a DC value: the mean of the block, with the
// library's rounding and its wrapping range limit (values far outside 0..255 wrap the way the
// library's table does rather than clamp, so damaged blocks look the same).
std::uint8_t dcSample(std::int32_t predictor, std::uint16_t quant) {
    const auto coefficient = static_cast<std::int16_t>(predictor);
    const auto multiplier = static_cast<std::int16_t>(quant);
    const std::int32_t value = (coefficient * multiplier + 4) >> 3;
    const std::int32_t index = value & 1023;
    if (index < 128) return static_cast<std::uint8_t>(index + 128);
    if (index < 512) return 255;
    if (index < 896) return 0;
    return static_cast<std::uint8_t>(index - 896);
}

std::uint8_t clampByte(std::int32_t v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 255)); }

// YCbCr to RGB in 16-bit fixed point with the JFIF coefficients, rounded as the library rounds.
struct YccTables {
    std::array<std::int32_t, 256> crR{}, cbB{}, crG{}, cbG{};
    YccTables() {
        constexpr std::int32_t kHalf = 1 << 15;
        const auto fix = [](double x) { return static_cast<std::int32_t>(x * 65536.0 + 0.5); };
        for (int i = 0; i < 256; ++i) {
            const std::int32_t x = i - 128;
            crR[static_cast<std::size_t>(i)] = (fix(1.40200) * x + kHalf) >> 16;
            cbB[static_cast<std::size_t>(i)] = (fix(1.77200) * x + kHalf) >> 16;
            crG[static_cast<std::size_t>(i)] = -fix(0.71414) * x;
            cbG[static_cast<std::size_t>(i)] = -fix(0.34414) * x + kHalf;
        }
    }
};

const YccTables& yccTables() {
    static const YccTables tables;
    return tables;
}

class DcScanner {
public:
    DcScanner(std::span<const std::uint8_t> file, std::int64_t maxPixels, const CancelSink* cancel)
        : m_p(file.data()),
          m_end(file.data() + file.size()),
          m_maxPixels(maxPixels),
          m_cancel(cancel) {}

    std::optional<EighthPicture> run() {
        if (m_end - m_p < 2 || m_p[0] != 0xFF || m_p[1] != 0xD8) return std::nullopt;
        m_p += 2;
        for (;;) {
            const int marker = nextMarker();
            if (marker < 0) return std::nullopt;
            if (marker == 0xDA) break;
            if (!segment(marker)) return std::nullopt;
        }
        if (!startOfScan() || !decodeScan()) return std::nullopt;
        return picture();
    }

private:
    // The next marker's code, after any fill bytes; -1 when none follows.
    int nextMarker() {
        if (m_p == m_end || *m_p != 0xFF) return -1;
        while (m_p < m_end && *m_p == 0xFF) ++m_p;
        if (m_p == m_end) return -1;
        return *m_p++;
    }

    // The segment after a marker that takes a length; false for a marker this scan leaves to the
    // library, or a damaged segment.
    bool segment(int marker) {
        if (marker == 0x01) return true;  // TEM carries no length
        if (m_end - m_p < 2) return false;
        const std::size_t length = static_cast<std::size_t>((m_p[0] << 8) | m_p[1]);
        if (length < 2 || static_cast<std::size_t>(m_end - m_p) < length) return false;
        const std::uint8_t* data = m_p + 2;
        const std::size_t size = length - 2;
        m_p += length;
        switch (marker) {
            case 0xC0:
            case 0xC1:
                return startOfFrame(data, size);
            case 0xC4:
                return huffmanTables(data, size);
            case 0xDB:
                return quantTables(data, size);
            case 0xDD:
                if (size != 2) return false;
                m_restartInterval = (data[0] << 8) | data[1];
                return true;
            case 0xE0:
                if (size >= 14 && std::memcmp(data, "JFIF", 5) == 0) m_sawJfif = true;
                return true;
            case 0xEE:
                if (size >= 12 && std::memcmp(data, "Adobe", 5) == 0) {
                    m_sawAdobe = true;
                    m_adobeTransform = data[11];
                }
                return true;
            case 0xFE:
                return true;
            default:
                // Other application markers carry nothing for the picture; everything else
                // (progressive and arithmetic frames, a second image, DNL) is the library's.
                return marker >= 0xE1 && marker <= 0xEF;
        }
    }

    bool startOfFrame(const std::uint8_t* d, std::size_t size) {
        if (m_frame.count != 0 || size < 6) return false;
        const int precision = d[0];
        m_frame.height = (d[1] << 8) | d[2];
        m_frame.width = (d[3] << 8) | d[4];
        const int n = d[5];
        if (precision != 8 || m_frame.width == 0 || m_frame.height == 0) return false;
        if ((n != 1 && n != 3) || size != 6 + 3 * static_cast<std::size_t>(n)) return false;
        for (int i = 0; i < n; ++i) {
            Component& c = m_frame.components[static_cast<std::size_t>(i)];
            const std::uint8_t* e = d + 6 + 3 * i;
            c.id = e[0];
            c.h = e[1] >> 4;
            c.v = e[1] & 15;
            c.quant = e[2];
            if (c.h < 1 || c.h > 4 || c.v < 1 || c.v > 4 || c.quant > 3) return false;
            for (int j = 0; j < i; ++j)
                if (m_frame.components[static_cast<std::size_t>(j)].id == c.id) return false;
            m_frame.hMax = std::max(m_frame.hMax, c.h);
            m_frame.vMax = std::max(m_frame.vMax, c.v);
        }
        m_frame.count = n;
        return true;
    }

    bool huffmanTables(const std::uint8_t* d, std::size_t size) {
        while (size > 0) {
            if (size < 17) return false;
            const int tableClass = d[0] >> 4;
            const int id = d[0] & 15;
            if (tableClass > 1 || id > 3) return false;
            int total = 0;
            for (int i = 0; i < 16; ++i) total += d[1 + i];
            if (total > 256 || size < 17 + static_cast<std::size_t>(total)) return false;
            HuffTable& t = (tableClass == 0 ? m_dc : m_ac)[static_cast<std::size_t>(id)];
            if (!buildTable(t, d + 1, d + 17, total)) return false;
            d += 17 + total;
            size -= 17 + static_cast<std::size_t>(total);
        }
        return true;
    }

    bool quantTables(const std::uint8_t* d, std::size_t size) {
        while (size > 0) {
            const int precision = d[0] >> 4;
            const int id = d[0] & 15;
            const std::size_t entries = precision == 0 ? 64 : 128;
            if (precision > 1 || id > 3 || size < 1 + entries) return false;
            auto& table = m_quant[static_cast<std::size_t>(id)];
            for (std::size_t k = 0; k < 64; ++k)
                table[k] = precision == 0
                               ? d[1 + k]
                               : static_cast<std::uint16_t>((d[1 + 2 * k] << 8) | d[2 + 2 * k]);
            m_quantDefined[static_cast<std::size_t>(id)] = true;
            d += 1 + entries;
            size -= 1 + entries;
        }
        return true;
    }

    bool startOfScan() {
        if (m_frame.count == 0 || m_end - m_p < 2) return false;
        const std::size_t length = static_cast<std::size_t>((m_p[0] << 8) | m_p[1]);
        if (length < 3 || static_cast<std::size_t>(m_end - m_p) < length) return false;
        const std::uint8_t* d = m_p + 2;
        const int n = d[0];
        // One scan holding every component; separate scans per component are the library's.
        if (n != m_frame.count || length != 6 + 2 * static_cast<std::size_t>(n)) return false;
        for (int i = 0; i < n; ++i) {
            const int id = d[1 + 2 * i];
            int index = -1;
            for (int j = 0; j < m_frame.count; ++j)
                if (m_frame.components[static_cast<std::size_t>(j)].id == id) index = j;
            if (index < 0) return false;
            for (int j = 0; j < i; ++j)
                if (m_scanOrder[static_cast<std::size_t>(j)] == index) return false;
            m_scanOrder[static_cast<std::size_t>(i)] = index;
            Component& c = m_frame.components[static_cast<std::size_t>(index)];
            c.dcTable = d[2 + 2 * i] >> 4;
            c.acTable = d[2 + 2 * i] & 15;
            if (c.dcTable > 3 || c.acTable > 3) return false;
            const HuffTable& dc = m_dc[static_cast<std::size_t>(c.dcTable)];
            if (!dc.defined || !dc.dcSafe || !m_ac[static_cast<std::size_t>(c.acTable)].defined)
                return false;
            if (!m_quantDefined[static_cast<std::size_t>(c.quant)]) return false;
        }
        const std::uint8_t* tail = d + 1 + 2 * n;
        if (tail[0] != 0 || tail[1] != 63 || tail[2] != 0) return false;  // sequential only
        m_p += length;

        if (m_frame.count == 3) {
            if (m_frame.hMax % m_frame.components[1].h != 0 ||
                m_frame.hMax % m_frame.components[2].h != 0 ||
                m_frame.hMax % m_frame.components[0].h != 0 ||
                m_frame.vMax % m_frame.components[0].v != 0 ||
                m_frame.vMax % m_frame.components[1].v != 0 ||
                m_frame.vMax % m_frame.components[2].v != 0)
                return false;  // the library cannot upsample fractional ratios either
            if (!chooseColours()) return false;
            for (Component& c : m_frame.components) {
                // The library's rule at 1/8: a component whose block spans at least two output
                // pixels each way gets a reduced transform of that size. Two is all we make.
                const bool halved = m_frame.hMax % (2 * c.h) == 0 && m_frame.vMax % (2 * c.v) == 0;
                if (halved && m_frame.hMax % (4 * c.h) == 0 && m_frame.vMax % (4 * c.v) == 0)
                    return false;
                c.samples = halved ? 2 : 1;
            }
        } else {
            m_colours = Colours::Grey;
        }
        for (int i = 0; i < m_frame.count; ++i) {
            const Component& c = m_frame.components[static_cast<std::size_t>(i)];
            HuffTable& ac = m_ac[static_cast<std::size_t>(c.acTable)];
            if (c.samples == 1 && !ac.multi && !attachSkipTable(ac)) return false;
        }
        const std::int64_t outW = (m_frame.width + 7) / 8;
        const std::int64_t outH = (m_frame.height + 7) / 8;
        return outW * outH <= m_maxPixels;
    }

    // The colour space the library assumes for three components.
    bool chooseColours() {
        m_colours = Colours::YCbCr;
        if (m_sawJfif) return true;
        if (m_sawAdobe) {
            if (m_adobeTransform > 1) return false;
            if (m_adobeTransform == 0) m_colours = Colours::Rgb;
            return true;
        }
        const auto& c = m_frame.components;
        if (c[0].id == 'R' && c[1].id == 'G' && c[2].id == 'B') m_colours = Colours::Rgb;
        return true;
    }

    bool decodeScan() {
        const bool interleaved = m_frame.count > 1;
        std::int64_t mcusX = 0;
        std::int64_t mcusY = 0;
        if (interleaved) {
            mcusX = (m_frame.width + 8 * m_frame.hMax - 1) / (8 * m_frame.hMax);
            mcusY = (m_frame.height + 8 * m_frame.vMax - 1) / (8 * m_frame.vMax);
        } else {
            Component& c = m_frame.components[0];
            c.h = 1;
            c.v = 1;
            m_frame.hMax = 1;
            m_frame.vMax = 1;
            mcusX = (m_frame.width + 7) / 8;
            mcusY = (m_frame.height + 7) / 8;
        }
        int blocks = 0;
        for (int i = 0; i < m_frame.count; ++i) {
            Component& c = m_frame.components[static_cast<std::size_t>(i)];
            blocks += c.h * c.v;
            c.planeWidth = static_cast<std::int32_t>(mcusX * c.h * c.samples);
            try {
                c.plane.assign(static_cast<std::size_t>(c.planeWidth * mcusY * c.v * c.samples), 0);
            } catch (const std::bad_alloc&) {
                return false;
            }
        }
        if (blocks > kMaxBlocksInMcu) return false;

        BitReader bits(m_p, m_end);
        std::array<std::int32_t, kMaxComponents> predictor{};
        std::int64_t mcusLeft = m_restartInterval;
        int nextRestart = 0;
        for (std::int64_t my = 0; my < mcusY; ++my) {
            if (m_cancel && m_cancel->isCancelled()) return false;
            for (std::int64_t mx = 0; mx < mcusX; ++mx) {
                if (m_restartInterval != 0) {
                    if (mcusLeft == 0) {
                        if (!bits.restart(nextRestart++)) return false;
                        predictor.fill(0);
                        mcusLeft = m_restartInterval;
                    }
                    --mcusLeft;
                }
                for (int s = 0; s < m_frame.count; ++s) {
                    const int ci = m_scanOrder[static_cast<std::size_t>(s)];
                    Component& c = m_frame.components[static_cast<std::size_t>(ci)];
                    const HuffTable& dc = m_dc[static_cast<std::size_t>(c.dcTable)];
                    const HuffTable& ac = m_ac[static_cast<std::size_t>(c.acTable)];
                    const std::uint16_t* quant = m_quant[static_cast<std::size_t>(c.quant)].data();
                    for (int by = 0; by < c.v; ++by) {
                        std::uint8_t* row = c.plane.data() +
                                            (my * c.v + by) * c.samples * c.planeWidth +
                                            mx * c.h * c.samples;
                        for (int bx = 0; bx < c.h; ++bx) {
                            bits.need();
                            const int size = decodeSymbol(bits, dc);
                            if (size < 0) return false;
                            const std::int32_t diff = size != 0 ? takeValue(bits, size) : 0;
                            const std::int64_t sum =
                                std::int64_t{predictor[static_cast<std::size_t>(ci)]} + diff;
                            if (sum > std::numeric_limits<std::int32_t>::max() ||
                                sum < std::numeric_limits<std::int32_t>::min())
                                return false;
                            predictor[static_cast<std::size_t>(ci)] =
                                static_cast<std::int32_t>(sum);
                            if (c.samples == 1) {
                                row[bx] = dcSample(static_cast<std::int32_t>(sum), quant[0]);
                                if (!skipAc(bits, ac)) return false;
                                continue;
                            }
                            QuarterTerms terms;
                            terms.count = 1;
                            terms.position[0] = 0;
                            terms.value[0] = static_cast<std::int16_t>(sum) *
                                             static_cast<std::int16_t>(quant[0]);
                            if (!decodeAcTerms(bits, ac, quant, terms)) return false;
                            quarterSamples(terms, row + 2 * bx, row + 2 * bx + c.planeWidth);
                        }
                    }
                }
                if (bits.overrun()) return false;
            }
        }
        return true;
    }

    std::optional<EighthPicture> picture() {
        EighthPicture out;
        out.width = (m_frame.width + 7) / 8;
        out.height = (m_frame.height + 7) / 8;
        try {
            out.rgb.resize(static_cast<std::size_t>(out.width) *
                           static_cast<std::size_t>(out.height) * 3);
        } catch (const std::bad_alloc&) {
            return std::nullopt;
        }
        const auto& comps = m_frame.components;
        const YccTables& ycc = yccTables();
        std::uint8_t* dst = out.rgb.data();
        for (std::int32_t y = 0; y < out.height; ++y) {
            std::array<const std::uint8_t*, kMaxComponents> rows{};
            for (int i = 0; i < m_frame.count; ++i) {
                const Component& c = comps[static_cast<std::size_t>(i)];
                const std::int64_t py = std::int64_t{y} * c.v * c.samples / m_frame.vMax;
                rows[static_cast<std::size_t>(i)] = c.plane.data() + py * c.planeWidth;
            }
            for (std::int32_t x = 0; x < out.width; ++x, dst += 3) {
                const std::uint8_t s0 = rows[0][x * comps[0].h * comps[0].samples / m_frame.hMax];
                if (m_colours == Colours::Grey) {
                    dst[0] = dst[1] = dst[2] = s0;
                    continue;
                }
                const std::uint8_t s1 = rows[1][x * comps[1].h * comps[1].samples / m_frame.hMax];
                const std::uint8_t s2 = rows[2][x * comps[2].h * comps[2].samples / m_frame.hMax];
                if (m_colours == Colours::Rgb) {
                    dst[0] = s0;
                    dst[1] = s1;
                    dst[2] = s2;
                    continue;
                }
                dst[0] = clampByte(s0 + ycc.crR[s2]);
                dst[1] = clampByte(s0 + ((ycc.cbG[s1] + ycc.crG[s2]) >> 16));
                dst[2] = clampByte(s0 + ycc.cbB[s1]);
            }
        }
        return out;
    }

    const std::uint8_t* m_p;
    const std::uint8_t* m_end;
    std::int64_t m_maxPixels;
    const CancelSink* m_cancel;
    Frame m_frame;
    std::array<HuffTable, 4> m_dc{};
    std::array<HuffTable, 4> m_ac{};
    std::array<std::array<std::uint16_t, 64>, 4> m_quant{};  // in the file's order
    std::array<bool, 4> m_quantDefined{};
    std::array<int, kMaxComponents> m_scanOrder{};
    std::int32_t m_restartInterval = 0;
    bool m_sawJfif = false;
    bool m_sawAdobe = false;
    int m_adobeTransform = 0;
    Colours m_colours = Colours::YCbCr;
};

}  // namespace

std::optional<EighthPicture> scanJpegDc(std::span<const std::uint8_t> file, std::int64_t maxPixels,
                                        const CancelSink* cancel) {
    return DcScanner(file, maxPixels, cancel).run();
}

}  // namespace kalder::image
