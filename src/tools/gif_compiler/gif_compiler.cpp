#include "tools/gif_compiler/gif_compiler.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <new>
#include <system_error>

#include "base/translatable.h"
#include "image/image_document.h"
#include "image/load_options.h"
#include "image/sinks.h"
#include "image/writers/gif_writer.h"
#include "tools/gif_compiler/animation_canvas.h"

namespace kalder::tools {
namespace {

using image::PaletteType;
using image::TransparencyMode;

// The stage of a run as progress names it: loading is a run of its own; reading, processing
// and writing make up a compile.
ToolProgress stageProgress(const char* stage, std::int64_t total, std::int64_t done) {
    ToolProgress p;
    p.stage = stage;
    const std::string_view s(stage);
    const bool loading = s == kGifLoadingFiles;
    p.stageCount = loading ? 1 : 3;
    p.stageIndex = s == kGifProcessing ? 1 : s == kGifWriting ? 2 : 0;
    p.total = total;
    p.done = done;
    return p;
}

class HostProgress final : public image::ProgressSink {
public:
    HostProgress(ToolHost& host, const char* stage) : m_host(host), m_stage(stage) {}
    void Progress(std::int64_t total, std::int64_t done) override {
        m_host.progress(stageProgress(m_stage, total, done));
    }

private:
    ToolHost& m_host;
    const char* m_stage;
};

// One frame on its way to the file.
struct WorkFrame {
    image::ImageDocument document;         // owns the full-size first page
    std::vector<std::uint8_t> seeThrough;  // 1 where nothing is drawn; empty when all is drawn
    std::vector<std::uint8_t> indices;
    image::Palette palette{};
    std::int32_t bits = 8;
    std::int32_t transparentIndex = -1;

    image::Bitmap32& bitmap() { return document.PageAt(0).bitmap; }
};

std::size_t pixelCount(const image::Bitmap32& b) {
    return static_cast<std::size_t>(b.width()) * static_cast<std::size_t>(b.height());
}

// Opacity below one half is see-through, as the GIF and PNG writers treat it.
std::vector<std::uint8_t> seeThroughFromAlpha(const std::vector<std::uint8_t>& alpha) {
    std::vector<std::uint8_t> out(alpha.size());
    bool any = false;
    for (std::size_t i = 0; i < alpha.size(); ++i) {
        out[i] = alpha[i] < 128;
        any |= out[i] != 0;
    }
    if (!any) out.clear();
    return out;
}

std::vector<std::uint8_t> seeThroughFromColour(const image::Bitmap32& b, image::ColorRef c) {
    const std::size_t n = pixelCount(b);
    std::vector<std::uint8_t> out(n);
    bool any = false;
    const std::uint8_t* p = b.pixels();
    for (std::size_t i = 0; i < n; ++i, p += 4) {
        out[i] = p[2] == image::redOf(c) && p[1] == image::greenOf(c) && p[0] == image::blueOf(c);
        any |= out[i] != 0;
    }
    if (!any) out.clear();
    return out;
}

// Pixels nobody sees take the colour of a visible neighbour, so they cost no palette entry.
void hideInvisibleColours(image::Bitmap32& b, const std::vector<std::uint8_t>& seeThrough) {
    if (seeThrough.empty()) return;
    const std::size_t n = pixelCount(b);
    std::uint8_t* px = b.pixels();
    std::size_t firstDrawn = 0;
    while (firstDrawn < n && seeThrough[firstDrawn]) ++firstDrawn;
    if (firstDrawn == n) {
        std::fill_n(px, n * 4, std::uint8_t{0});
        return;
    }
    const std::uint8_t* last = px + firstDrawn * 4;
    for (std::size_t i = 0; i < n; ++i) {
        if (seeThrough[i])
            std::copy_n(last, 4, px + i * 4);
        else
            last = px + i * 4;
    }
}

// The smallest table for the indices in use, with its last entry free for transparency when
// `needTransparent`; -1 as transparent index when no entry is free at all.
void chooseTable(const std::vector<WorkFrame*>& group, bool needTransparent, std::int32_t& bits,
                 std::int32_t& transparentIndex) {
    std::array<bool, 256> used{};
    for (const WorkFrame* f : group)
        for (std::uint8_t i : f->indices) used[i] = true;
    std::int32_t highest = 0;
    for (std::int32_t i = 0; i < 256; ++i)
        if (used[static_cast<std::size_t>(i)]) highest = i;
    bits = 1;
    while (bits < 9 && ((1 << bits) - (needTransparent ? 1 : 0)) <= highest) ++bits;
    transparentIndex = -1;
    if (bits <= 8) {
        if (needTransparent) transparentIndex = (1 << bits) - 1;
        return;
    }
    // Every entry of a full fixed palette may be in use; any that is not will do.
    bits = 8;
    for (std::int32_t i = 255; i >= 0 && transparentIndex < 0; --i)
        if (!used[static_cast<std::size_t>(i)]) transparentIndex = i;
}

// Frames after the first must be the first one's size; the message when one is not.
bool sameSizeAsFirst(std::size_t index, std::int64_t width, std::int64_t height,
                     std::int64_t firstWidth, std::int64_t firstHeight,
                     const std::filesystem::path& path, ToolHost& host) {
    if (index == 0 || (width == firstWidth && height == firstHeight)) return true;
    host.error(fillInsert(kGifSizeMismatch, path.string()));
    return false;
}

// A fresh empty file beside `target` for a result to replace it with; empty when none can be made.
std::filesystem::path tempBeside(const std::filesystem::path& target) {
    const std::filesystem::path folder =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    std::string pattern = (folder / ".kalder-gif-XXXXXX").string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) return {};
    ::close(fd);
    return pattern;
}

}  // namespace

