#include "tools/gif_compiler/gif_compiler.h"

#include <algorithm>
#include <new>
#include <system_error>

#include "image/image_document.h"
#include "image/load_options.h"
#include "image/sinks.h"
#include "image/writers/gif_writer.h"
#include "tools/gif_compiler/animation_canvas.h"

namespace kalder::tools {
namespace {

using image::PaletteType;
using image::TransparencyMode;

class HostCancel final : public image::CancelSink {
public:
    explicit HostCancel(GifCompilerHost& host) : m_host(host) {}
    bool isCancelled() const override { return m_host.stopRequested(); }

private:
    GifCompilerHost& m_host;
};

class HostProgress final : public image::ProgressSink {
public:
    HostProgress(GifCompilerHost& host, const char* stage) : m_host(host), m_stage(stage) {}
    void Progress(std::int64_t total, std::int64_t done) override {
        m_host.progress(m_stage, total, done);
    }

private:
    GifCompilerHost& m_host;
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

}  // namespace

const char* disposalName(std::int32_t disposal) {
    switch (disposal) {
        case kDisposalLeave:
            return "Leave in Place";
        case kDisposalBackground:
            return "Restore Background";
        case kDisposalPrevious:
            return "Restore Previous";
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
                       GifCompilerHost& host, std::vector<AnimationFrame>& frames) {
    frames.clear();
    if (files.size() < 2) {
        host.error(kGifTooFewImages);
        return false;
    }
    HostCancel cancel(host);
    std::uint32_t width = 0, height = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        host.progress(kGifLoadingFiles, static_cast<std::int64_t>(files.size()),
                      static_cast<std::int64_t>(i));
        if (host.stopRequested()) {
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
        } else if (page.width != width || page.height != height) {
            frames.clear();
            host.error(fillInsert(kGifSizeMismatch, files[i].string()));
            return false;
        }
        frames.push_back(std::move(frame));
    }
    host.progress(kGifLoadingFiles, static_cast<std::int64_t>(files.size()),
                  static_cast<std::int64_t>(files.size()));
    return true;
}

CompileResult GifCompiler::Compile(const std::vector<AnimationFrame>& frames,
                                   const AnimationOptions& given, GifCompilerHost& host) {
    CompileResult result;
    const AnimationOptions o = normalized(given);
    if (frames.empty()) return result;
    std::error_code ec;
    if (std::filesystem::exists(o.output, ec) && !host.confirmOverwrite(o.output)) {
        result.outcome = CompileOutcome::Stopped;
        return result;
    }
    auto stopped = [&] {
        result.outcome = CompileOutcome::Stopped;
        return result;
    };
    HostCancel cancel(host);
    const auto count = static_cast<std::int64_t>(frames.size());
    std::vector<std::unique_ptr<WorkFrame>> work;

    try {
        // Reading: every file again at full size, with its opacities.
        for (std::size_t j = 0; j < frames.size(); ++j) {
            host.progress(kGifReadingFrames, count, static_cast<std::int64_t>(j));
            if (host.stopRequested()) return stopped();
            auto f = std::make_unique<WorkFrame>();
            image::LoadOptions lo;
            lo.path = frames[j].path;
            lo.extractAlpha = true;
            if (!f->document.loadAll(lo, false, &cancel)) {
                if (host.stopRequested()) return stopped();
                host.error(std::string(kGifCannotReadFrame) + " " + frames[j].path.string());
                return result;
            }
            const image::Bitmap32& b = f->bitmap();
            if (j > 0 && (b.width() != work[0]->bitmap().width() ||
                          b.height() != work[0]->bitmap().height())) {
                host.error(fillInsert(kGifSizeMismatch, frames[j].path.string()));
                return result;
            }
            const auto& alpha = f->document.PageAt(0).alphaPlane;
            if (alpha.size() == pixelCount(b)) f->seeThrough = seeThroughFromAlpha(alpha);
            work.push_back(std::move(f));
        }

        // Processing: which transparency survives, then the colour reduction.
        const bool paletteKeepsAlpha =
            o.palette == PaletteType::Optimized || o.palette == PaletteType::WebSafe;
        const TransparencyMode mode =
            paletteKeepsAlpha ? o.transparency.mode : TransparencyMode::Remove;
        for (auto& f : work) {
            if (mode == TransparencyMode::Remove || mode == TransparencyMode::PaletteIndex)
                f->seeThrough.clear();
            else if (mode == TransparencyMode::Color)
                f->seeThrough = seeThroughFromColour(f->bitmap(), o.transparency.color);
        }
        const bool anySeeThrough =
            std::any_of(work.begin(), work.end(), [](auto& f) { return !f->seeThrough.empty(); });
        const bool transparency = anySeeThrough || mode == TransparencyMode::PaletteIndex;
        if (o.separatePalettes && transparency && !host.ask(kGifSeparatePalettesQuestion))
            return stopped();
        for (auto& f : work) hideInvisibleColours(f->bitmap(), f->seeThrough);

        HostProgress processing(host, kGifProcessing);
        image::ColourReduceOptions ro;
        ro.palette = o.palette;
        ro.dither = o.dither;
        ro.targetDepth = o.colorDepth;
        ro.sourceDepth = 32;
        // The fixed tables fill their entries with real colours; for minimising alone a free
        // entry is found (or the table grown) after mapping instead of giving one up.
        ro.reserveTransparent = transparency || (o.minimize && paletteKeepsAlpha);
        ro.progress = &processing;
        ro.cancel = &cancel;
        auto reduce = [&](std::span<const image::Bitmap32* const> images,
                          std::span<WorkFrame* const> targets) -> bool {
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
        std::vector<const image::Bitmap32*> images;
        std::vector<WorkFrame*> targets;
        for (auto& f : work) {
            images.push_back(&f->bitmap());
            targets.push_back(f.get());
        }
        bool reduced = true;
        if (o.separatePalettes) {
            for (std::size_t j = 0; j < work.size() && reduced; ++j)
                reduced = reduce(std::span(images).subspan(j, 1), std::span(targets).subspan(j, 1));
        } else {
            reduced = reduce(images, targets);
        }
        if (!reduced) {
            if (host.stopRequested()) return stopped();
            host.error(std::string(kGifCannotWrite) + " " + o.output.string());
            return result;
        }
        if (mode == TransparencyMode::PaletteIndex) {
            const auto chosen =
                static_cast<std::uint8_t>(std::clamp(o.transparency.paletteIndex, 0, 255));
            for (auto& f : work) {
                f->seeThrough.assign(f->indices.size(), 0);
                bool any = false;
                for (std::size_t i = 0; i < f->indices.size(); ++i)
                    if (f->indices[i] == chosen) {
                        f->seeThrough[i] = 1;
                        any = true;
                    }
                if (!any) f->seeThrough.clear();
            }
        }
        const bool needTransparent = transparency || o.minimize;
        if (o.separatePalettes) {
            for (auto& f : work)
                chooseTable({f.get()}, needTransparent, f->bits, f->transparentIndex);
        } else {
            std::int32_t bits = 8, t = -1;
            chooseTable(targets, needTransparent, bits, t);
            for (auto& f : work) {
                f->bits = bits;
                f->transparentIndex = t;
            }
        }

        // Writing: each frame as the rectangle it changes on the canvas.
        std::vector<std::string> comments;
        if (!o.comments.empty()) comments.push_back(o.comments);
        image::GifWriter writer;
        if (!writer.Open(o.output, &comments)) {
            host.error(std::string(kGifCannotWrite) + " " + o.output.string());
            return result;
        }
        const image::Bitmap32& first = work[0]->bitmap();
        AnimationCanvas canvas;
        std::vector<std::uint8_t> plane(pixelCount(first));
        if (!canvas.reset(first.width(), first.height())) {
            host.error(std::string(kGifCannotWrite) + " " + o.output.string());
            return result;
        }
        for (std::size_t j = 0; j < work.size(); ++j) {
            host.progress(kGifWriting, count, static_cast<std::int64_t>(j));
            if (host.stopRequested()) return stopped();
            WorkFrame& f = *work[j];
            IndexedFrame in;
            in.indices = f.indices.data();
            in.seeThrough =
                f.transparentIndex >= 0 && !f.seeThrough.empty() ? f.seeThrough.data() : nullptr;
            in.palette = f.palette.data();
            in.disposal = frames[j].disposal;
            const image::GifFrameRect rect =
                canvas.place(in, f.transparentIndex, o.minimize, plane);
            image::WriterImage img;
            img.pixels = plane.data();
            img.width = first.width();
            img.height = first.height();
            img.bits = f.bits;
            img.palette = f.palette;
            img.transparent = f.transparentIndex >= 0;
            img.transparentIndex = std::max(0, f.transparentIndex);
            img.gifDelay = std::min<std::uint32_t>(frames[j].delay, 65535);
            img.gifDisposal = frames[j].disposal;
            img.gifInterlaced = o.interlaced;
            img.gifGlobalPalette = !o.separatePalettes;
            if (!writer.writeFrame(img, rect)) {
                host.error(std::string(kGifCannotWrite) + " " + o.output.string());
                return result;
            }
            ++result.frames;
        }
        if (!writer.Close()) {
            host.error(std::string(kGifCannotWrite) + " " + o.output.string());
            result.frames = 0;
            return result;
        }
        host.progress(kGifWriting, count, count);
    } catch (const std::bad_alloc&) {
        host.error(std::string(kGifCannotWrite) + " " + o.output.string() + " (out of memory)");
        result.frames = 0;
        return result;
    }
    result.outcome = CompileOutcome::Written;
    return result;
}

}  // namespace kalder::tools
