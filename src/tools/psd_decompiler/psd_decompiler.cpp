#include "tools/psd_decompiler/psd_decompiler.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
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

fs::path psdLayerPath(const fs::path& stem, std::int32_t layer, PsdLayerFormat format, bool mask,
                      const std::string& name) {
    char number[16];
    std::snprintf(number, sizeof number, "_%03i", static_cast<int>(layer));
    std::string suffix = number;
    if (const std::string part = psdNameForFile(name); !part.empty()) suffix += "_" + part;
    if (mask) suffix += "_mask";
    suffix += format == PsdLayerFormat::PngWithAlpha && !mask ? ".png" : ".bmp";
    fs::path out = stem;
    out += suffix;
    return out;
}

std::string psdNameForFile(const std::string& name) {
    constexpr std::size_t kMaxBytes = 100;
    std::string out;
    for (unsigned char c : name) {
        // Besides "/" the characters other file systems (memory cards, shares) refuse.
        const bool refused = c < 0x20 || c == 0x7f || std::strchr("/\\:*?\"<>|", c) != nullptr;
        out.push_back(refused ? '_' : static_cast<char>(c));
    }
    const auto first = out.find_first_not_of(" .");
    if (first == std::string::npos) return {};
    out.erase(0, first);
    if (out.size() > kMaxBytes) {
        std::size_t end = kMaxBytes;
        // Back to the start of a character: never half of one.
        while (end > 0 && (static_cast<unsigned char>(out[end]) & 0xC0) == 0x80) --end;
        out.resize(end);
    }
    while (!out.empty() && (out.back() == ' ' || out.back() == '.')) out.pop_back();
    return out;
}

fs::path psdListPath(const fs::path& stem) {
    fs::path out = stem;
    out += "_layers.json";
    return out;
}

namespace {

enum class Step { Done, Skipped, Failed, Cancelled };

// A JSON string: quotes, backslashes and control characters escaped; the rest is UTF-8.
std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

// A blend mode key as text; bytes that are not printable ASCII become "?".
std::string blendKey(const std::string& key) {
    std::string out = key;
    for (char& c : out)
        if (c < 0x20 || c > 0x7e) c = '?';
    return out;
}

// The layer list as the decompiler writes it beside the layer files.
std::string layerList(const image::PsdLayerSet& set, const std::vector<fs::path>& files) {
    std::string out = "{\n  \"width\": " + std::to_string(set.width) +
                      ",\n  \"height\": " + std::to_string(set.height) + ",\n  \"layers\": [";
    for (std::size_t j = 0; j < set.layers.size(); ++j) {
        const image::PsdLayerRecord& l = set.layers[j];
        out += j ? ",\n    {" : "\n    {";
        out += "\"file\": " + jsonString(files[j].filename().string());
        out += ", \"name\": " + jsonString(l.name);
        out += ", \"left\": " + std::to_string(l.left);
        out += ", \"top\": " + std::to_string(l.top);
        out += ", \"width\": " + std::to_string(l.right - l.left);
        out += ", \"height\": " + std::to_string(l.bottom - l.top);
        out += ", \"opacity\": " + std::to_string(l.opacity);
        out += std::string(", \"visible\": ") + (l.hidden ? "false" : "true");
        out += ", \"blendMode\": " + jsonString(blendKey(l.blendMode)) + "}";
    }
    return out + "\n  ]\n}\n";
}

// A text file written the way the image writers write theirs: beside the target, renamed over
// it only when complete.
class TextFileWriter final : public image::ImageWriter {
public:
    image::Status Write(const image::WriterImage&) override {
        return image::DecodeError::Unsupported;
    }
    image::Status writeText(const std::string& text) {
        put(text.data(), text.size());
        return status();
    }
};

class Run {
public:
    Run(const PsdDecompileOptions& options, ToolHost& host, PsdDecompileResult& result)
        : m_options(options), m_host(host), m_result(result) {}

