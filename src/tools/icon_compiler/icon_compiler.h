#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/translatable.h"
#include "image/load_options.h"
#include "tools/tool_host.h"

namespace kalder::image {
class CancelSink;
class ImageDocument;
struct ImagePage;
}  // namespace kalder::image

namespace kalder::tools {

// The largest side an icon page may have; pages are square.
inline constexpr std::int32_t kMaxIconSide = 256;
// The sides desktops look for, made from one large picture.
inline constexpr std::int32_t kStandardIconSizes[] = {16, 24, 32, 48, 64, 128, 256};

// One selected file with all its pages, or one picture made from a file at another size.
struct IconSource {
    std::filesystem::path path;
    std::unique_ptr<image::ImageDocument> document;
    std::unique_ptr<image::ImagePage> made;  // set: the one page, scaled from the document's
    std::int32_t pageCount = 0;
    std::int32_t bitDepth = 0;  // of the first page: 1..8 with a palette, else 24 or 32
    bool hasAlpha = false;      // the first page carries an opacity of its own
    // Whether it may serve as a mask (one page, black-and-white or grayscale), and whether it
    // is a grayscale one, whose values become an alpha channel.
    bool canBeMask = false;
    bool grayMask = false;

    IconSource();
    ~IconSource();
    IconSource(IconSource&&) noexcept;
    IconSource& operator=(IconSource&&) noexcept;
    const image::ImagePage& page(std::int32_t index) const;
};

enum class IconMaskKind : std::int32_t { None = 0, Image = 1, Colour = 2 };
enum class IconOutputType { Icon, Cursor, AnimatedCursor };

// ".ico", ".cur" or ".ani" (any case), or nullopt.
std::optional<IconOutputType> iconOutputTypeFor(const std::filesystem::path& path);

// One row of the "Pages:" list.
struct IconPage {
    static constexpr std::int32_t kWholeSource = -1;

    std::int32_t source = 0;
    std::int32_t page = kWholeSource;  // a page of the source, or the whole multi-page source
    std::string name;
    IconMaskKind maskKind = IconMaskKind::None;
    std::int32_t maskSource = -1;               // IconMaskKind::Image
    std::uint8_t red = 0, green = 0, blue = 0;  // IconMaskKind::Colour
    std::int32_t hotSpotX = 0;
    std::int32_t hotSpotY = 0;
    std::uint32_t delay = 50;  // hundredths of a second
    bool hotSpotSet = false;   // shown in the list once the user gave one
    bool delaySet = false;

    bool wholeSource() const { return page == kWholeSource; }
};

// One picture of the animation preview and of the compiled file.
struct IconFrame {
    std::int32_t row = 0;  // into pages()
    std::int32_t source = 0;
    std::int32_t page = 0;
    std::uint32_t delay = 0;
};

// Asked before a colour or image mask replaces the pages' masks; the command line answers it
// by asking for a mask.
inline constexpr char kIconSetMaskQuestion[] =
    QT_TRANSLATE_NOOP("Messages", "Do you want to set new mask for image(s)?");

// The questions only this tool asks, beside its host's yes/no ones.
class IconQuestions {
public:
    virtual ~IconQuestions() = default;
    // The colour dialog, starting at `colour` (0x00BBGGRR); false when cancelled.
    virtual bool chooseColour(image::ColorRef& colour) = 0;
    // "Set Hot Spot" and "Set Delay", starting at the current values; false when cancelled.
    virtual bool askHotSpot(std::int32_t& x, std::int32_t& y) = 0;
    virtual bool askDelay(std::uint32_t& delay) = 0;
};

// The icon/cursor compiler's state: the sources and the page list, edited by the dialog's
// buttons, then compiled into one .ico, .cur or .ani file. Page selections are row indexes.
class IconCompiler {
public:
    // The button flows are short and wait for the user: both are called on the calling thread.
    IconCompiler(ToolHost& host, IconQuestions& questions);
    ~IconCompiler();

    // Loads every file with all its pages. False, after telling the host, when a file cannot be
    // loaded or a page has a size icons do not take; then the tool does not open.
    bool open(const std::vector<std::filesystem::path>& files,
              const image::CancelSink* cancel = nullptr);
    // Opens one square picture of any size and makes a source of each side in `sizes` from it,
    // smallest first. A side larger than the picture is left out when `skipLarger` is set and
    // refused otherwise: pictures are only ever made smaller. False after telling the host.
    bool openResized(const std::filesystem::path& file, std::vector<std::int32_t> sizes,
                     bool skipLarger, const image::CancelSink* cancel = nullptr);

    // Adds a source of each standard side below the side of `source`'s first page (which must
    // be square), made from it; returns their indexes, smallest first. None when the picture is
    // not larger than 16 pixels; an error to the host when it is not square.
    std::vector<std::int32_t> addStandardSizes(std::int32_t source);
    // True for a square picture larger than an icon page may be: the standard sides are made
    // from it instead.
    static bool isLargeSquare(const std::filesystem::path& file);

    const std::vector<IconSource>& sources() const { return m_sources; }
    const std::vector<IconPage>& pages() const { return m_pages; }
    // "32x32, 16 colors", "48x48, True-color", "256x256, alpha-channel image".
    std::string sourceInfo(std::int32_t source) const;
    // The "Masks" column of a row: its mask, hot spot and delay once given.
    std::string maskText(std::int32_t row) const;
    // "Output.ico" in the folder of the first file.
    std::filesystem::path defaultOutput() const;

    // Appends the sources in list order, asking whether to break multi-page ones into pages.
    void addPages(std::vector<std::int32_t> sources);
    // Asks first; true when rows were removed.
    bool deletePages(const std::vector<std::int32_t>& rows);
    // Moves the rows one place; returns where they are now.
    std::vector<std::int32_t> movePages(std::vector<std::int32_t> rows, bool up);
    // The button flows: validate, ask, apply; true when some row changed.
    bool setTransparentColour(const std::vector<std::int32_t>& rows);
    bool setMaskImage(const std::vector<std::int32_t>& rows,
                      const std::vector<std::int32_t>& sources);
    bool setHotSpot(const std::vector<std::int32_t>& rows);
    bool setDelay(const std::vector<std::int32_t>& rows);
    // Without asking (a double click on the preview, the command line).
    bool setHotSpotAt(const std::vector<std::int32_t>& rows, std::int32_t x, std::int32_t y);
    void setDelayTo(const std::vector<std::int32_t>& rows, std::uint32_t delay);

    // The rows as the pictures they give, multi-page rows opened up, each with its delay.
    std::vector<IconFrame> frames() const;

    // Writes the file (nothing for an empty list); asks before replacing an existing one. True
    // when the file was written.
    bool compile(const std::filesystem::path& output, IconOutputType type);

private:
    bool checkRows(const std::vector<std::int32_t>& rows) const;
    void severalPages(const char* format, const IconPage& row);

    ToolHost& m_host;
    IconQuestions& m_questions;
    std::vector<IconSource> m_sources;
    std::vector<IconPage> m_pages;
    image::ColorRef m_lastColour = 0;
};

}  // namespace kalder::tools