const char* disposalName(std::int32_t disposal) {
    switch (disposal) {
        case kDisposalLeave:
            return QT_TRANSLATE_NOOP("Choices", "Leave in Place");
        case kDisposalBackground:
            return QT_TRANSLATE_NOOP("Choices", "Restore Background");
        case kDisposalPrevious:
            return QT_TRANSLATE_NOOP("Choices", "Restore Previous");
        default:
            return "";
    }
}

std::string fillInsert(const char* text, const std::string& value) {
    std::string out = text;
    for (const char* marker : {"%1!s!", "%1!i!"}) {
        const auto at = out.find(marker);
        if (at != std::string::npos) out.replace(at, 5, value);
    }
    return out;
}

AnimationOptions GifCompiler::normalized(AnimationOptions o) {
    if (o.palette == PaletteType::WebSafe) o.colorDepth = 8;
    if (o.palette == PaletteType::BlackWhite) o.colorDepth = 1;
    o.colorDepth = std::clamp(o.colorDepth, 1, 8);
    if (o.palette != PaletteType::Optimized) o.separatePalettes = false;
    if (o.separatePalettes) o.minimize = false;
    if (o.dither == image::DitherType::Ordered && !image::orderedDitherAllowed(o.palette))
        o.dither = image::DitherType::None;
    return o;
}

bool GifCompiler::Open(const std::vector<std::filesystem::path>& files, std::int32_t previewSize,
                       ToolHost& host, std::vector<AnimationFrame>& frames) {
    frames.clear();
    if (files.size() < 2) {
        host.error(kGifTooFewImages);
        return false;
    }
    HostCancel cancel(host);
    std::uint32_t width = 0, height = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        ToolProgress p = stageProgress(kGifLoadingFiles, static_cast<std::int64_t>(files.size()),
                                       static_cast<std::int64_t>(i));
        p.file = files[i];  // no item: the files are the stage's steps
        host.progress(p);
        if (host.cancelled()) {
            frames.clear();
            return false;
        }
        image::LoadOptions o;
        o.path = files[i];
        if (previewSize > 0) {
            o.fitWidth = o.fitHeight = o.limitWidth = o.limitHeight = previewSize;
            o.zoomRule = 2;  // shrink big pictures only
        }
        image::ImageDocument doc;
        AnimationFrame frame;
        frame.path = files[i];
        try {
            frame.preview = std::make_unique<image::Bitmap32>();
            if (!doc.loadAll(o, false, &cancel) || !doc.PageAt(0).bitmap.CopyTo(*frame.preview)) {
                frames.clear();
                host.error(kGifLoadFailed);
                return false;
            }
        } catch (const std::bad_alloc&) {
            frames.clear();
            host.error(kGifLoadFailed);
            return false;
        }
        const image::ImagePage& page = doc.PageAt(0);
        if (i == 0) {
            width = page.width;
            height = page.height;
        } else if (!sameSizeAsFirst(i, page.width, page.height, width, height, files[i], host)) {
            frames.clear();
            return false;
        }
        frames.push_back(std::move(frame));
    }
    host.progress(stageProgress(kGifLoadingFiles, static_cast<std::int64_t>(files.size()),
                                static_cast<std::int64_t>(files.size())));
    return true;
}

