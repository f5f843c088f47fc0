#include "tools/icon_compiler/icon_compiler.h"

#include <algorithm>
#include <cstdio>
#include <set>

#include "base/strings.h"
#include "image/image_document.h"
#include "image/resample.h"
#include "tools/icon_compiler/icon_compiler_p.h"

namespace kalder::tools {

using namespace icon_text;

IconSource::IconSource() = default;
IconSource::~IconSource() = default;
IconSource::IconSource(IconSource&&) noexcept = default;
IconSource& IconSource::operator=(IconSource&&) noexcept = default;

const image::ImagePage& IconSource::page(std::int32_t index) const {
    return made ? *made : document->PageAt(index);
}

std::optional<IconOutputType> iconOutputTypeFor(const std::filesystem::path& path) {
    const std::string ext = base::toLowerAscii(path.extension().string());
    if (ext == ".ico") return IconOutputType::Icon;
    if (ext == ".cur") return IconOutputType::Cursor;
    if (ext == ".ani") return IconOutputType::AnimatedCursor;
    return std::nullopt;
}

namespace {

// Icon pages are square; the directory stores each side in one byte, 0 meaning 256.
bool iconSize(std::int32_t w, std::int32_t h) { return w == h && w >= 1 && w <= kMaxIconSide; }

// Looks at the pixels: every one black or white, or at least every one gray.
void classifyMask(const image::Bitmap32& bitmap, bool& blackWhite, bool& gray) {
    blackWhite = gray = true;
    for (std::int32_t y = 0; y < bitmap.height() && gray; ++y) {
        const std::uint8_t* p = bitmap.row(y);
        for (std::int32_t x = 0; x < bitmap.width(); ++x, p += 4) {
            if (p[0] != p[1] || p[1] != p[2]) {
                gray = blackWhite = false;
                break;
            }
            if (p[0] != 0 && p[0] != 255) blackWhite = false;
        }
    }
}

std::string fileName(const std::filesystem::path& path) { return path.filename().string(); }

}  // namespace

IconCompiler::IconCompiler(ToolHost& host, IconQuestions& questions)
    : m_host(host), m_questions(questions) {}
IconCompiler::~IconCompiler() = default;

bool IconCompiler::open(const std::vector<std::filesystem::path>& files,
                        const image::CancelSink* cancel) {
    m_sources.clear();
    m_pages.clear();
    for (const std::filesystem::path& path : files) {
        IconSource source;
        source.path = path;
        source.document = std::make_unique<image::ImageDocument>();
        image::LoadOptions options;
        options.path = path;
        options.extractAlpha = true;  // icons and PNG files keep their own opacity
        if (!source.document->loadAll(options, true, cancel)) {
            m_host.error(kLoadFailed);
            m_sources.clear();
            return false;
        }
        source.pageCount = source.document->PageCount();
        for (std::int32_t i = 0; i < source.pageCount; ++i) {
            const image::Bitmap32& b = source.page(i).bitmap;
            if (!iconSize(b.width(), b.height())) {
                m_host.error(insert(kBadSize, path.string()));
                m_sources.clear();
                return false;
            }
        }
        const image::ImagePage& first = source.page(0);
        source.bitDepth = first.bitsPerPixel <= 8    ? static_cast<std::int32_t>(first.bitsPerPixel)
                          : first.alphaPlane.empty() ? 24
                                                     : 32;
        source.hasAlpha = std::any_of(first.alphaPlane.begin(), first.alphaPlane.end(),
                                      [](std::uint8_t a) { return a != 255; });
        if (source.pageCount == 1) {
            bool blackWhite = false, gray = false;
            classifyMask(first.bitmap, blackWhite, gray);
            source.canBeMask = gray;
            source.grayMask = gray && !blackWhite;
        }
        m_sources.push_back(std::move(source));
    }
    return !m_sources.empty();
}

namespace {

// A source of one page, `side` pixels square, resampled from `picture` (square, at least as large).
bool makeResizedSource(const image::ImagePage& picture, const std::filesystem::path& file,
                       std::int32_t side, IconSource& source) {
    const image::Bitmap32& b = picture.bitmap;
    const bool hasAlpha = picture.alphaPlane.size() == static_cast<std::size_t>(b.width()) *
                                                           static_cast<std::size_t>(b.height());
    auto page = std::make_unique<image::ImagePage>();
    page->width = page->height = static_cast<std::uint32_t>(side);
    page->bitsPerPixel = hasAlpha ? 32 : 24;
    if (!page->bitmap.Create(side, side) || !image::Resample(b, page->bitmap).ok()) return false;
    if (hasAlpha) {
        page->alphaPlane.resize(static_cast<std::size_t>(side) * static_cast<std::size_t>(side));
        if (!image::ResampleAlpha(picture.alphaPlane, b.width(), b.height(), page->alphaPlane, side,
                                  side)
                 .ok())
            return false;
    }
    source.path = file;
    source.pageCount = 1;
    source.bitDepth = hasAlpha ? 32 : 24;
    source.hasAlpha = hasAlpha && std::any_of(page->alphaPlane.begin(), page->alphaPlane.end(),
                                              [](std::uint8_t a) { return a != 255; });
    source.made = std::move(page);
    return true;
}

}  // namespace

bool IconCompiler::isLargeSquare(const std::filesystem::path& file) {
    image::ImageInfo info;
    return image::ReadImageInfo(file, info, true) && info.width == info.height &&
           info.width > kMaxIconSide;
}

bool IconCompiler::openResized(const std::filesystem::path& file, std::vector<std::int32_t> sizes,
                               bool skipLarger, const image::CancelSink* cancel) {
    m_sources.clear();
    m_pages.clear();
    auto document = std::make_unique<image::ImageDocument>();
    image::LoadOptions options;
    options.path = file;
    options.extractAlpha = true;
    if (!document->loadAll(options, false, cancel)) {
        m_host.error(kLoadFailed);
        return false;
    }
    const image::ImagePage& picture = document->PageAt(0);
    const image::Bitmap32& b = picture.bitmap;
    if (b.width() != b.height()) {
        m_host.error(insert(kNotSquare, file.string()));
        return false;
    }
    std::sort(sizes.begin(), sizes.end());
    sizes.erase(std::unique(sizes.begin(), sizes.end()), sizes.end());
    for (const std::int32_t side : sizes) {
        if (side > b.width()) {
            if (skipLarger) continue;
            m_host.error(insert(kTooSmallForSize, file.string()));
            m_sources.clear();
            return false;
        }
        IconSource source;
        if (!makeResizedSource(picture, file, side, source)) {
            m_host.error(kLoadFailed);
            m_sources.clear();
            return false;
        }
        m_sources.push_back(std::move(source));
    }
    if (m_sources.empty()) {
        m_host.error(insert(kTooSmallForSize, file.string()));
        return false;
    }
    return true;
}

std::vector<std::int32_t> IconCompiler::addStandardSizes(std::int32_t index) {
    std::vector<std::int32_t> added;
    if (index < 0 || static_cast<std::size_t>(index) >= m_sources.size()) return added;
    // Copied: the path outlives the growth of the list below.
    const std::filesystem::path file = m_sources[static_cast<std::size_t>(index)].path;
    const image::ImagePage* picture = &m_sources[static_cast<std::size_t>(index)].page(0);
    const std::int32_t side = picture->bitmap.width();
    if (side != picture->bitmap.height()) {
        m_host.error(insert(kNotSquare, file.string()));
        return added;
    }
    std::vector<IconSource> made;
    for (const std::int32_t size : kStandardIconSizes) {
        if (size >= side) break;
        IconSource source;
        if (!makeResizedSource(*picture, file, size, source)) {
            m_host.error(kLoadFailed);
            return added;
        }
        made.push_back(std::move(source));
    }
    for (IconSource& s : made) {
        added.push_back(static_cast<std::int32_t>(m_sources.size()));
        m_sources.push_back(std::move(s));
    }
    return added;
}

std::string IconCompiler::sourceInfo(std::int32_t index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= m_sources.size()) return {};
    const IconSource& s = m_sources[static_cast<std::size_t>(index)];
    const image::Bitmap32& b = s.page(0).bitmap;
    char text[96];
    if (s.bitDepth <= 8) {
        std::snprintf(text, sizeof text, "%ix%i, %i %s", b.width(), b.height(), 1 << s.bitDepth,
                      "colors");
    } else {
        std::snprintf(text, sizeof text, "%ix%i, %s", b.width(), b.height(),
                      s.hasAlpha ? "alpha-channel image" : "True-color");
    }
    return text;
}

