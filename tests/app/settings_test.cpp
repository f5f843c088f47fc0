#include "app/core/settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cstdlib>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>

#include "kalder_config.h"
#include "shell/registry_store.h"
#include "support/test_support.h"

namespace kalder::app {
namespace {
namespace fs = std::filesystem;
using test::Bytes;

const FixedScreenInfo kScreen({1280, 1024}, Rect{0, 0, 1280, 984}, 17);

// The file layout written out by hand, field by field, with the offset where each field ends.
// It is built from a record's values; `overrides` replaces a field's bytes with others.
class Layout {
public:
    struct Checkpoint {
        std::string name;
        std::size_t end;
        std::function<void(Settings&)> apply;  // copies what the file holds up to `end`
    };

    explicit Layout(const Settings& s,
                    std::map<std::string, std::vector<std::uint8_t>> overrides = {})
        : m_s(s), m_overrides(std::move(overrides)) {
        bytes.str("Kal0");
        flag("ditherEnabled", &Settings::ditherEnabled);
        flag("squeezeInterpolated", &Settings::squeezeInterpolated);
        flag("stretchInterpolated", &Settings::stretchInterpolated);
        flag("exitWithEsc", &Settings::exitWithEsc);
        flag("exifThumbnails", &Settings::exifThumbnails);
        flag("showProgress", &Settings::showProgress);
        i32("slideDelay", &Settings::slideDelay);
        flag("slideBackward", &Settings::slideBackward);
        flag("slideRepeat", &Settings::slideRepeat);
        flag("fullScreenViewing", &Settings::fullScreenViewing);
        rect("windowRect", &Settings::windowRect);
        i32("windowShowCmd", &Settings::windowShowCmd);
        i32("paneSplitY", &Settings::paneSplitY);
        i32("paneSplitX", &Settings::paneSplitX);
        flag("nameBarVisible", &Settings::nameBarVisible);
        str("lastFolder", &Settings::lastFolder);
        i32("fitMode", &Settings::fitMode);
        i32("browserView", &Settings::browserView);
        rect("propertiesPanelRect", &Settings::propertiesPanelRect);
        list("favoriteFolders", &Settings::favoriteFolders);
        list("favoriteLabels", &Settings::favoriteLabels);
        field("associateFormat", &Settings::associateFormat, [this](const auto& v) {
            for (bool f : v) bytes.u8(f);
        });
        flag("verifyAssociations", &Settings::verifyAssociations);
        real("gammaRed", &Settings::gammaRed);
        real("gammaGreen", &Settings::gammaGreen);
        real("gammaBlue", &Settings::gammaBlue);
        list("openWithPaths", &Settings::openWithPaths);
        list("openWithLabels", &Settings::openWithLabels);
        ints("toolbarButtons", &Settings::toolbarButtons);
        i32("osdSize", &Settings::osdSize);
        colour("transparencyColor", &Settings::transparencyColor);
        colour("backgroundColor", &Settings::backgroundColor);
        i32("minStretchSize", &Settings::minStretchSize);
        flag("reservedFlag1", &Settings::reservedFlag1);
        flag("showTransparency", &Settings::showTransparency);
        i32("defaultResolutionX", &Settings::defaultResolutionX);
        i32("defaultResolutionY", &Settings::defaultResolutionY);
        str("copyMoveFolder", &Settings::copyMoveFolder);
        str("batchOutputFolder", &Settings::batchOutputFolder);
        block("batchFormatOptions", &Settings::batchFormatOptions);
        block("bmpOptions", &Settings::bmpOptions);
        block("gifOptions", &Settings::gifOptions);
        block("jpegOptions", &Settings::jpegOptions);
        block("pngOptions", &Settings::pngOptions);
        real("pngGamma", &Settings::pngGamma);
        block("tiffOptions", &Settings::tiffOptions);
        block("tgaOptions", &Settings::tgaOptions);
        block("batchGroupB", &Settings::batchGroupB);
        block("batchGroupC", &Settings::batchGroupC);
        block("gifCompilerOptions", &Settings::gifCompilerOptions);
        str("jpegTransformFolder", &Settings::jpegTransformFolder);
        flag("reservedFlag2", &Settings::reservedFlag2);
        i32("sortMode", &Settings::sortMode);
        flag("rotateExifThumbnails", &Settings::rotateExifThumbnails);
        flag("fileTooltips", &Settings::fileTooltips);
        block("psdOptions", &Settings::psdOptions);
        str("batchComments", &Settings::batchComments);
        block("printOptions", &Settings::printOptions);
        str("findText", &Settings::findText);
        block("findOptions", &Settings::findOptions);
        list("mailAddressHistory", &Settings::mailAddressHistory);
        str("smtpServer", &Settings::smtpServer);
        i32("smtpPort", &Settings::smtpPort);
        for (int i = 0; i < 4; ++i) {
            add(
                "mailFields" + std::to_string(i), [this, i] { string(m_s.mailFields[i]); },
                [this, i](Settings& d) { d.mailFields[i] = m_s.mailFields[i]; });
        }
        flag("wallpaperBackground", &Settings::wallpaperBackground);
        str("companionExePath", &Settings::companionExePath);
        ints("reservedList", &Settings::reservedList);
        flag("centerOnLoad", &Settings::centerOnLoad);
        flag("useColorProfiles", &Settings::useColorProfiles);
        flag("useDefaultProfile", &Settings::useDefaultProfile);
        str("colorProfilePath", &Settings::colorProfilePath);
        real("gammaExtra", &Settings::gammaExtra);
        field("shortcuts", &Settings::shortcuts, [this](const auto& table) {
            bytes.u32le(static_cast<std::uint32_t>(table.size()));
            for (const Shortcut& e : table)
                bytes.u8(e.flags).u8(e.pad).u16le(e.key).u16le(e.command);
        });
        block("controlOptions", &Settings::controlOptions);
        i32("zoomScope", &Settings::zoomScope);
        flag("enhancedLayout", &Settings::enhancedLayout);
        flag("loadProgressively", &Settings::loadProgressively);
        flag("exifAutoOrient", &Settings::exifAutoOrient);
        str("customFilter", &Settings::customFilter);
        i32("filterMode", &Settings::filterMode);
        field("overlayFont", &Settings::overlayFont, [this](const auto& v) {
            for (std::uint8_t b : v) bytes.u8(b);
        });
        block("overlayEffects", &Settings::overlayEffects);
        colour("overlayColorB", &Settings::overlayColorB);
        colour("overlayColorA", &Settings::overlayColorA);
        flag("statusBarFileInfo", &Settings::statusBarFileInfo);
        i32("browserScrollBarSize", &Settings::browserScrollBarSize);
        flag("copyAtWindowSize", &Settings::copyAtWindowSize);
    }

