// Compiling: each frame's colour image and mask, then the icon, cursor or animated-cursor writer.
#include <algorithm>
#include <system_error>

#include "image/colour_reducer.h"
#include "image/image_document.h"
#include "image/writers/icon_writer.h"
#include "tools/icon_compiler/icon_compiler.h"
#include "tools/icon_compiler/icon_compiler_p.h"

namespace kalder::tools {

using namespace icon_text;

namespace {

// One frame made ready for a writer; owns the buffers the WriterImage points at.
struct PreparedFrame {
    std::vector<std::uint8_t> pixels;
    std::vector<std::uint8_t> opacity;  // empty: the page has no mask
    image::WriterImage image;
    std::int32_t hotSpotX = 0;
    std::int32_t hotSpotY = 0;
    std::uint32_t delay = 0;
};

// Opacity per pixel from the row's mask; empty when the page has none of its own either.
std::vector<std::uint8_t> maskOf(const IconPage& row, const image::ImagePage& page,
                                 const std::vector<IconSource>& sources) {
    const image::Bitmap32& b = page.bitmap;
    const std::size_t n = static_cast<std::size_t>(b.width()) * b.height();
    std::vector<std::uint8_t> out;
    if (row.maskKind == IconMaskKind::Image && row.maskSource >= 0) {
        const image::Bitmap32& m = sources[static_cast<std::size_t>(row.maskSource)].page(0).bitmap;
        if (m.width() != b.width() || m.height() != b.height()) return out;
        out.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint8_t* p = m.pixels() + i * 4;
            out[i] = static_cast<std::uint8_t>((p[0] + p[1] + p[2]) / 3);
        }
    } else if (row.maskKind == IconMaskKind::Colour) {
        out.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint8_t* p = b.pixels() + i * 4;
            const bool match = p[2] == row.red && p[1] == row.green && p[0] == row.blue;
            out[i] = match ? 0 : 255;
        }
    } else if (page.alphaPlane.size() == n) {
        out = page.alphaPlane;
    }
    return out;
}

// The colour image and mask of one frame, with every masked pixel black; `noBlack` is set
// when a paletted page has no black to give them.
image::Status prepare(const IconFrame& frame, const IconPage& row,
                      const std::vector<IconSource>& sources, PreparedFrame& out, bool& noBlack) {
    const image::ImagePage& page = sources[static_cast<std::size_t>(frame.source)].page(frame.page);
    const image::Bitmap32& b = page.bitmap;
    out.opacity = maskOf(row, page, sources);
    image::WriterImage& w = out.image;
    if (page.bitsPerPixel >= 1 && page.bitsPerPixel <= 8) {
        // Back to the page's own palette, colour by colour.
        image::ColourReducer reducer;
        image::ColourReduceOptions options;
        options.sourceDepth = static_cast<std::int32_t>(page.bitsPerPixel);
        options.targetDepth = options.sourceDepth;
        options.sourcePalette = page.palette;
        const image::Bitmap32* images[] = {&b};
        KALDER_TRY(reducer.Setup(images, options));
        KALDER_TRY(reducer.BuildPalette());
        auto indexes = reducer.MapImage(0);
        if (!indexes) return indexes.error();
        out.pixels = std::move(*indexes);
        reducer.fillWriterImage(w, out.pixels);
        w.transparent = false;
        if (out.opacity.empty() && page.transparentIndex >= 0) {
            w.transparent = true;
            w.transparentIndex = page.transparentIndex;
            out.opacity.assign(out.pixels.size(), 255);
            for (std::size_t i = 0; i < out.pixels.size(); ++i)
                if (out.pixels[i] == page.transparentIndex) out.opacity[i] = 0;
        }
        if (!out.opacity.empty()) {
            const std::int32_t entries = 1 << w.bits;
            std::int32_t black = -1;
            for (std::int32_t i = 0; i < entries && black < 0; ++i)
                if (w.palette[i * 3] == 0 && w.palette[i * 3 + 1] == 0 && w.palette[i * 3 + 2] == 0)
                    black = i;
            const bool anyMasked =
                std::find(out.opacity.begin(), out.opacity.end(), 0) != out.opacity.end();
            if (black < 0 && anyMasked) noBlack = true;
            for (std::size_t i = 0; black >= 0 && i < out.pixels.size(); ++i)
                if (out.opacity[i] == 0) out.pixels[i] = static_cast<std::uint8_t>(black);
        }
    } else {
        out.pixels.assign(b.pixels(), b.pixels() + b.byteSize());
        for (std::size_t i = 0; i < out.opacity.size(); ++i)
            if (out.opacity[i] == 0) std::fill_n(out.pixels.begin() + i * 4, 4, 0);
        w.pixels = out.pixels.data();
        w.width = b.width();
        w.height = b.height();
        w.bits = 32;
    }
    w.alphaPlane = out.opacity.empty() ? nullptr : out.opacity.data();
    if (row.wholeSource()) {
        // A whole multi-page source keeps the hot spots its own pages have.
        out.hotSpotX = std::max(page.hotSpotX, 0);
        out.hotSpotY = std::max(page.hotSpotY, 0);
    } else {
        out.hotSpotX = row.hotSpotX;
        out.hotSpotY = row.hotSpotY;
    }
    out.delay = frame.delay;
    return {};
}

}  // namespace

std::vector<IconFrame> IconCompiler::frames() const {
    std::vector<IconFrame> out;
    for (std::size_t r = 0; r < m_pages.size(); ++r) {
        const IconPage& p = m_pages[r];
        const IconSource& s = m_sources[static_cast<std::size_t>(p.source)];
        const std::int32_t first = p.wholeSource() ? 0 : p.page;
        const std::int32_t last = p.wholeSource() ? s.pageCount - 1 : p.page;
        for (std::int32_t i = first; i <= last; ++i)
            out.push_back({static_cast<std::int32_t>(r), p.source, i, p.delay});
    }
    return out;
}

bool IconCompiler::compile(const std::filesystem::path& output, IconOutputType type) {
    if (m_pages.empty()) return false;
    std::error_code ec;
    if (std::filesystem::exists(output, ec) && !isYes(m_host.ask({kOverwrite}))) return false;

    std::unique_ptr<image::ImageWriter> writer =
        type == IconOutputType::AnimatedCursor
            ? image::makeAniWriter()
            : image::makeIconWriter(type == IconOutputType::Cursor ? image::IconFileType::Cursor
                                                                   : image::IconFileType::Icon);
    bool noBlack = false;
    bool ok = writer->Open(output).ok();
    for (const IconFrame& frame : frames()) {
        if (!ok) break;
        PreparedFrame prepared;
        ok = prepare(frame, m_pages[static_cast<std::size_t>(frame.row)], m_sources, prepared,
                     noBlack)
                 .ok();
        if (!ok) break;
        if (auto* ani = dynamic_cast<image::AniWriter*>(writer.get()))
            ani->setFrame(prepared.hotSpotX, prepared.hotSpotY, prepared.delay);
        else if (auto* icon = dynamic_cast<image::IconWriter*>(writer.get()))
            icon->setHotSpot(prepared.hotSpotX, prepared.hotSpotY);
        ok = writer->Write(prepared.image).ok();
    }
    if (noBlack) m_host.warning(kNoBlack);
    if (ok) ok = writer->Close().ok();
    writer.reset();  // a failed writer takes its temporary file with it
    if (!ok) m_host.error(kWriteFailed);
    return ok;
}

}  // namespace kalder::tools