std::string IconCompiler::maskText(std::int32_t index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= m_pages.size()) return {};
    const IconPage& p = m_pages[static_cast<std::size_t>(index)];
    std::vector<std::string> parts;
    char text[64];
    if (p.maskKind == IconMaskKind::Colour) {
        std::snprintf(text, sizeof text, "%s: #%02X%02X%02X", "Color", p.red, p.green, p.blue);
        parts.emplace_back(text);
    } else if (p.maskKind == IconMaskKind::Image && p.maskSource >= 0) {
        const IconSource& mask = m_sources[static_cast<std::size_t>(p.maskSource)];
        parts.push_back(fileName(mask.path) + ", " +
                        (mask.grayMask ? "alpha-channel image" : "simple image"));
    }
    if (p.hotSpotSet) {
        std::snprintf(text, sizeof text, ": %i,%i", p.hotSpotX, p.hotSpotY);
        parts.push_back(std::string("Hot Spot") + text);
    }
    if (p.delaySet) {
        std::snprintf(text, sizeof text, ": %i", static_cast<int>(p.delay));
        parts.push_back(std::string("Delay") + text);
    }
    std::string out;
    for (const std::string& part : parts) out += (out.empty() ? "" : "; ") + part;
    return out;
}

std::filesystem::path IconCompiler::defaultOutput() const {
    if (m_sources.empty()) return "Output.ico";
    return m_sources.front().path.parent_path() / "Output.ico";
}