    const Checkpoint& at(const std::string& name) const {
        for (const Checkpoint& c : checkpoints) {
            if (c.name == name) return c;
        }
        throw std::out_of_range(name);
    }
    // The field whose bytes include `offset`.
    std::string fieldAt(std::size_t offset) const {
        for (const Checkpoint& c : checkpoints) {
            if (offset < c.end) return c.name;
        }
        return "(after the last field)";
    }

    Bytes bytes;
    std::vector<Checkpoint> checkpoints;

private:
    void add(const std::string& name, const std::function<void()>& encode,
             std::function<void(Settings&)> apply) {
        if (auto it = m_overrides.find(name); it != m_overrides.end()) {
            bytes.append(it->second);
            checkpoints.push_back({name, bytes.size(), [](Settings&) {}});
            return;
        }
        encode();
        checkpoints.push_back({name, bytes.size(), std::move(apply)});
    }
    template <typename T, typename Encode>
    void field(const std::string& name, T Settings::*m, Encode encode) {
        add(
            name, [this, m, encode] { encode(m_s.*m); }, [this, m](Settings& d) { d.*m = m_s.*m; });
    }
    void string(const std::string& s) { bytes.u32le(static_cast<std::uint32_t>(s.size())).str(s); }
    void flag(const char* n, bool Settings::*m) {
        field(n, m, [this](bool v) { bytes.u8(v ? 1 : 0); });
    }
    void i32(const char* n, std::int32_t Settings::*m) {
        field(n, m, [this](std::int32_t v) { bytes.u32le(static_cast<std::uint32_t>(v)); });
    }
    void colour(const char* n, std::uint32_t Settings::*m) {
        field(n, m, [this](std::uint32_t v) { bytes.u32le(v); });
    }
    void real(const char* n, double Settings::*m) {
        field(n, m, [this](double v) {
            const auto bits = std::bit_cast<std::uint64_t>(v);
            bytes.u32le(static_cast<std::uint32_t>(bits))
                .u32le(static_cast<std::uint32_t>(bits >> 32));
        });
    }
    void rect(const char* n, Rect Settings::*m) {
        field(n, m, [this](const Rect& r) {
            for (std::int32_t v : {r.left, r.top, r.right, r.bottom})
                bytes.u32le(static_cast<std::uint32_t>(v));
        });
    }
    template <std::size_t N>
    void block(const char* n, std::array<std::int32_t, N> Settings::*m) {
        field(n, m, [this](const auto& values) {
            for (std::int32_t v : values) bytes.u32le(static_cast<std::uint32_t>(v));
        });
    }
    void str(const char* n, std::string Settings::*m) {
        field(n, m, [this](const std::string& s) { string(s); });
    }
    void ints(const char* n, std::vector<std::int32_t> Settings::*m) {
        field(n, m, [this](const auto& values) {
            bytes.u32le(static_cast<std::uint32_t>(values.size()));
            for (std::int32_t v : values) bytes.u32le(static_cast<std::uint32_t>(v));
        });
    }
    // A list is emptied once its count is read, then grows string by string.
    void list(const std::string& n, std::vector<std::string> Settings::*m) {
        const auto& values = m_s.*m;
        if (m_overrides.count(n))
            return add(
                n, [] {}, [](Settings&) {});
        add(
            n + "#count", [&] { bytes.u32le(static_cast<std::uint32_t>(values.size())); },
            [m](Settings& d) { (d.*m).clear(); });
        for (std::size_t i = 0; i < values.size(); ++i) {
            add(
                n + "[" + std::to_string(i) + "]", [&, i] { string(values[i]); },
                [this, m, i](Settings& d) {
                    d.*m = {(m_s.*m).begin(), (m_s.*m).begin() + i + 1};
                });
        }
    }

