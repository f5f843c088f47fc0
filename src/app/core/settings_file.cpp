// The binary layout of the settings file: the magic "Kal0", then every stored field in a fixed
// order, little-endian, with no padding. One list of fields drives both the reader and the
// writer, so the two cannot drift apart.
#include <algorithm>
#include <bit>
#include <cstring>

#include "app/core/settings.h"
#include "base/byte_order.h"
#include "image/byte_reader.h"

namespace kalder::app {
namespace {

constexpr std::uint8_t kMagic[4] = {'K', 'a', 'l', '0'};

// Calls the visitor once per stored field, in file order, until one answers false.
template <typename S, typename V>
bool visitStoredFields(S& s, V& v) {
    return v.flag(s.ditherEnabled) &&             // 1
           v.flag(s.squeezeInterpolated) &&       // 2
           v.flag(s.stretchInterpolated) &&       // 3
           v.flag(s.exitWithEsc) &&               // 4
           v.flag(s.exifThumbnails) &&            // 5
           v.flag(s.showProgress) &&              // 6
           v.int32(s.slideDelay) &&               // 7
           v.flag(s.slideBackward) &&             // 8
           v.flag(s.slideRepeat) &&               // 9
           v.flag(s.fullScreenViewing) &&         // 10
           v.rect(s.windowRect) &&                // 11
           v.int32(s.windowShowCmd) &&            // 12
           v.int32(s.paneSplitY) &&               // 13
           v.int32(s.paneSplitX) &&               // 14
           v.flag(s.nameBarVisible) &&            // 15
           v.string(s.lastFolder) &&              // 16
           v.int32(s.fitMode) &&                  // 17
           v.int32(s.browserView) &&              // 18
           v.rect(s.propertiesPanelRect) &&       // 19
           v.stringList(s.favoriteFolders) &&     // 20
           v.stringList(s.favoriteLabels) &&      // 21
           v.flags(s.associateFormat) &&          // 22
           v.flag(s.verifyAssociations) &&        // 23
           v.real(s.gammaRed) &&                  // 24
           v.real(s.gammaGreen) &&                // 25
           v.real(s.gammaBlue) &&                 // 26
           v.stringList(s.openWithPaths) &&       // 27
           v.stringList(s.openWithLabels) &&      // 28
           v.toolbar(s.toolbarButtons) &&         // 29
           v.int32(s.osdSize) &&                  // 30
           v.colour(s.transparencyColor) &&       // 31
           v.colour(s.backgroundColor) &&         // 32
           v.int32(s.minStretchSize) &&           // 33
           v.flag(s.reservedFlag1) &&             // 34
           v.flag(s.showTransparency) &&          // 35
           v.int32(s.defaultResolutionX) &&       // 36
           v.int32(s.defaultResolutionY) &&       // 37
           v.string(s.copyMoveFolder) &&          // 38
           v.string(s.batchOutputFolder) &&       // 39
           v.block(s.batchFormatOptions) &&       // 40
           v.block(s.bmpOptions) &&               // 41
           v.block(s.gifOptions) &&               // 42
           v.block(s.jpegOptions) &&              // 43
           v.block(s.pngOptions) &&               // 44
           v.real(s.pngGamma) &&                  // 45
           v.block(s.tiffOptions) &&              // 46
           v.block(s.tgaOptions) &&               // 47
           v.block(s.batchGroupB) &&              // 48
           v.block(s.batchGroupC) &&              // 49
           v.block(s.gifCompilerOptions) &&       // 50
           v.string(s.jpegTransformFolder) &&     // 51
           v.flag(s.reservedFlag2) &&             // 52
           v.int32(s.sortMode) &&                 // 53
           v.flag(s.rotateExifThumbnails) &&      // 54
           v.flag(s.fileTooltips) &&              // 55
           v.block(s.psdOptions) &&               // 56
           v.string(s.batchComments) &&           // 57
           v.block(s.printOptions) &&             // 58
           v.string(s.findText) &&                // 59
           v.block(s.findOptions) &&              // 60
           v.stringList(s.mailAddressHistory) &&  // 61
           v.string(s.smtpServer) &&              // 62
           v.int32(s.smtpPort) &&                 // 63
           v.string(s.mailFields[0]) &&           // 64
           v.string(s.mailFields[1]) &&           // 65
           v.string(s.mailFields[2]) &&           // 66
           v.string(s.mailFields[3]) &&           // 67
           v.flag(s.wallpaperBackground) &&       // 68
           v.string(s.companionExePath) &&        // 69
           v.reservedList(s.reservedList) &&      // 70
           v.flag(s.centerOnLoad) &&              // 71
           v.flag(s.useColorProfiles) &&          // 72
           v.flag(s.useDefaultProfile) &&         // 73
           v.string(s.colorProfilePath) &&        // 74
           v.real(s.gammaExtra) &&                // 75
           v.shortcuts(s.shortcuts) &&            // 76
           v.block(s.controlOptions) &&           // 77
           v.int32(s.zoomScope) &&                // 78
           v.flag(s.enhancedLayout) &&            // 79
           v.flag(s.loadProgressively) &&         // 80
           v.flag(s.exifAutoOrient) &&            // 81
           v.string(s.customFilter) &&            // 82
           v.int32(s.filterMode) &&               // 83
           v.raw(s.overlayFont) &&                // 84
           v.block(s.overlayEffects) &&           // 85
           v.colour(s.overlayColorB) &&           // 86
           v.colour(s.overlayColorA) &&           // 87
           v.flag(s.statusBarFileInfo) &&         // 88
           v.int32(s.browserScrollBarSize) &&     // 89
           v.flag(s.copyAtWindowSize);            // 90
}

// Reads each field whole or not at all: a field cut short keeps the value it had, and the first
// short or invalid field ends the reading (the visitor answers false).
class FieldReader {
public:
    explicit FieldReader(std::span<const std::uint8_t> bytes) : m_in(bytes) {}