void IconCompiler::addPages(std::vector<std::int32_t> sources) {
    std::sort(sources.begin(), sources.end());
    sources.erase(std::unique(sources.begin(), sources.end()), sources.end());
    for (std::int32_t index : sources) {
        if (index < 0 || static_cast<std::size_t>(index) >= m_sources.size()) continue;
        const IconSource& s = m_sources[static_cast<std::size_t>(index)];
        IconPage row;
        row.source = index;
        row.name = fileName(s.path);
        if (s.made) {
            // Several rows come from one file at different sizes: tell them apart.
            const std::int32_t side = s.made->bitmap.width();
            row.name += " (" + std::to_string(side) + "x" + std::to_string(side) + ")";
        }
        if (s.pageCount == 1) {
            row.page = 0;
            m_pages.push_back(row);
        } else if (isYes(m_host.ask({insert(kBreakPages, s.path.string())}))) {
            for (std::int32_t i = 0; i < s.pageCount; ++i) {
                IconPage one = row;
                one.page = i;
                char suffix[48];
                std::snprintf(suffix, sizeof suffix, " (%s %i)", "page", i + 1);
                one.name += suffix;
                m_pages.push_back(one);
            }
        } else {
            m_pages.push_back(row);
        }
    }
}

bool IconCompiler::checkRows(const std::vector<std::int32_t>& rows) const {
    return std::all_of(rows.begin(), rows.end(), [&](std::int32_t r) {
        return r >= 0 && static_cast<std::size_t>(r) < m_pages.size();
    });
}

bool IconCompiler::deletePages(const std::vector<std::int32_t>& rows) {
    if (rows.empty() || !checkRows(rows)) return false;
    if (!isYes(m_host.ask({kRemovePages}))) return false;
    const std::set<std::int32_t> gone(rows.begin(), rows.end());
    std::vector<IconPage> kept;
    for (std::size_t i = 0; i < m_pages.size(); ++i)
        if (!gone.count(static_cast<std::int32_t>(i))) kept.push_back(std::move(m_pages[i]));
    m_pages = std::move(kept);
    return true;
}

std::vector<std::int32_t> IconCompiler::movePages(std::vector<std::int32_t> rows, bool up) {
    if (!checkRows(rows)) return rows;
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    const std::int32_t count = static_cast<std::int32_t>(m_pages.size());
    // A selected row moves past its neighbour unless that neighbour is a selected row that could
    // not move, so a block at the top (or bottom) stays as it is.
    std::set<std::int32_t> moved;
    if (up) {
        for (std::int32_t r : rows) {
            if (r > 0 && !moved.count(r - 1)) {
                std::swap(m_pages[static_cast<std::size_t>(r)],
                          m_pages[static_cast<std::size_t>(r - 1)]);
                moved.insert(r - 1);
            } else {
                moved.insert(r);
            }
        }
    } else {
        for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
            const std::int32_t r = *it;
            if (r + 1 < count && !moved.count(r + 1)) {
                std::swap(m_pages[static_cast<std::size_t>(r)],
                          m_pages[static_cast<std::size_t>(r + 1)]);
                moved.insert(r + 1);
            } else {
                moved.insert(r);
            }
        }
    }
    return {moved.begin(), moved.end()};
}

void IconCompiler::severalPages(const char* format, const IconPage& row) {
    m_host.warning(insert(format, m_sources[static_cast<std::size_t>(row.source)].path.string()));
}

bool IconCompiler::setTransparentColour(const std::vector<std::int32_t>& rows) {
    if (rows.empty()) {
        m_host.information(kNoPagesSelected);
        return false;
    }
    if (!checkRows(rows) || !isYes(m_host.ask({kSetNewMask}))) return false;
    image::ColorRef colour = m_lastColour;
    for (std::int32_t r : rows) {
        const IconPage& p = m_pages[static_cast<std::size_t>(r)];
        if (p.maskKind == IconMaskKind::Colour) {
            colour = image::makeColorRef(p.red, p.green, p.blue);
            break;
        }
    }
    if (!m_questions.chooseColour(colour)) return false;
    m_lastColour = colour;
    bool changed = false;
    for (std::int32_t r : rows) {
        IconPage& p = m_pages[static_cast<std::size_t>(r)];
        if (p.wholeSource()) {
            severalPages(kMaskSeveralPages, p);
            continue;
        }
        p.maskKind = IconMaskKind::Colour;
        p.maskSource = -1;
        p.red = image::redOf(colour);
        p.green = image::greenOf(colour);
        p.blue = image::blueOf(colour);
        changed = true;
    }
    return changed;
}