    const Settings& m_s;
    std::map<std::string, std::vector<std::uint8_t>> m_overrides;
};

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("HOME", (m_dir / "home").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (m_dir / "config").c_str(), 1);
        m_context = SettingsContext{m_dir / "Kalder.cfg", &kScreen, "/home/ann/pictures", nullptr};
    }

    Settings defaults() const {
        Settings s;
        s.SetDefaults(m_context);
        return s;
    }

    // Every stored field away from its default, rectangles on the test screen.
    static Settings full() {
        Settings s;
        s.firstRun = false;
        s.ditherEnabled = s.squeezeInterpolated = s.stretchInterpolated = false;
        s.exitWithEsc = s.exifThumbnails = s.showProgress = false;
        s.slideDelay = 7;
        s.slideBackward = true;
        s.slideRepeat = s.fullScreenViewing = false;
        s.windowRect = {10, 20, 900, 700};
        s.windowShowCmd = kShowMaximized;
        s.paneSplitY = 211;
        s.paneSplitX = -3;
        s.nameBarVisible = true;
        s.lastFolder = "/data/Ferien 2003";
        s.fitMode = 4;
        s.browserView = 2;
        s.propertiesPanelRect = {300, 40, 600, 900};
        s.favoriteFolders = {"/a", "/b c", ""};
        s.favoriteLabels = {"A", "B"};
        for (std::size_t i = 0; i < s.associateFormat.size(); i += 3) s.associateFormat[i] = false;
        s.verifyAssociations = false;
        s.gammaRed = 1.8;
        s.gammaGreen = 0.45;
        s.gammaBlue = -2.5e-300;
        s.openWithPaths = {"/usr/bin/gimp"};
        s.openWithLabels = {"GIMP", "extra"};
        s.toolbarButtons = {3, -1, 0, 27};
        s.osdSize = -1;
        s.transparencyColor = 0x00123456;
        s.backgroundColor = 0xFFFFFFFF;
        s.minStretchSize = 64;
        s.reservedFlag1 = true;
        s.showTransparency = false;
        s.defaultResolutionX = 72;
        s.defaultResolutionY = 96;
        s.copyMoveFolder = "/copy";
        s.batchOutputFolder = "/out";
        s.batchFormatOptions = {9, 8, 7, 6, 5, 4, 3, 2};
        s.bmpOptions = {1, 2, 3, 4};
        s.gifOptions = {1, 0, 0, -4};
        s.jpegOptions = {90, 1, 2, 3, 0, 5, 6, 7};
        s.pngOptions = {1, 1, 1, 1};
        s.pngGamma = 2.2;
        s.tiffOptions = {3, 0, 0, 9};
        s.tgaOptions = {1, 0, 5, 0};
        s.batchGroupB = {1, 1, 0, 0, 1, 1, 1, 1};
        s.batchGroupC = {0, 0, 0, 0, 9, 9, 9, 9};
        s.gifCompilerOptions = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
        s.jpegTransformFolder = "/jpeg";
        s.reservedFlag2 = true;
        s.sortMode = 3;
        s.rotateExifThumbnails = true;
        s.fileTooltips = false;
        s.psdOptions = {1, 0, 1, 0, 1, 0, 1, 0};
        s.batchComments = "line\r\nbreak";
        s.printOptions = {600, 300, 1, 2, 3, 4, 5, 6};
        s.findText = "Katze";
        s.findOptions = {1, 1, 0, 1, 0, 0, 0, 1};
        s.mailAddressHistory = {"a@example.org", "b@example.org"};
        s.smtpServer = "mail.example.org";
        s.smtpPort = 587;
        s.mailFields = {"From", "Subject", "", "Body"};
        s.wallpaperBackground = false;
        s.companionExePath = "/opt/lumid/Lumid.exe";
        s.reservedList = {5, -6};
        s.centerOnLoad = false;
        s.useColorProfiles = true;
        s.useDefaultProfile = false;
        s.colorProfilePath = "/usr/share/color/icc/sRGB.icc";
        s.gammaExtra = 0.5;
        s.shortcuts = {{0x0b, 0x00, 0x43, 57634}, {0x03, 0xff, 0x71, 900}};
        s.controlOptions = {1, 2, 0, 1, 0, 0, 0, 0};
        s.zoomScope = 2;
        s.enhancedLayout = s.loadProgressively = s.exifAutoOrient = false;
        s.customFilter = "*.png;*.gif";
        s.filterMode = 3;
        for (std::size_t i = 0; i < s.overlayFont.size(); ++i)
            s.overlayFont[i] = static_cast<std::uint8_t>(i * 7 + 1);
        s.overlayEffects = {2, 100, 10000, 10000, 0, 0, 0, 1};
        s.overlayColorB = 0x000000FF;
        s.overlayColorA = 0x0000FF00;
        s.statusBarFileInfo = true;
        s.browserScrollBarSize = 23;
        return s;
    }

