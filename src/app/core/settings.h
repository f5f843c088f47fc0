#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kalder::shell {
class RegistryStore;
}

namespace kalder::app {

// A rectangle in screen pixels, stored as four int32 in this order.
struct Rect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    bool operator==(const Rect&) const = default;
};

struct ScreenSize {
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// What the settings need to know about the display. The GUI answers from the primary screen;
// tests and the command-line tool use FixedScreenInfo.
class ScreenInfo {
public:
    virtual ~ScreenInfo() = default;
    // The whole primary screen.
    virtual ScreenSize screenSize() const = 0;
    // The part of the desktop not covered by panels and task bars.
    virtual Rect workArea() const = 0;
    // The height of a horizontal scroll bar, pixels.
    virtual std::int32_t horizontalScrollBarHeight() const = 0;
};

class FixedScreenInfo final : public ScreenInfo {
public:
    FixedScreenInfo(ScreenSize screen, Rect workArea, std::int32_t scrollBarHeight)
        : m_screen(screen), m_workArea(workArea), m_scrollBarHeight(scrollBarHeight) {}
    ScreenSize screenSize() const override { return m_screen; }
    Rect workArea() const override { return m_workArea; }
    std::int32_t horizontalScrollBarHeight() const override { return m_scrollBarHeight; }

private:
    ScreenSize m_screen;
    Rect m_workArea;
    std::int32_t m_scrollBarHeight;
};

// One keyboard shortcut, in the 6-byte layout of an accelerator entry.
struct Shortcut {
    std::uint8_t flags =
        0;  // 0x01 virtual key, 0x02 no menu highlight, 0x04 Shift, 0x08 Ctrl, 0x10 Alt
    std::uint8_t pad = 0;
    std::uint16_t key = 0;
    std::uint16_t command = 0;
    bool operator==(const Shortcut&) const = default;
};

// Show-window codes kept in windowShowCmd.
inline constexpr std::int32_t kShowNormal = 1;
inline constexpr std::int32_t kShowMaximized = 3;
inline constexpr std::int32_t kShowPlain = 5;

// Limits the file format puts on variable-length fields.
inline constexpr std::int32_t kMaxSettingsString = 65535;
inline constexpr std::int32_t kMaxSettingsListCount = 65535;
inline constexpr std::int32_t kMaxToolbarButtons = 256;
inline constexpr std::int32_t kMaxReservedList = 4096;
inline constexpr std::int32_t kMaxShortcuts = 1000;
inline constexpr std::size_t kAssociateFormatCount = 128;
inline constexpr std::size_t kOverlayFontSize = 60;

inline constexpr char kSettingsFileName[] = "Kalder.cfg";
inline constexpr char kCompanionKey[] = "Software\\Brenmoor Software\\Lumidrex";
inline constexpr char kCompanionValue[] = "lumidExePath";
inline constexpr char kCompanionExeName[] = "Lumid.exe";

// Everything SetDefaults and Load need from outside the record.
struct SettingsContext {
    std::filesystem::path filePath;                  // the settings file, see settingsFilePath()
    const ScreenInfo* screen = nullptr;              // required
    std::string currentDirectory;                    // the default for lastFolder
    const shell::RegistryStore* registry = nullptr;  // the companion's path; null = no key
};

// How Load went; the program itself ignores it (loading never reports to the user).
enum class SettingsLoad {
    NoFile,    // missing or unreadable: all defaults, firstRun stays true
    BadMagic,  // not our file: all defaults, firstRun stays true
    Partial,   // the file stopped early or was damaged: the fields before that point were taken
    Complete,  // every field came from the file
};

// How the browser lists the folder's files; stored as its number in Settings::browserView.
// The thumbnail size slider's range, in logical pixels.
inline constexpr std::int32_t kMinThumbnailSize = 48;
inline constexpr std::int32_t kMaxThumbnailSize = 512;

enum class BrowserView : std::int32_t {
    SmallThumbnails = 0,
    BigThumbnails = 1,
    List = 2,
    Details = 3
};

// Which built-in key table the shortcuts start from: ours, or the keys most desktop programs
// share (Ctrl+O, Ctrl+Q, Ctrl+plus...).
enum class KeyScheme : std::int32_t { Standard = 0, Desktop = 1 };

// The one options record. Fields are plain and changed in place by the code that owns them; the
// stored fields are listed in file order (except overlayColorA/B, see below).
struct Settings {
    // Not stored.
    std::string commandLineFile;
    bool printMode = false;
    bool firstRun = true;

