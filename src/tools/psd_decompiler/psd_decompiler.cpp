#include "tools/psd_decompiler/psd_decompiler.h"

#include <cstdio>
#include <memory>
#include <system_error>

#include "image/readers/psd_layers.h"
#include "image/writers/image_writer.h"
#include "image/writers/writer_factory.h"

namespace kalder::tools {
namespace fs = std::filesystem;

PsdDecompileOptions loadPsdOptions(const PsdSettingsFields& stored) {
    PsdDecompileOptions options;
    options.format = stored[0] == 1 ? PsdLayerFormat::PngWithAlpha : PsdLayerFormat::BmpWithMask;
    options.expandToImage = stored[1] != 0;
    return options;
}

void storePsdOptions(const PsdDecompileOptions& options, PsdSettingsFields& stored) {
    stored[0] = static_cast<std::int32_t>(options.format);
    stored[1] = options.expandToImage ? 1 : 0;
}

fs::path psdOutputStem(const fs::path& folder, const fs::path& file) {
    // No folder means beside the file, not the root or wherever the program was started.
    return (folder.empty() ? file.parent_path() : folder) / file.stem();
}

fs::path psdLayerPath(const fs::path& stem, std::int32_t layer, PsdLayerFormat format, bool mask) {
    char suffix[32];
    const char* ext = format == PsdLayerFormat::PngWithAlpha && !mask ? "png" : "bmp";
    std::snprintf(suffix, sizeof suffix, "_%03i%s.%s", static_cast<int>(layer), mask ? "_mask" : "",
                  ext);
    fs::path out = stem;
    out += suffix;
    return out;
}

namespace {

enum class Step { Done, Skipped, Failed, Cancelled };

class Run {
public:
    Run(const PsdDecompileOptions& options, PsdDecompilerHost& host, PsdDecompileResult& result)
        : m_options(options), m_host(host), m_result(result) {}

    bool file(const fs::path& path, std::int32_t index, std::int32_t count);

private:
    // Whether `target` may be written; Cancelled ends the run.
    Step mayWrite(const fs::path& target);
    Step write(const fs::path& target, const image::WriterImage& picture, bool png);

    const PsdDecompileOptions& m_options;
    PsdDecompilerHost& m_host;
    PsdDecompileResult& m_result;
    bool m_overwriteAll = false;
    bool m_skipAll = false;
};

Step Run::mayWrite(const fs::path& target) {
    std::error_code ec;
    if (!fs::exists(target, ec) || m_overwriteAll) return Step::Done;
    if (m_skipAll) return Step::Skipped;
    switch (m_host.fileExists(target)) {
        case PsdExistingFile::Overwrite:
            return Step::Done;
        case PsdExistingFile::OverwriteAll:
            m_overwriteAll = true;
            return Step::Done;
        case PsdExistingFile::Skip:
            return Step::Skipped;
        case PsdExistingFile::SkipAll:
            m_skipAll = true;
            return Step::Skipped;
        case PsdExistingFile::Cancel:
            break;
    }
    return Step::Cancelled;
}

Step Run::write(const fs::path& target, const image::WriterImage& picture, bool png) {
    const Step allowed = mayWrite(target);
    if (allowed != Step::Done) return allowed;
    // The writers build the file beside the target and rename it only once it is complete.
    auto writer = png ? image::createWriterForExtension("png") : image::makeBmpWriter();
    if (!writer || !writer->Open(target).ok() || !writer->Write(picture).ok() ||
        !writer->Close().ok())
        return Step::Failed;
    m_result.written.push_back(target);
    return Step::Done;
}

bool Run::file(const fs::path& path, std::int32_t index, std::int32_t count) {
    if (m_host.progress(path, index, count, -1, 0)) return false;
    auto set = image::readPsdLayers(path, m_options.expandToImage);
    if (!set) {
        m_host.error("Can't load PSD image: " + path.string());
        return false;
    }
    const fs::path stem = psdOutputStem(m_options.outputFolder, path);
    const bool png = m_options.format == PsdLayerFormat::PngWithAlpha;
    const auto layerCount = static_cast<std::int32_t>(set->layers.size());
    std::vector<std::uint8_t> pixels, alpha;
    for (std::int32_t j = 0; j < layerCount; ++j) {
        if (m_host.progress(path, index, count, j, layerCount)) return false;
        const image::PsdLayerRecord& layer = set->layers[static_cast<std::size_t>(j)];
        const std::int32_t w = layer.right - layer.left;
        const std::int32_t h = layer.bottom - layer.top;
        const std::size_t n = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
        pixels.assign(n * 4, 0);
        alpha.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint8_t* rgba = layer.rgba.data() + 4 * i;
            pixels[4 * i] = rgba[2];
            pixels[4 * i + 1] = rgba[1];
            pixels[4 * i + 2] = rgba[0];
            alpha[i] = rgba[3];
        }
        image::WriterImage picture;
        picture.pixels = pixels.data();
        picture.width = w;
        picture.height = h;
        picture.bits = 32;
        if (png && layer.hasTransparency) picture.alphaPlane = alpha.data();
        Step step = write(psdLayerPath(stem, j, m_options.format), picture, png);
        if (step == Step::Done && !png && layer.hasTransparency) {
            image::WriterImage mask;
            mask.pixels = alpha.data();
            mask.width = w;
            mask.height = h;
            mask.bits = 8;
            for (int g = 0; g < 256; ++g)
                for (int c = 0; c < 3; ++c)
                    mask.palette[static_cast<std::size_t>(g) * 3 + c] =
                        static_cast<std::uint8_t>(g);
            step = write(psdLayerPath(stem, j, m_options.format, true), mask, false);
        }
        if (step == Step::Cancelled) return false;
        if (step == Step::Failed) {
            m_host.error("Can't convert PSD image: " + path.string());
            return false;
        }
    }
    return true;
}

}  // namespace

PsdDecompileResult decompilePsdFiles(const std::vector<fs::path>& files,
                                     const PsdDecompileOptions& options, PsdDecompilerHost& host) {
    PsdDecompileResult result;
    Run run(options, host, result);
    const auto count = static_cast<std::int32_t>(files.size());
    for (std::int32_t i = 0; i < count; ++i)
        if (!run.file(files[static_cast<std::size_t>(i)], i, count)) return result;
    result.completed = true;
    return result;
}

}  // namespace kalder::tools