    SettingsLoad loadBytes(const std::vector<std::uint8_t>& bytes, Settings& out) {
        test::writeFile(m_context.filePath, bytes);
        return out.Load(m_context);
    }

    // Names the first field where two records differ, by their hand-made layouts.
    static std::string describeDifference(const Settings& a, const Settings& b) {
        const Layout la(a);
        const Layout lb(b);
        const auto& x = la.bytes.data;
        const auto& y = lb.bytes.data;
        std::size_t i = 0;
        while (i < x.size() && i < y.size() && x[i] == y[i]) ++i;
        if (i == x.size() && i == y.size())
            return "no stored field differs (check firstRun/commandLine)";
        return "first difference in " + la.fieldAt(i);
    }

    test::TempDir m_dir;
    SettingsContext m_context;
};

#define EXPECT_SAME_SETTINGS(a, b) EXPECT_TRUE((a) == (b)) << describeDifference((a), (b))

TEST_F(SettingsTest, DefaultsFollowTheWorkAreaAndScreen) {
    const FixedScreenInfo offset({1920, 1080}, Rect{64, 27, 1920, 1080}, 15);
    SettingsContext context = m_context;
    context.screen = &offset;
    Settings s;
    s.SetDefaults(context);
    // Work area 1856 × 1053: an eighth is 232 × 131, a quarter 464 × 263.
    EXPECT_EQ(s.windowRect, (Rect{296, 158, 1688, 949}));
    EXPECT_EQ(s.windowShowCmd, kShowNormal);
    EXPECT_EQ(s.paneSplitY, (791 / 5) * 2);
    EXPECT_EQ(s.paneSplitX, 1392 / 3);
    EXPECT_EQ(s.propertiesPanelRect, (Rect{528, 290, 1456, 817}));
    EXPECT_EQ(s.browserScrollBarSize, 15);
    EXPECT_EQ(s.lastFolder, "/home/ann/pictures");
    EXPECT_TRUE(s.firstRun);
}

TEST_F(SettingsTest, SetDefaultsResetsEverythingButTheCommandLine) {
    Settings s = full();
    s.commandLineFile = "/tmp/a.png";
    s.printMode = true;
    s.companionExePath.clear();
    s.SetDefaults(m_context);
    Settings expected = defaults();
    expected.commandLineFile = "/tmp/a.png";
    expected.printMode = true;
    EXPECT_SAME_SETTINGS(s, expected);
}

// The writer against the hand-made layout, for the defaults and for a record with every field
// changed; the fixed prefix sits where older files have it.
TEST_F(SettingsTest, WritesTheDocumentedLayout) {
    for (const Settings& s : {defaults(), full()}) {
        const Layout layout(s);
        const std::vector<std::uint8_t> written = writeSettingsFile(s);
        std::size_t i = 0;
        while (i < written.size() && i < layout.bytes.size() && written[i] == layout.bytes.data[i])
            ++i;
        EXPECT_EQ(written.size(), layout.bytes.size());
        EXPECT_EQ(i, written.size()) << "first difference in " << layout.fieldAt(i);
    }
    const Layout layout(defaults());
    EXPECT_EQ(layout.at("showProgress").end, 10u);
    EXPECT_EQ(layout.at("slideDelay").end, 14u);
    EXPECT_EQ(layout.at("fullScreenViewing").end, 17u);
    EXPECT_EQ(layout.at("windowRect").end, 33u);
    EXPECT_EQ(layout.at("paneSplitX").end, 45u);
    EXPECT_EQ(layout.at("nameBarVisible").end, 46u);
    EXPECT_EQ(layout.checkpoints.size(), 90u);  // every list empty: one checkpoint per field
}