namespace {

// One compile, phase by phase; each phase answers false once it has told the host why it ended
// (or the user stopped).
class CompileRun {
public:
    CompileRun(const std::vector<AnimationFrame>& frames, const AnimationOptions& options,
               ToolHost& host)
        : m_frames(frames), m_o(options), m_host(host), m_cancel(host) {}

    CompileResult run() {
        try {
            if (readFrames() && decideTransparency() && encode())
                m_result.outcome = CompileOutcome::Written;
        } catch (const std::bad_alloc&) {
            fail(" (out of memory)");
        }
        if (m_result.outcome != CompileOutcome::Written) m_result.frames = 0;
        return m_result;
    }

private:
    bool stop() {
        m_result.outcome = CompileOutcome::Stopped;
        return false;
    }
    bool fail(const char* detail = "") {
        if (m_host.cancelled()) return stop();
        m_host.error(std::string(kGifCannotWrite) + " " + m_o.output.string() + detail);
        return false;
    }

    // Every file again at full size, with its opacities.
    bool readFrames() {
        const auto count = static_cast<std::int64_t>(m_frames.size());
        for (std::size_t j = 0; j < m_frames.size(); ++j) {
            m_host.progress(stageProgress(kGifReadingFrames, count, static_cast<std::int64_t>(j)));
            if (m_host.cancelled()) return stop();
            auto f = std::make_unique<WorkFrame>();
            image::LoadOptions lo;
            lo.path = m_frames[j].path;
            lo.extractAlpha = true;
            if (!f->document.loadAll(lo, false, &m_cancel)) {
                if (m_host.cancelled()) return stop();
                m_host.error(std::string(kGifCannotReadFrame) + " " + m_frames[j].path.string());
                return false;
            }
            const image::Bitmap32& b = f->bitmap();
            // The files may have changed since the tool opened.
            if (j > 0 && !sameSizeAsFirst(j, b.width(), b.height(), m_work[0]->bitmap().width(),
                                          m_work[0]->bitmap().height(), m_frames[j].path, m_host))
                return false;
            const auto& alpha = f->document.PageAt(0).alphaPlane;
            if (alpha.size() == pixelCount(b)) f->seeThrough = seeThroughFromAlpha(alpha);
            m_work.push_back(std::move(f));
        }
        return true;
    }