    bool flag(bool& f) {
        const auto b = m_in.bytes(1);
        if (!m_in.ok()) return false;
        f = b[0] != 0;
        return true;
    }
    bool int32(std::int32_t& v) {
        std::uint32_t u;
        if (!u32(u)) return false;
        v = static_cast<std::int32_t>(u);
        return true;
    }
    bool colour(std::uint32_t& v) { return u32(v); }
    bool real(double& v) {
        const auto b = m_in.bytes(8);
        if (!m_in.ok()) return false;
        const std::uint64_t bits = base::loadU32le(b.data()) |
                                   static_cast<std::uint64_t>(base::loadU32le(b.data() + 4)) << 32;
        v = std::bit_cast<double>(bits);
        return true;
    }
    bool rect(Rect& r) {
        std::array<std::int32_t, 4> v;
        if (!block(v)) return false;
        r = Rect{v[0], v[1], v[2], v[3]};
        return true;
    }
    template <std::size_t N>
    bool block(std::array<std::int32_t, N>& values) {
        const auto b = m_in.bytes(N * 4);
        if (!m_in.ok()) return false;
        for (std::size_t i = 0; i < N; ++i)
            values[i] = static_cast<std::int32_t>(base::loadU32le(b.data() + i * 4));
        return true;
    }
    template <std::size_t N>
    bool flags(std::array<bool, N>& values) {
        const auto b = m_in.bytes(N);
        if (!m_in.ok()) return false;
        for (std::size_t i = 0; i < N; ++i) values[i] = b[i] != 0;
        return true;
    }
    template <std::size_t N>
    bool raw(std::array<std::uint8_t, N>& values) {
        const auto b = m_in.bytes(N);
        if (!m_in.ok()) return false;
        std::copy(b.begin(), b.end(), values.begin());
        return true;
    }
    bool string(std::string& s) {
        std::int32_t length;
        if (!int32(length) || length < 0 || length > kMaxSettingsString) return false;
        const auto b = m_in.bytes(static_cast<std::size_t>(length));
        if (!m_in.ok()) return false;
        s.assign(b.begin(), b.end());
        return true;
    }
    // The list is emptied once its count is known good; strings read before a stop stay.
    bool stringList(std::vector<std::string>& list) {
        std::int32_t count;
        if (!int32(count) || count < 0 || count > kMaxSettingsListCount) return false;
        list.clear();
        for (std::int32_t i = 0; i < count; ++i) {
            std::string s;
            if (!string(s)) return false;
            list.push_back(std::move(s));
        }
        return true;
    }
    // A count beyond the limit is damage: the default layout stays and reading ends.
    bool toolbar(std::vector<std::int32_t>& buttons) {
        std::int32_t count;
        if (!int32(count) || count < 0 || count > kMaxToolbarButtons) return false;
        return int32Array(count, buttons);
    }
    // Any count outside 1…limit means "none" and reading goes on with the next field.
    bool reservedList(std::vector<std::int32_t>& list) {
        std::int32_t count;
        if (!int32(count)) return false;
        if (count < 1 || count > kMaxReservedList) {
            list.clear();
            return true;
        }
        return int32Array(count, list);
    }
    // Any count outside 1…limit leaves the table as it was (the built-in table is used) and
    // reading goes on with the next field.
    bool shortcuts(std::vector<Shortcut>& table) {
        std::int32_t count;
        if (!int32(count)) return false;
        if (count < 1 || count > kMaxShortcuts) return true;
        const auto b = m_in.bytes(static_cast<std::size_t>(count) * 6);
        if (!m_in.ok()) return false;
        std::vector<Shortcut> entries(static_cast<std::size_t>(count));
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const std::uint8_t* p = b.data() + i * 6;
            entries[i].flags = p[0];
            entries[i].pad = p[1];
            entries[i].key = static_cast<std::uint16_t>(p[2] | p[3] << 8);
            entries[i].command = static_cast<std::uint16_t>(p[4] | p[5] << 8);
        }
        table = std::move(entries);
        return true;
    }

private:
    bool u32(std::uint32_t& v) {
        const auto b = m_in.bytes(4);
        if (!m_in.ok()) return false;
        v = base::loadU32le(b.data());
        return true;
    }
    // `count` is already known to be small (at most a few thousand).
    bool int32Array(std::int32_t count, std::vector<std::int32_t>& out) {
        const auto b = m_in.bytes(static_cast<std::size_t>(count) * 4);
        if (!m_in.ok()) return false;
        std::vector<std::int32_t> values(static_cast<std::size_t>(count));
        for (std::size_t i = 0; i < values.size(); ++i)
            values[i] = static_cast<std::int32_t>(base::loadU32le(b.data() + i * 4));
        out = std::move(values);
        return true;
    }