TEST_F(SettingsTest, RoundTripKeepsEveryField) {
    const Settings original = full();
    ASSERT_TRUE(original.Save(m_context.filePath));
    Settings loaded;
    EXPECT_EQ(loaded.Load(m_context), SettingsLoad::Complete);
    EXPECT_SAME_SETTINGS(loaded, original);

    // And the defaults survive as defaults, apart from the first-run flag.
    ASSERT_TRUE(defaults().Save(m_context.filePath));
    EXPECT_EQ(loaded.Load(m_context), SettingsLoad::Complete);
    Settings expected = defaults();
    expected.firstRun = false;
    EXPECT_SAME_SETTINGS(loaded, expected);
}

// Cut a complete file after every byte: the fields that ended before the cut come from the
// file, the rest keep their defaults; a list keeps the strings it read whole.
TEST_F(SettingsTest, TruncatedFileKeepsWhatWasReadWhole) {
    const Settings source = full();
    const Layout layout(source);
    const auto& bytes = layout.bytes.data;
    for (std::size_t cut = 0; cut <= bytes.size(); ++cut) {
        Settings expected = defaults();
        if (cut >= 4) expected.firstRun = false;
        for (const auto& c : layout.checkpoints) {
            if (c.end <= cut) c.apply(expected);
        }
        // Through a real file now and then; through the parser (as Load uses it) otherwise,
        // which keeps the test quick on a busy disk.
        Settings loaded;
        SettingsLoad result;
        const std::vector<std::uint8_t> head(bytes.begin(), bytes.begin() + cut);
        if (cut % 97 == 0 || cut + 1 >= bytes.size()) {
            result = loadBytes(head, loaded);
        } else {
            loaded = defaults();
            result = readSettingsFile(head, loaded);
            checkWindowRects(loaded, kScreen.screenSize());
        }
        EXPECT_EQ(result, cut < 4               ? SettingsLoad::BadMagic
                          : cut == bytes.size() ? SettingsLoad::Complete
                                                : SettingsLoad::Partial)
            << "cut " << cut;
        ASSERT_TRUE(loaded == expected) << "cut at " << cut << " in " << layout.fieldAt(cut) << ": "
                                        << describeDifference(loaded, expected);
    }
}

TEST_F(SettingsTest, MagicMustMatchExactly) {
    const Layout layout(full());
    for (std::size_t i = 0; i < 4; ++i) {
        for (std::uint8_t delta : {1, 0x20, 0x80}) {
            auto bytes = layout.bytes.data;
            bytes[i] ^= delta;
            Settings loaded;
            EXPECT_EQ(loadBytes(bytes, loaded), SettingsLoad::BadMagic);
            EXPECT_SAME_SETTINGS(loaded, defaults());
        }
    }
    Settings loaded;
    EXPECT_EQ(loadBytes({'K', 'a', 'l', '0'}, loaded), SettingsLoad::Partial);
    EXPECT_FALSE(loaded.firstRun);
}

TEST_F(SettingsTest, AnyNonZeroByteIsTrue) {
    const Layout layout(defaults());
    const std::size_t at = layout.at("slideBackward").end - 1;
    auto bytes = layout.bytes.data;
    bytes[at] = 0x80;
    Settings loaded;
    loadBytes(bytes, loaded);
    EXPECT_TRUE(loaded.slideBackward);
    EXPECT_EQ(writeSettingsFile(loaded)[at], 1);
}

struct HostileCase {
    const char* name;
    const char* field;
    std::function<std::vector<std::uint8_t>()> bytes;
    // nullopt: reading stops at this field. Otherwise the field's value after reading, and
    // reading goes on with the bytes after the override.
    std::function<void(Settings&)> expected;
    bool endsFile = false;  // the file ends right after these bytes
};

void PrintTo(const HostileCase& c, std::ostream* os) { *os << c.name; }

std::vector<std::uint8_t> countThen(std::int32_t count, std::size_t elementBytes,
                                    std::uint8_t fill = 0x11) {
    Bytes b;
    b.u32le(static_cast<std::uint32_t>(count)).fill(elementBytes, fill);
    return b.data;
}

class HostileCountTest : public SettingsTest, public ::testing::WithParamInterface<HostileCase> {};

TEST_P(HostileCountTest, StopsOrContinuesAsTheFormatSays) {
    const HostileCase& c = GetParam();
    const Settings source = full();
    const Layout layout(source, {{c.field, c.bytes()}});
    Settings expected;
    if (c.expected) {
        expected = source;
        c.expected(expected);
    } else {
        expected = defaults();
        expected.firstRun = false;
        for (const auto& cp : layout.checkpoints) {
            if (cp.name == c.field) break;
            cp.apply(expected);
        }
    }
    auto bytes = layout.bytes.data;
    if (c.endsFile) bytes.resize(layout.at(c.field).end);
    Settings loaded;
    const SettingsLoad result = loadBytes(bytes, loaded);
    EXPECT_EQ(result, c.expected ? SettingsLoad::Complete : SettingsLoad::Partial);
    EXPECT_SAME_SETTINGS(loaded, expected);
}