    bool file(const fs::path& path, std::int32_t index, std::int32_t count);

private:
    // Reading the file (layer -1) or writing layer `layer` of `layerCount`; false once the user
    // asked to stop.
    bool report(const fs::path& path, std::int32_t index, std::int32_t count, std::int32_t layer,
                std::int32_t layerCount) {
        ToolProgress p{layer < 0 ? "Reading ..." : "Writing ...",
                       layer < 0 ? 0 : 1,
                       2,
                       path,
                       index,
                       count,
                       std::max(layer, 0),
                       std::max(layerCount, 1)};
        m_host.progress(p);
        return !m_host.cancelled();
    }
    // Whether `target` may be written; Cancelled ends the run.
    Step mayWrite(const fs::path& target);
    Step write(const fs::path& target, const image::WriterImage& picture, bool png);
    Step writeList(const fs::path& target, const std::string& text);

    const PsdDecompileOptions& m_options;
    ToolHost& m_host;
    PsdDecompileResult& m_result;
    RememberedAnswer m_existing;
};

Step Run::mayWrite(const fs::path& target) {
    std::error_code ec;
    if (!fs::exists(target, ec)) return Step::Done;
    switch (m_existing.ask(m_host, {kPsdFileExists, target, kExistingFileAnswers})) {
        case ToolAnswer::Yes:
            return Step::Done;
        case ToolAnswer::No:
            return Step::Skipped;
        default:
            return Step::Cancelled;
    }
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

Step Run::writeList(const fs::path& target, const std::string& text) {
    const Step allowed = mayWrite(target);
    if (allowed != Step::Done) return allowed;
    TextFileWriter writer;
    if (!writer.Open(target).ok() || !writer.writeText(text).ok() || !writer.Close().ok())
        return Step::Failed;
    m_result.written.push_back(target);
    return Step::Done;
}

bool Run::file(const fs::path& path, std::int32_t index, std::int32_t count) {
    if (!report(path, index, count, -1, 0)) return false;
    auto set = image::readPsdLayers(path, m_options.expandToImage);
    if (!set) {
        m_host.error("Can't load PSD image: " + path.string());
        return false;
    }
    const fs::path stem = psdOutputStem(m_options.outputFolder, path);
    const bool png = m_options.format == PsdLayerFormat::PngWithAlpha;
    const auto layerCount = static_cast<std::int32_t>(set->layers.size());
    std::vector<std::uint8_t> pixels, alpha;
    std::vector<fs::path> files;
    auto failed = [&] {
        m_host.error("Can't convert PSD image: " + path.string());
        return false;
    };
    for (std::int32_t j = 0; j < layerCount; ++j) {
        if (!report(path, index, count, j, layerCount)) return false;
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
        if (png && !layer.name.empty()) picture.pngUtf8Texts.emplace_back("Title", layer.name);
        if (png && !m_options.expandToImage) {
            // Where the layer lies on the document, for programs that put layers back together.
            picture.pngOffset = true;
            picture.pngOffsetX = layer.left;
            picture.pngOffsetY = layer.top;
        }
        files.push_back(psdLayerPath(stem, j, m_options.format, false, layer.name));
        Step step = write(files.back(), picture, png);
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
            step = write(psdLayerPath(stem, j, m_options.format, true, layer.name), mask, false);
        }
        if (step == Step::Cancelled) return false;
        if (step == Step::Failed) return failed();
    }
    // Layers at their own size lose their place on the document unless it is written down.
    if (!m_options.expandToImage) {
        const Step step = writeList(psdListPath(stem), layerList(*set, files));
        if (step == Step::Cancelled) return false;
        if (step == Step::Failed) return failed();
    }
    return true;
}

}  // namespace

PsdDecompileResult decompilePsdFiles(const std::vector<fs::path>& files,
                                     const PsdDecompileOptions& options, ToolHost& host) {
    PsdDecompileResult result;
    Run run(options, host, result);
    const auto count = static_cast<std::int32_t>(files.size());
    for (std::int32_t i = 0; i < count; ++i)
        if (!run.file(files[static_cast<std::size_t>(i)], i, count)) return result;
    result.completed = true;
    return result;
}

}  // namespace kalder::tools