bool IconCompiler::setMaskImage(const std::vector<std::int32_t>& rows,
                                const std::vector<std::int32_t>& sources) {
    if (rows.empty()) {
        m_host.information(kNoPagesSelected);
        return false;
    }
    if (sources.size() != 1) {
        m_host.information(kOneMaskOnly);
        return false;
    }
    const std::int32_t maskIndex = sources.front();
    if (!checkRows(rows) || maskIndex < 0 ||
        static_cast<std::size_t>(maskIndex) >= m_sources.size() ||
        !isYes(m_host.ask({kSetNewMask})))
        return false;
    const IconSource& mask = m_sources[static_cast<std::size_t>(maskIndex)];
    if (!mask.canBeMask) {
        m_host.error(kMaskKinds);
        return false;
    }
    const image::Bitmap32& maskBitmap = mask.page(0).bitmap;
    bool changed = false;
    for (std::int32_t r : rows) {
        IconPage& p = m_pages[static_cast<std::size_t>(r)];
        const IconSource& s = m_sources[static_cast<std::size_t>(p.source)];
        if (p.wholeSource()) {
            severalPages(kMaskSeveralPages, p);
            continue;
        }
        const image::ImagePage& page = s.page(p.page);
        if (mask.grayMask && page.bitsPerPixel <= 8) {
            m_host.error(insert(kAlphaOnPalette, s.path.string()));
            continue;
        }
        if (page.bitmap.width() != maskBitmap.width() ||
            page.bitmap.height() != maskBitmap.height()) {
            m_host.error(insert(kMaskSize, s.path.string()));
            continue;
        }
        p.maskKind = IconMaskKind::Image;
        p.maskSource = maskIndex;
        changed = true;
    }
    return changed;
}

bool IconCompiler::setHotSpot(const std::vector<std::int32_t>& rows) {
    if (rows.empty() || !checkRows(rows)) return false;
    const IconPage* start = nullptr;
    for (std::int32_t r : rows) {
        const IconPage& p = m_pages[static_cast<std::size_t>(r)];
        if (p.wholeSource()) {
            severalPages(kHotSpotSeveralPages, p);
        } else if (!start) {
            start = &p;
        }
    }
    if (!start) return false;
    std::int32_t x = start->hotSpotX, y = start->hotSpotY;
    if (!m_questions.askHotSpot(x, y)) return false;
    std::vector<std::int32_t> single;
    for (std::int32_t r : rows)
        if (!m_pages[static_cast<std::size_t>(r)].wholeSource()) single.push_back(r);
    return setHotSpotAt(single, x, y);
}

bool IconCompiler::setHotSpotAt(const std::vector<std::int32_t>& rows, std::int32_t x,
                                std::int32_t y) {
    if (!checkRows(rows)) return false;
    bool changed = false;
    for (std::int32_t r : rows) {
        IconPage& p = m_pages[static_cast<std::size_t>(r)];
        if (p.wholeSource()) {
            severalPages(kHotSpotSeveralPages, p);
            continue;
        }
        // A spot outside the picture would be moved by whoever reads the file; refuse it here.
        const image::Bitmap32& b =
            m_sources[static_cast<std::size_t>(p.source)].page(p.page).bitmap;
        if (x < 0 || y < 0 || x >= b.width() || y >= b.height()) {
            char text[512];
            std::snprintf(text, sizeof text, kHotSpotOutside, x, y, p.name.c_str(), b.width(),
                          b.height());
            m_host.error(text);
            continue;
        }
        p.hotSpotX = x;
        p.hotSpotY = y;
        p.hotSpotSet = true;
        changed = true;
    }
    return changed;
}

bool IconCompiler::setDelay(const std::vector<std::int32_t>& rows) {
    if (rows.empty() || !checkRows(rows)) return false;
    std::uint32_t delay = m_pages[static_cast<std::size_t>(rows.front())].delay;
    if (!m_questions.askDelay(delay)) return false;
    setDelayTo(rows, delay);
    return true;
}

void IconCompiler::setDelayTo(const std::vector<std::int32_t>& rows, std::uint32_t delay) {
    if (!checkRows(rows)) return;
    for (std::int32_t r : rows) {
        IconPage& p = m_pages[static_cast<std::size_t>(r)];
        p.delay = delay;
        p.delaySet = true;
    }
}

}  // namespace kalder::tools
