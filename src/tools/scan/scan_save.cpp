#include "tools/scan/scan_save.h"

#include <algorithm>
#include <new>
#include <vector>

#include "base/strings.h"
#include "image/writers/image_writer.h"
#include "image/writers/writer_factory.h"
#include "image/writers/writer_options.h"

namespace kalder::tools {

const char* scanSaveExtension(ScanSaveType type) {
    switch (type) {
        case ScanSaveType::Jpeg:
            return "jpg";
        case ScanSaveType::Png:
            return "png";
        case ScanSaveType::Tga:
            return "tga";
        case ScanSaveType::Tiff:
            return "tif";
        case ScanSaveType::Bmp:
            break;
    }
    return "bmp";
}

std::optional<ScanSaveType> scanSaveTypeForPath(const std::filesystem::path& path) {
    std::string ext = base::toLowerAscii(path.extension().string());
    if (!ext.empty()) ext.erase(0, 1);
    if (ext == "bmp") return ScanSaveType::Bmp;
    if (ext == "jpg" || ext == "jpeg") return ScanSaveType::Jpeg;
    if (ext == "png") return ScanSaveType::Png;
    if (ext == "tga") return ScanSaveType::Tga;
    if (ext == "tif" || ext == "tiff") return ScanSaveType::Tiff;
    return std::nullopt;
}

ScanSaveType scanSaveTypeFromIndex(std::int32_t index) {
    if (index < 1 || index > 5) return ScanSaveType::Bmp;
    return static_cast<ScanSaveType>(index);
}

std::string scanDefaultName(std::int32_t saveCount, ScanSaveType type) {
    std::string name = "Output";
    if (saveCount > 0) name += std::to_string(saveCount);
    return name + "." + scanSaveExtension(type);
}

std::string switchScanExtension(std::string_view name, ScanSaveType type) {
    std::string out(name);
    const std::size_t slash = out.find_last_of("/\\");
    const std::size_t dot = out.find_last_of('.');
    // A dot in a folder name or a leading dot (a hidden file) is no extension.
    const std::size_t base = slash == std::string::npos ? 0 : slash + 1;
    if (dot != std::string::npos && dot > base) out.erase(dot);
    if (out.size() == base) return out;
    return out + "." + scanSaveExtension(type);
}

std::filesystem::path numberedScanPath(const std::filesystem::path& path, std::int32_t page) {
    return path.parent_path() /
           (path.stem().string() + "-" + std::to_string(page) + path.extension().string());
}

ScanSaveChoice matchScanExtension(ScanSaveChoice choice) {
    if (const auto typed = scanSaveTypeForPath(choice.path)) {
        choice.type = *typed;
    } else if (!choice.path.empty()) {
        choice.path += std::string(".") + scanSaveExtension(choice.type);
    }
    return choice;
}

image::Status writeScannedImage(const shell::ScannedImage& scan, ScanSaveType type,
                                const std::filesystem::path& path) {
    const image::Bitmap32* bitmap = scan.bitmap.get();
    if (!bitmap || bitmap->isEmpty()) return image::DecodeError::Corrupt;
    auto writer = image::createWriterForExtension(scanSaveExtension(type));
    if (!writer) return image::DecodeError::Unsupported;

    image::WriterImage in;
    in.width = bitmap->width();
    in.height = bitmap->height();
    in.dpiX = in.dpiY = std::max(0, scan.dpi);
    // Grey and line-art pages keep their small palette except where the format wants colour
    // rows: JPEG always, TGA for line art.
    const bool gray = scan.colour != shell::ScanColour::Color;
    bool indexed = gray && type != ScanSaveType::Jpeg;
    if (scan.colour == shell::ScanColour::LineArt && type == ScanSaveType::Tga) indexed = false;
    std::vector<std::uint8_t> indices;
    if (indexed) {
        try {
            indices.resize(static_cast<std::size_t>(in.width) *
                           static_cast<std::size_t>(in.height));
        } catch (const std::bad_alloc&) {
            return image::DecodeError::OutOfMemory;
        }
        const bool lineArt = scan.colour == shell::ScanColour::LineArt;
        in.bits = lineArt ? 1 : 8;
        for (int i = 0; i < 256; ++i)
            for (int c = 0; c < 3; ++c)
                in.palette[static_cast<std::size_t>(i * 3 + c)] = static_cast<std::uint8_t>(i);
        if (lineArt) {
            in.palette.fill(0);
            in.palette[3] = in.palette[4] = in.palette[5] = 255;
        }
        std::lock_guard lock(bitmap->pixelLock());
        std::size_t k = 0;
        for (std::int32_t y = 0; y < in.height; ++y) {
            const std::uint8_t* p = bitmap->row(y);
            for (std::int32_t x = 0; x < in.width; ++x, p += 4)
                indices[k++] = lineArt ? (p[0] >= 128 ? 1 : 0) : p[0];
        }
        in.pixels = indices.data();
    } else {
        in.bits = 32;
        in.pixels = bitmap->pixels();
    }

    switch (type) {
        case ScanSaveType::Bmp:
            image::applyBmpOptions(image::BmpOptions{}, in);
            break;
        case ScanSaveType::Jpeg: {
            image::JpegOptions o;
            o.gray = gray;
            image::applyJpegOptions(o, in);
            break;
        }
        case ScanSaveType::Png:
            image::applyPngOptions(image::PngOptions{}, in);
            break;
        case ScanSaveType::Tga:
            image::applyTgaOptions(image::TgaOptions{}, in);
            break;
        case ScanSaveType::Tiff:
            in.tiffCompression = 1;
            break;
    }

    KALDER_TRY(writer->Open(path));
    if (indexed) {
        KALDER_TRY(writer->Write(in));
    } else {
        // The colour rows are read straight from the bitmap.
        std::lock_guard lock(bitmap->pixelLock());
        KALDER_TRY(writer->Write(in));
    }
    return writer->Close();
}

void ScanSaveSession::beginRun() {
    m_run = {};
    m_runPages = 0;
    m_runCancelled = false;
}

ScanSaveSession::Outcome ScanSaveSession::save(const shell::ScannedImage& scan,
                                               const ScanSaveAsk& ask) {
    if (m_runCancelled) return Outcome::Cancelled;
    std::filesystem::path path;
    if (m_run.path.empty()) {
        const std::optional<ScanSaveChoice> choice = ask(ScanSaveRequest{
            scanDefaultName(m_saveCount, m_lastSaveType), m_lastSaveType, m_folder});
        if (!choice || choice->path.empty()) {
            m_runCancelled = true;
            return Outcome::Cancelled;
        }
        m_run = matchScanExtension(*choice);
        ++m_saveCount;
        m_lastSaveType = m_run.type;
        path = m_run.path;
    } else {
        // The Save dialog confirmed only the first name; later pages never replace a file.
        std::error_code ec;
        std::int32_t number = m_runPages + 1;
        do path = numberedScanPath(m_run.path, number++);
        while (std::filesystem::exists(path, ec));
    }
    ++m_runPages;
    return writeScannedImage(scan, m_run.type, path).ok() ? Outcome::Saved : Outcome::Failed;
}

}  // namespace kalder::tools