    // Leaving unchanged pixels see-through shortens some animations and lengthens others (it
    // may cost a palette entry and break the encoder's runs), so with minimising both files are
    // made beside the output and the smaller one replaces it.
    bool encode() {
        if (!m_o.minimize) return reduceColours(false) && write(false, m_o.output);
        const std::filesystem::path plain = tempBeside(m_o.output);
        const std::filesystem::path small = plain.empty() ? plain : tempBeside(m_o.output);
        std::error_code ec;
        bool ok = !small.empty() || fail(" (cannot create a temporary file)");
        ok = ok && reduceColours(false) && write(false, plain) && reduceColours(true) &&
             write(true, small);
        if (ok) {
            const bool smaller =
                std::filesystem::file_size(small, ec) < std::filesystem::file_size(plain, ec);
            const std::filesystem::path& kept = !ec && smaller ? small : plain;
            // The temporary files are private; the result gets the output's permissions, or
            // those of a new file.
            struct stat st {};
            ::chmod(kept.c_str(),
                    ::stat(m_o.output.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644);
            std::filesystem::rename(kept, m_o.output, ec);
            ok = !ec || fail();
        }
        for (const auto& temp : {plain, small})
            if (!temp.empty()) std::filesystem::remove(temp, ec);
        return ok;
    }

    // Which pixels stay see-through: only the optimized and web-safe palettes keep any.
    bool decideTransparency() {
        m_keepsAlpha = m_o.palette == PaletteType::Optimized || m_o.palette == PaletteType::WebSafe;
        m_mode = m_keepsAlpha ? m_o.transparency.mode : TransparencyMode::Remove;
        for (auto& f : m_work) {
            if (m_mode == TransparencyMode::Remove || m_mode == TransparencyMode::PaletteIndex)
                f->seeThrough.clear();
            else if (m_mode == TransparencyMode::Color)
                f->seeThrough = seeThroughFromColour(f->bitmap(), m_o.transparency.color);
        }
        m_transparency = m_mode == TransparencyMode::PaletteIndex ||
                         std::any_of(m_work.begin(), m_work.end(),
                                     [](const auto& f) { return !f->seeThrough.empty(); });
        if (m_o.separatePalettes && m_transparency &&
            !isYes(m_host.ask({kGifSeparatePalettesQuestion})))
            return stop();
        for (auto& f : m_work) hideInvisibleColours(f->bitmap(), f->seeThrough);
        return true;
    }

    bool reduceColours(bool minimize) {
        HostProgress processing(m_host, kGifProcessing);
        image::ColourReduceOptions ro;
        ro.palette = m_o.palette;
        ro.dither = m_o.dither;
        ro.targetDepth = m_o.colorDepth;
        ro.sourceDepth = 32;
        // The fixed tables fill their entries with real colours; for minimising alone a free
        // entry is found (or the table grown) after mapping instead of giving one up.
        ro.reserveTransparent = m_transparency || (minimize && m_keepsAlpha);
        ro.progress = &processing;
        ro.cancel = &m_cancel;
        auto reduce = [&](std::span<WorkFrame* const> targets) {
            std::vector<const image::Bitmap32*> images;
            for (WorkFrame* f : targets) images.push_back(&f->bitmap());
            image::ColourReducer reducer;
            if (!reducer.Setup(images, ro) || !reducer.BuildPalette()) return false;
            for (std::size_t i = 0; i < targets.size(); ++i) {
                auto mapped = reducer.MapImage(i);
                if (!mapped) return false;
                targets[i]->indices = std::move(*mapped);
                targets[i]->palette = reducer.palette();
            }
            return true;
        };
        std::vector<WorkFrame*> all;
        for (auto& f : m_work) all.push_back(f.get());
        if (m_o.separatePalettes) {
            for (std::size_t j = 0; j < all.size(); ++j)
                if (!reduce(std::span(all).subspan(j, 1))) return fail();
        } else if (!reduce(all)) {
            return fail();
        }

        if (m_mode == TransparencyMode::PaletteIndex) {
            const auto chosen =
                static_cast<std::uint8_t>(std::clamp(m_o.transparency.paletteIndex, 0, 255));
            for (auto& f : m_work) {
                f->seeThrough.assign(f->indices.size(), 0);
                bool any = false;
                for (std::size_t i = 0; i < f->indices.size(); ++i) {
                    if (f->indices[i] != chosen) continue;
                    f->seeThrough[i] = 1;
                    any = true;
                }
                if (!any) f->seeThrough.clear();
            }
        }
        const bool needTransparent = m_transparency || minimize;
        if (m_o.separatePalettes) {
            for (auto& f : m_work)
                chooseTable({f.get()}, needTransparent, f->bits, f->transparentIndex);
        } else {
            std::int32_t bits = 8, t = -1;
            chooseTable(all, needTransparent, bits, t);
            for (auto& f : m_work) {
                f->bits = bits;
                f->transparentIndex = t;
            }
        }
        return true;
    }

    // Each frame as the rectangle it changes on the canvas, through the writer's temporary file.
    bool write(bool minimize, const std::filesystem::path& path) {
        std::vector<std::string> comments;
        if (!m_o.comments.empty()) comments.push_back(m_o.comments);
        image::GifWriter writer;
        if (m_o.plays != 1)
            writer.setRepeats(static_cast<std::uint16_t>(
                m_o.plays == 0 ? 0 : std::min<std::uint32_t>(m_o.plays - 1, 65535)));
        if (!writer.Open(path, &comments)) return fail();
        m_result.frames = 0;
        std::string hidden;  // frames whose transparency the frame before covers
        const image::Bitmap32& first = m_work[0]->bitmap();
        AnimationCanvas canvas;
        std::vector<std::uint8_t> plane(pixelCount(first));
        if (!canvas.reset(first.width(), first.height())) return fail(" (out of memory)");
        const auto count = static_cast<std::int64_t>(m_work.size());
        for (std::size_t j = 0; j < m_work.size(); ++j) {
            m_host.progress(stageProgress(kGifWriting, count, static_cast<std::int64_t>(j)));
            if (m_host.cancelled()) return stop();
            const WorkFrame& f = *m_work[j];
            IndexedFrame in;
            in.indices = f.indices.data();
            in.seeThrough =
                f.transparentIndex >= 0 && !f.seeThrough.empty() ? f.seeThrough.data() : nullptr;
            in.palette = f.palette.data();
            in.disposal = m_frames[j].disposal;
            if (j > 0 && m_frames[j - 1].disposal == kDisposalLeave &&
                canvas.hidesSeeThrough(in, f.transparentIndex))
                hidden += (hidden.empty() ? "" : ", ") + std::to_string(j + 1);
            const image::GifFrameRect rect = canvas.place(in, f.transparentIndex, minimize, plane);
            image::WriterImage img;
            img.pixels = plane.data();
            img.width = first.width();
            img.height = first.height();
            img.bits = f.bits;
            img.palette = f.palette;
            img.transparent = f.transparentIndex >= 0;
            img.transparentIndex = std::max(0, f.transparentIndex);
            img.gifDelay = std::min<std::uint32_t>(m_frames[j].delay, 65535);
            img.gifDisposal = m_frames[j].disposal;
            img.gifInterlaced = m_o.interlaced;
            img.gifGlobalPalette = !m_o.separatePalettes;
            if (!writer.writeFrame(img, rect)) return fail();
            ++m_result.frames;
        }
        if (!writer.Close()) return fail();
        m_host.progress(stageProgress(kGifWriting, count, count));
        // Told once, though a minimising run writes twice.
        if (!hidden.empty() && !m_warned) m_host.warning(fillInsert(kGifSeeThroughLost, hidden));
        m_warned = true;
        return true;
    }

    const std::vector<AnimationFrame>& m_frames;
    const AnimationOptions& m_o;
    ToolHost& m_host;
    HostCancel m_cancel;
    CompileResult m_result;
    std::vector<std::unique_ptr<WorkFrame>> m_work;
    bool m_keepsAlpha = false;
    TransparencyMode m_mode = TransparencyMode::Retain;
    bool m_transparency = false;  // some pixel of some frame is see-through
    bool m_warned = false;
};

}  // namespace

CompileResult GifCompiler::Compile(const std::vector<AnimationFrame>& frames,
                                   const AnimationOptions& given, ToolHost& host) {
    const AnimationOptions o = normalized(given);
    if (frames.empty()) return {};
    std::error_code ec;
    if (std::filesystem::exists(o.output, ec) &&
        !isYes(host.ask({kGifOutputExists, o.output,
                         ToolAnswers{ToolAnswer::Yes, ToolAnswer::No, ToolAnswer::Cancel}})))
        return {CompileOutcome::Stopped, 0};
    return CompileRun(frames, o, host).run();
}

}  // namespace kalder::tools