    image::ByteReader m_in;
};

// Writes what the reader accepts: anything longer than the reader's limits is cut to them, so
// one oversized field cannot make the next run lose every field after it.
class FieldWriter {
public:
    std::vector<std::uint8_t> out;

    bool flag(bool f) {
        out.push_back(f ? 1 : 0);
        return true;
    }
    bool int32(std::int32_t v) { return colour(static_cast<std::uint32_t>(v)); }
    bool colour(std::uint32_t v) {
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        return true;
    }
    bool real(double v) {
        const auto bits = std::bit_cast<std::uint64_t>(v);
        for (int i = 0; i < 8; ++i) out.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
        return true;
    }
    bool rect(const Rect& r) {
        return int32(r.left) && int32(r.top) && int32(r.right) && int32(r.bottom);
    }
    template <std::size_t N>
    bool block(const std::array<std::int32_t, N>& values) {
        for (std::int32_t v : values) int32(v);
        return true;
    }
    template <std::size_t N>
    bool flags(const std::array<bool, N>& values) {
        for (bool v : values) flag(v);
        return true;
    }
    template <std::size_t N>
    bool raw(const std::array<std::uint8_t, N>& values) {
        out.insert(out.end(), values.begin(), values.end());
        return true;
    }
    bool string(const std::string& s) {
        const std::size_t n = std::min<std::size_t>(s.size(), kMaxSettingsString);
        int32(static_cast<std::int32_t>(n));
        out.insert(out.end(), s.begin(), s.begin() + static_cast<std::ptrdiff_t>(n));
        return true;
    }
    bool stringList(const std::vector<std::string>& list) {
        const std::size_t n = std::min<std::size_t>(list.size(), kMaxSettingsListCount);
        int32(static_cast<std::int32_t>(n));
        for (std::size_t i = 0; i < n; ++i) string(list[i]);
        return true;
    }
    bool toolbar(const std::vector<std::int32_t>& v) { return int32Array(v, kMaxToolbarButtons); }
    bool reservedList(const std::vector<std::int32_t>& v) {
        return int32Array(v, kMaxReservedList);
    }
    bool shortcuts(const std::vector<Shortcut>& table) {
        const std::size_t n = std::min<std::size_t>(table.size(), kMaxShortcuts);
        int32(static_cast<std::int32_t>(n));
        for (std::size_t i = 0; i < n; ++i) {
            const Shortcut& e = table[i];
            out.push_back(e.flags);
            out.push_back(e.pad);
            out.push_back(static_cast<std::uint8_t>(e.key));
            out.push_back(static_cast<std::uint8_t>(e.key >> 8));
            out.push_back(static_cast<std::uint8_t>(e.command));
            out.push_back(static_cast<std::uint8_t>(e.command >> 8));
        }
        return true;
    }

private:
    bool int32Array(const std::vector<std::int32_t>& values, std::int32_t limit) {
        const std::size_t n = std::min<std::size_t>(values.size(), static_cast<std::size_t>(limit));
        int32(static_cast<std::int32_t>(n));
        for (std::size_t i = 0; i < n; ++i) int32(values[i]);
        return true;
    }
};

}  // namespace

SettingsLoad readSettingsFile(std::span<const std::uint8_t> bytes, Settings& settings) {
    if (bytes.size() < sizeof kMagic || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0) {
        return SettingsLoad::BadMagic;
    }
    settings.firstRun = false;
    FieldReader reader(bytes.subspan(sizeof kMagic));
    return visitStoredFields(settings, reader) ? SettingsLoad::Complete : SettingsLoad::Partial;
}

std::vector<std::uint8_t> writeSettingsFile(const Settings& settings) {
    FieldWriter writer;
    writer.out.assign(std::begin(kMagic), std::end(kMagic));
    visitStoredFields(settings, writer);
    return std::move(writer.out);
}

}  // namespace kalder::app