    // Main window and general viewing options.
    bool ditherEnabled = true;
    bool squeezeInterpolated = true;
    bool stretchInterpolated = true;
    bool exitWithEsc = true;
    bool exifThumbnails = true;
    bool showProgress = true;
    std::int32_t slideDelay = 3;
    bool slideBackward = false;
    bool slideRepeat = true;
    bool fullScreenViewing = true;
    Rect windowRect;
    std::int32_t windowShowCmd = kShowNormal;
    std::int32_t paneSplitY = 0;
    std::int32_t paneSplitX = 0;
    bool nameBarVisible = false;
    std::string lastFolder;
    std::int32_t fitMode = 3;
    std::int32_t browserView = 0;
    Rect propertiesPanelRect;
    std::vector<std::string> favoriteFolders;
    std::vector<std::string> favoriteLabels;
    std::array<bool, kAssociateFormatCount> associateFormat{};
    bool verifyAssociations = true;
    double gammaRed = 1.0;
    double gammaGreen = 1.0;
    double gammaBlue = 1.0;
    std::vector<std::string> openWithPaths;
    std::vector<std::string> openWithLabels;
    std::vector<std::int32_t> toolbarButtons;  // empty: the default layout
    std::int32_t osdSize = 0;
    std::uint32_t transparencyColor = 0x00FF8080;  // colours are 0x00BBGGRR
    std::uint32_t backgroundColor = 0x00000000;
    std::int32_t minStretchSize = 33;
    bool reservedFlag1 = false;
    bool showTransparency = true;
    std::int32_t defaultResolutionX = 300;
    std::int32_t defaultResolutionY = 300;
    std::string copyMoveFolder;
    std::string batchOutputFolder;

    // Writer and tool options.
    std::array<std::int32_t, 8> batchFormatOptions{2, 3, 0, 2, 0, 0, 0, 0};
    std::array<std::int32_t, 4> bmpOptions{};
    std::array<std::int32_t, 4> gifOptions{};
    std::array<std::int32_t, 8> jpegOptions{75, 0, 0, 0, 1, 0, 0, 0};
    std::array<std::int32_t, 4> pngOptions{};
    double pngGamma = 0.0;
    std::array<std::int32_t, 4> tiffOptions{1, 0, 0, 0};
    std::array<std::int32_t, 4> tgaOptions{};
    std::array<std::int32_t, 8> batchGroupB{0, 0, 1, 1, 0, 0, 0, 0};
    std::array<std::int32_t, 8> batchGroupC{2, 2, 5, 5, 0, 0, 0, 0};
    std::array<std::int32_t, 16> gifCompilerOptions{0, 7, 0, 0, 1};
    std::string jpegTransformFolder;
    bool reservedFlag2 = false;
    std::int32_t sortMode = 0;
    bool rotateExifThumbnails = false;
    bool fileTooltips = true;
    std::array<std::int32_t, 8> psdOptions{0, 1, 0, 0, 0, 0, 0, 0};
    std::string batchComments;
    std::array<std::int32_t, 8> printOptions{-1, -1, 0, 0, 0, 0, 0, 0};
    std::string findText;
    std::array<std::int32_t, 8> findOptions{0, 0, 1, 0, 0, 0, 0, 0};
    std::vector<std::string> mailAddressHistory;
    std::string smtpServer;
    std::int32_t smtpPort = 25;
    std::array<std::string, 4> mailFields;
    bool wallpaperBackground = true;
    std::string companionExePath;
    std::vector<std::int32_t> reservedList;
    bool centerOnLoad = true;
    bool useColorProfiles = false;
    bool useDefaultProfile = true;
    std::string colorProfilePath;
    double gammaExtra = 1.0;
    std::vector<Shortcut> shortcuts;  // empty: the built-in table
    std::array<std::int32_t, 8> controlOptions{0, 0, 1, 0, 0, 0, 0, 0};
    std::int32_t zoomScope = 0;
    bool enhancedLayout = true;
    bool loadProgressively = true;
    bool exifAutoOrient = true;
    std::string customFilter;
    std::int32_t filterMode = 0;
    std::array<std::uint8_t, kOverlayFontSize> overlayFont{};
    std::array<std::int32_t, 8> overlayEffects{1, 50, 3, 5, 0, 0, 0, 0};
    // The file holds overlayColorB first.
    std::uint32_t overlayColorA = 0x00FFFFFF;
    std::uint32_t overlayColorB = 0x00000000;
    bool statusBarFileInfo = false;
    std::int32_t browserScrollBarSize = 0;
    // "Copy Image to Clipboard" copies the frame as fitted to the viewing area instead of the
    // picture at its own size.
    bool copyAtWindowSize = false;
    // Thumbnails shared with other programs through the desktop's thumbnail cache (kept in the
    // store, not in the file: see readStoreOptions).
    bool sharedThumbnailCache = true;
    bool cacheRemovableMedia = false;
    // Kept in the store too: the key table the shortcuts were built from (the stored table holds
    // the user's edits on top of it) and the toolbar's labels under its icons.
    KeyScheme keyScheme = KeyScheme::Standard;
    bool toolbarTextUnderIcons = false;
    // The viewer and name bar take the desktop theme's colours instead of backgroundColor.
    bool themeBackground = true;
    // The browser's thumbnail side in logical pixels (the size slider); 0 keeps the view's own.
    std::int32_t thumbnailSize = 0;
    bool sortDescending = false;
    // The viewer's facts (zoom, size, place, page) over the picture in full screen.
    bool imageInfoOverlay = false;