const std::string kLongest(65535, 'x');

INSTANTIATE_TEST_SUITE_P(
    Table, HostileCountTest,
    ::testing::Values(
        HostileCase{"ToolbarZero", "toolbarButtons", [] { return countThen(0, 0); },
                    [](Settings& s) { s.toolbarButtons.clear(); }},
        HostileCase{"ToolbarAtLimit", "toolbarButtons", [] { return countThen(256, 256 * 4, 0); },
                    [](Settings& s) { s.toolbarButtons.assign(256, 0); }},
        HostileCase{"Toolbar257", "toolbarButtons", [] { return countThen(257, 257 * 4); },
                    nullptr},
        HostileCase{"ToolbarNegative", "toolbarButtons", [] { return countThen(-1, 0); }, nullptr},
        HostileCase{"ToolbarHuge", "toolbarButtons", [] { return countThen(0x7fffffff, 0); },
                    nullptr},
        HostileCase{"ToolbarShort", "toolbarButtons", [] { return countThen(200, 12); }, nullptr,
                    true},
        HostileCase{"ReservedAtLimit", "reservedList", [] { return countThen(4096, 4096 * 4, 0); },
                    [](Settings& s) { s.reservedList.assign(4096, 0); }},
        HostileCase{"Reserved4097", "reservedList", [] { return countThen(4097, 0); },
                    [](Settings& s) { s.reservedList.clear(); }},
        HostileCase{"ReservedNegative", "reservedList", [] { return countThen(-7, 0); },
                    [](Settings& s) { s.reservedList.clear(); }},
        HostileCase{"ShortcutsZero", "shortcuts", [] { return countThen(0, 0); },
                    [](Settings& s) { s.shortcuts.clear(); }},
        HostileCase{"Shortcuts1001", "shortcuts", [] { return countThen(1001, 0); },
                    [](Settings& s) { s.shortcuts.clear(); }},
        HostileCase{"ShortcutsNegative", "shortcuts", [] { return countThen(-1, 0); },
                    [](Settings& s) { s.shortcuts.clear(); }},
        HostileCase{"ShortcutsAtLimit", "shortcuts", [] { return countThen(1000, 6000, 0x22); },
                    [](Settings& s) {
                        s.shortcuts.assign(1000, Shortcut{0x22, 0x22, 0x2222, 0x2222});
                    }},
        HostileCase{"ShortcutsShort", "shortcuts", [] { return countThen(1000, 5999); }, nullptr,
                    true},
        HostileCase{"StringLongest", "lastFolder", [] { return countThen(65535, 65535, 'x'); },
                    [](Settings& s) { s.lastFolder = kLongest; }},
        HostileCase{"StringTooLong", "lastFolder", [] { return countThen(65536, 65536, 'x'); },
                    nullptr},
        HostileCase{"StringNegative", "companionExePath", [] { return countThen(-1, 0); }, nullptr},
        HostileCase{"StringShort", "findText", [] { return countThen(10, 9); }, nullptr, true},
        HostileCase{"ListShort", "favoriteLabels", [] { return countThen(3, 4 + 2); }, nullptr,
                    true},
        HostileCase{"ListNegative", "favoriteFolders", [] { return countThen(-1, 0); }, nullptr},
        HostileCase{"ListTooLong", "mailAddressHistory",
                    [] { return countThen(65536, 65536 * 4, 0); }, nullptr},
        HostileCase{"ListLongest", "openWithLabels", [] { return countThen(65535, 65535 * 4, 0); },
                    [](Settings& s) { s.openWithLabels.assign(65535, ""); }}),
    [](const auto& info) { return std::string(info.param.name); });

// What the reader would refuse is cut to fit, so the fields after it still load.
TEST_F(SettingsTest, OversizedFieldsAreWrittenWithinTheReadersLimits) {
    Settings s = full();
    s.lastFolder.assign(70000, 'a');
    s.favoriteLabels.assign(65536, "l");
    s.toolbarButtons.assign(300, 4);
    s.reservedList.assign(5000, 5);
    s.shortcuts.assign(1200, Shortcut{1, 0, 2, 3});
    ASSERT_TRUE(s.Save(m_context.filePath));
    Settings loaded;
    EXPECT_EQ(loaded.Load(m_context), SettingsLoad::Complete);
    EXPECT_EQ(loaded.lastFolder, std::string(65535, 'a'));
    EXPECT_EQ(loaded.favoriteLabels.size(), 65535u);
    EXPECT_EQ(loaded.toolbarButtons.size(), 256u);
    EXPECT_EQ(loaded.reservedList.size(), 4096u);
    EXPECT_EQ(loaded.shortcuts.size(), 1000u);
    EXPECT_EQ(loaded.browserScrollBarSize, s.browserScrollBarSize);
}

struct RectCase {
    const char* name;
    Rect rect;
    bool reset;
};

void PrintTo(const RectCase& c, std::ostream* os) { *os << c.name; }

class WindowRectTest : public SettingsTest, public ::testing::WithParamInterface<RectCase> {};

// Screen 1280 × 1024.
TEST_P(WindowRectTest, OffScreenRectanglesComeBack) {
    const RectCase& c = GetParam();
    Settings s = full();
    s.windowRect = c.rect;
    s.propertiesPanelRect = c.rect;
    ASSERT_TRUE(s.Save(m_context.filePath));
    Settings loaded;
    loaded.Load(m_context);
    if (c.reset) {
        EXPECT_EQ(loaded.windowRect, (Rect{160, 128, 1120, 896}));
        EXPECT_EQ(loaded.windowShowCmd, kShowPlain);
        EXPECT_EQ(loaded.propertiesPanelRect, (Rect{320, 256, 960, 768}));
    } else {
        EXPECT_EQ(loaded.windowRect, c.rect);
        EXPECT_EQ(loaded.windowShowCmd, kShowMaximized);
        EXPECT_EQ(loaded.propertiesPanelRect, c.rect);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, WindowRectTest,
                         ::testing::Values(RectCase{"Inside", {0, 0, 1280, 1024}, false},
                                           RectCase{"LeftAtLimit", {1260, 0, 1500, 500}, true},
                                           RectCase{"LeftJustInside", {1259, 0, 1500, 500}, false},
                                           RectCase{"TopNegative", {0, -1, 500, 500}, true},
                                           RectCase{"TopAtLimit", {0, 1004, 500, 1100}, true},
                                           RectCase{"TopJustInside", {0, 1003, 500, 1100}, false},
                                           RectCase{"RightTooFarLeft", {-500, 0, 19, 500}, true},
                                           RectCase{"RightJustInside", {-500, 0, 20, 500}, false},
                                           RectCase{"Inverted", {900, 700, 10, 20}, true},
                                           RectCase{"Empty", {100, 100, 100, 500}, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsTest, WindowCheckRunsOnlyWhenTheFileOpened) {
    // A work area off to the right of a small screen makes the default rectangle "off screen".
    const FixedScreenInfo odd({640, 480}, Rect{1000, 0, 1800, 800}, 17);
    m_context.screen = &odd;
    Settings missing;
    EXPECT_EQ(missing.Load(m_context), SettingsLoad::NoFile);
    EXPECT_EQ(missing.windowRect, (Rect{1100, 100, 1700, 700}));
    EXPECT_TRUE(missing.firstRun);

    Settings badMagic;
    EXPECT_EQ(loadBytes({'k', 'a', 'l', '0'}, badMagic), SettingsLoad::BadMagic);
    EXPECT_EQ(badMagic.windowRect, (Rect{80, 60, 560, 420}));
    EXPECT_EQ(badMagic.windowShowCmd, kShowPlain);
    EXPECT_TRUE(badMagic.firstRun);
}

TEST_F(SettingsTest, SomethingOtherThanAFileIsNoFile) {
    ASSERT_EQ(::mkfifo(m_context.filePath.c_str(), 0600), 0);
    Settings s;
    EXPECT_EQ(s.Load(m_context), SettingsLoad::NoFile);  // and does not hang
    fs::remove(m_context.filePath);
    fs::create_directory(m_context.filePath);
    EXPECT_EQ(s.Load(m_context), SettingsLoad::NoFile);
    EXPECT_FALSE(s.Save(m_context.filePath));
    EXPECT_TRUE(fs::is_directory(m_context.filePath));
}

TEST_F(SettingsTest, FailedSaveKeepsTheOldFile) {
    // A file where the folder should be makes the save fail for anyone, root included.
    test::writeFile(m_dir / "blocker", {1});
    EXPECT_FALSE(defaults().Save(m_dir / "blocker" / "Kalder.cfg"));

    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes to read-only folders; the rest needs a normal user";
    const fs::path folder = m_dir / "locked";
    fs::create_directory(folder);
    ASSERT_TRUE(full().Save(folder / "Kalder.cfg"));
    const auto before = test::readFile(folder / "Kalder.cfg");
    ::chmod(folder.c_str(), 0555);
    EXPECT_FALSE(defaults().Save(folder / "Kalder.cfg"));
    ::chmod(folder.c_str(), 0755);
    EXPECT_EQ(test::readFile(folder / "Kalder.cfg"), before);
}

TEST_F(SettingsTest, DeleteFileRemovesTheFileAndIgnoresAMissingOne) {
    ASSERT_TRUE(full().Save(m_context.filePath));
    Settings::DeleteFile(m_context.filePath);
    EXPECT_FALSE(fs::exists(m_context.filePath));
    Settings::DeleteFile(m_context.filePath);
}

struct CompanionCase {
    const char* name;
    std::optional<std::string> value;  // nullopt: the key without the value
    bool keyExists;
    std::string expected;
};

void PrintTo(const CompanionCase& c, std::ostream* os) { *os << c.name; }

class CompanionPathTest : public SettingsTest,
                          public ::testing::WithParamInterface<CompanionCase> {};

TEST_P(CompanionPathTest, ComesFromTheRegistryStore) {
    const CompanionCase& c = GetParam();
    shell::RegistryStore registry;
    if (c.keyExists) registry.createKey(kCompanionKey);
    if (c.value) registry.setValue(kCompanionKey, kCompanionValue, *c.value);
    m_context.registry = &registry;
    Settings s;
    s.companionExePath = "previous";
    s.SetDefaults(m_context);
    EXPECT_EQ(s.companionExePath, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CompanionPathTest,
    ::testing::Values(CompanionCase{"NoKey", std::nullopt, false, "previous"},
                      CompanionCase{"KeyWithoutValue", std::nullopt, true, ""},
                      CompanionCase{"Folder", "/opt/lumid", true, "/opt/lumid/Lumid.exe"},
                      CompanionCase{"FolderWithSlash", "/opt/lumid/", true, "/opt/lumid/Lumid.exe"},
                      CompanionCase{"EmptyValue", "", true, "Lumid.exe"}),
    [](const auto& info) { return std::string(info.param.name); });

// An installed program keeps its settings in the configuration folder; only a portable copy (a
// marker, an earlier file, or the build tree beside it) keeps them beside the executable.
TEST_F(SettingsTest, FileLivesInTheConfigFolderUnlessTheCopyIsPortable) {
    auto writeText = [](const fs::path& p, std::string_view text) {
        test::writeFile(p, std::vector<std::uint8_t>(text.begin(), text.end()));
    };
    auto readText = [](const fs::path& p) {
        const std::vector<std::uint8_t> bytes = test::readFile(p);
        return std::string(bytes.begin(), bytes.end());
    };
    const fs::path inConfig = m_dir / "config" / "kalder" / "Kalder.cfg";
    auto folderWith = [&](const std::string& name, const char* marker) {
        const fs::path folder = m_dir / name;
        fs::create_directories(folder);
        if (marker) writeText(folder / marker, "x");
        return folder;
    };
    EXPECT_EQ(settingsFilePath(folderWith("plain", nullptr)), inConfig);
    EXPECT_EQ(settingsFilePath(m_dir / "missing"), inConfig);
    for (const char* marker : {"portable", "Kalder.cfg", "CMakeCache.txt"}) {
        const fs::path folder = folderWith(marker, marker);
        EXPECT_EQ(settingsFilePath(folder), folder / "Kalder.cfg") << marker;
    }
    const fs::path saved = fs::current_path();
    fs::current_path(folderWith("current", nullptr));
    EXPECT_EQ(settingsFilePath(""), inConfig);
    fs::current_path(saved);

    // The bin folder of an installation tree: a file an earlier version wrote there is read
    // from the configuration folder from now on and never written again beside the program.
    const fs::path bin = folderWith("usr/bin", "Kalder.cfg");
    fs::create_directories(m_dir / "usr" / config::kLibDir / "kalder");
    writeText(bin / "Kalder.cfg", "earlier");
    EXPECT_EQ(settingsFilePath(bin), inConfig);
    EXPECT_EQ(readText(inConfig), "earlier");
    writeText(inConfig, "newer");
    EXPECT_EQ(settingsFilePath(bin), inConfig);
    EXPECT_EQ(readText(inConfig), "newer");
    EXPECT_EQ(readText(bin / "Kalder.cfg"), "earlier");
}

TEST_F(SettingsTest, ReadOnlyExecutableFolderFallsBackToTheConfigFolder) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root may write to read-only folders; covered by the missing-folder case";
    const fs::path folder = m_dir / "bin";
    fs::create_directory(folder);
    test::writeFile(folder / "portable", {});
    ::chmod(folder.c_str(), 0555);
    const fs::path path = settingsFilePath(folder);
    ::chmod(folder.c_str(), 0755);
    EXPECT_EQ(path, m_dir / "config" / "kalder" / "Kalder.cfg");
}

TEST_F(SettingsTest, SaveCreatesTheConfigFolder) {
    const fs::path path = settingsFilePath(m_dir / "missing");
    ASSERT_TRUE(full().Save(path));
    m_context.filePath = path;
    Settings loaded;
    EXPECT_EQ(loaded.Load(m_context), SettingsLoad::Complete);
    EXPECT_EQ(fs::directory_entry(path.parent_path()).is_directory(), true);
}

}  // namespace
}  // namespace kalder::app