    Settings() { associateFormat.fill(true); }
    bool operator==(const Settings&) const = default;

    // Every field to its default (the window geometry from the work area, the scroll-bar size
    // from the screen, lastFolder from the current directory, the companion from the registry
    // store) and firstRun = true. The command-line fields are left alone.
    void SetDefaults(const SettingsContext& context);
    // SetDefaults, then the file. Never reports anything to the user.
    SettingsLoad Load(const SettingsContext& context);
    // Writes the whole file through a temporary file; false when that failed (the old file then
    // stays). The program ignores the answer.
    bool Save(const std::filesystem::path& filePath) const;
    // Removes the file; a missing file is not an error.
    static void DeleteFile(const std::filesystem::path& filePath);
};

// Where the settings file lives: "Kalder.cfg" in our configuration folder
// ($XDG_CONFIG_HOME/kalder), or beside the executable for a portable copy (a file "portable" or an
// earlier Kalder.cfg there, or the build tree) when that folder is writable. Never in the
// installation's bindir; a file an earlier version left beside an installed program is copied to
// the configuration folder once. Empty when there is no configuration folder.
std::filesystem::path settingsFilePath(const std::filesystem::path& executableDirectory);

// The file format, apart from the file system. readSettingsFile() fills fields in order from
// `bytes` (after the magic) and stops silently at the first short or invalid field; it does not
// reset to defaults first and does not run the window check.
SettingsLoad readSettingsFile(std::span<const std::uint8_t> bytes, Settings& settings);

// Options the settings file has no field for (its layout is fixed) live in our store under
// `key`: read after the file, written with it.
// The viewer's background: backgroundColor, or none when the desktop theme's colour is wanted.
std::optional<std::uint32_t> viewerBackground(const Settings& settings);

void readStoreOptions(const shell::RegistryStore& store, std::string_view key, Settings& settings);
void writeStoreOptions(shell::RegistryStore& store, std::string_view key, const Settings& settings);
std::vector<std::uint8_t> writeSettingsFile(const Settings& settings);

// Puts rectangles that would leave a window off the screen back on it.
void checkWindowRects(Settings& settings, ScreenSize screen);

// The stored browser view; a number out of range (a damaged or foreign file) reads as the
// nearest view.
BrowserView browserViewOf(const Settings& settings);

}  // namespace kalder::app
