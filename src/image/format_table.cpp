#include "image/format_table.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "base/byte_order.h"
#include "base/strings.h"
#include "base/translatable.h"
#include "image/image_reader.h"
#include "image/readers/reader_factory.h"

namespace kalder::image {
namespace {

using FC = FormatCode;

constexpr std::array<FormatRecord, 22> kFormats{{
    {"ANI", "Windows Animated Cursor", FC::Ani, ".ANI", 0, 0, 0},
    {"BMP", "Windows Bitmap", FC::Bmp, ".BMP", 1, 1, 2},
    {"CUR", "Windows Cursor", FC::Cur, ".CUR", 2, 3, 3},
    {"GIF", "CompuServe GIF", FC::Gif, ".GIF", 3, 4, 4},
    {"ICO", "Windows Icon", FC::Ico, ".ICO", 4, 5, 5},
    {"IFF", "IFF (Amiga Interchange File Format)", FC::Iff, ".IFF", 5, 33, 34},
    {"JPEG-2000", "", FC::Jpeg2000, ".JP2", 6, 29, 32},
    {"JPEG", "", FC::Jpeg, ".JPEG", 7, 6, 11},
    {"WMF/EMF", "Windows Metafile", FC::Metafile, ".MF", 8, 26, 28},
    {"PCX", "PCX (ZSoft Paintbrush Image)", FC::Pcx, ".PCX", 9, 16, 16},
    {"PBM/PGM/PPM", "Portable Bitmap", FC::Pnm, ".PM", 10, 12, 15},
    {"PNG", "", FC::Png, ".PNG", 11, 17, 17},
    {"PSD", "Adobe Photoshop Image", FC::Psd, ".PSD", 12, 18, 18},
    {"RAS", "Sun Raster Image", FC::SunRaster, ".RAS", 13, 19, 20},
    {"RLE", "Utah RLE", FC::UtahRle, ".RLE", 14, 35, 35},
    {"RGB", "Silicon Graphics Image", FC::Sgi, ".RGB", 15, 21, 22},
    {"TGA", "TGA (Truevision Targa Image)", FC::Tga, ".TGA", 16, 23, 23},
    {"TIFF", "", FC::Tiff, ".TIFF", 17, 24, 25},
    {"WEBP", "WebP Image", FC::WebP, ".WEBP", 18, 36, 36},
    {"AVIF", "AV1 Image File Format", FC::Avif, ".AVIF", 19, 37, 37},
    {"HEIF", "High Efficiency Image File", FC::Heif, ".HEIC", 20, 38, 40},
    {"JPEG XL", "", FC::JpegXl, ".JXL", 21, 41, 41},
}};

constexpr std::array<ExtensionRecord, 42> kExtensions{{
    {".ani", FC::Ani},      {".bmp", FC::Bmp},       {".dib", FC::Bmp},
    {".cur", FC::Cur},      {".gif", FC::Gif},       {".ico", FC::Ico},
    {".jpg", FC::Jpeg},     {".jpeg", FC::Jpeg},     {".jpe", FC::Jpeg},
    {".jif", FC::Jpeg},     {".jff", FC::Jpeg},      {".jfif", FC::Jpeg},
    {".pbm", FC::Pnm},      {".pgm", FC::Pnm},       {".ppm", FC::Pnm},
    {".pnm", FC::Pnm},      {".pcx", FC::Pcx},       {".png", FC::Png},
    {".psd", FC::Psd},      {".ras", FC::SunRaster}, {".sun", FC::SunRaster},
    {".rgb", FC::Sgi},      {".sgi", FC::Sgi},       {".tga", FC::Tga},
    {".tif", FC::Tiff},     {".tiff", FC::Tiff},     {".wmf", FC::Metafile},
    {".apm", FC::Metafile}, {".emf", FC::Metafile},  {".j2k", FC::Jpeg2000},
    {".jpc", FC::Jpeg2000}, {".jp2", FC::Jpeg2000},  {".jpf", FC::Jpeg2000},
    {".iff", FC::Iff},      {".lbm", FC::Iff},       {".rle", FC::UtahRle},
    {".webp", FC::WebP},    {".avif", FC::Avif},     {".heic", FC::Heif},
    {".heif", FC::Heif},    {".hif", FC::Heif},      {".jxl", FC::JpegXl},
}};

// The names are shown translated; the patterns stay as they are.
constexpr std::string_view kFilter =
    QT_TRANSLATE_NOOP("Filters", "All supported image files") "|*.ani;*.bmp;*.dib;*.cur;*.gif;*.ico;*.jpg;*.jpeg;*.jpe;*.jif;"
    "*.jff;*.jfif;*.pbm;*.pgm;*.ppm;*.pnm;*.pcx;*.png;*.psd;*.ras;*.sun;*.rgb;*.sgi;*.tga;*.tif;"
    "*.tiff;*.wmf;*.apm;*.emf;*.j2k;*.jpc;*.jp2;*.jpf;*.iff;*.lbm;*.rle;*.webp;*.avif;*.heic;*."
    "heif;*.hif;*.jxl|" QT_TRANSLATE_NOOP("Filters", "All files (*.*)") "|*.*||";

// Enough of the file for every content test (the furthest looks at offset 896 + 12).
constexpr std::size_t kHeadSize = 1024;

std::int32_t indexOfCode(FormatCode code) {
    const FormatRecord* r = formatByCode(code);
    return r ? r->index : -1;
}

bool bytesAt(std::span<const std::uint8_t> head, std::size_t offset, std::string_view bytes) {
    if (offset + bytes.size() > head.size()) return false;
    return std::memcmp(head.data() + offset, bytes.data(), bytes.size()) == 0;
}

// A signature at 0, 128, 256, ... 896 (eight places).
bool atBlockStarts(std::span<const std::uint8_t> head, std::string_view bytes) {
    for (std::size_t offset = 0; offset <= 896; offset += 128)
        if (bytesAt(head, offset, bytes)) return true;
    return false;
}

// An ISO media file starts with its file-type box: size, "ftyp", the major brand, a minor
// version and compatible brands. The picture formats tell themselves by the brands; the
// generic still and sequence brands (mif1, msf1) need the compatible list to tell AV1 from
// HEVC.
std::optional<FormatCode> isoMediaCode(std::span<const std::uint8_t> h) {
    using namespace std::string_view_literals;
    if (!bytesAt(h, 4, "ftyp"sv) || h.size() < 16) return std::nullopt;
    const std::uint32_t boxSize = base::u32beAt(h, 0);
    if (boxSize < 16 || boxSize % 4 != 0) return std::nullopt;
    const std::size_t end = std::min<std::size_t>(boxSize, h.size());
    auto isAvif = [](std::span<const std::uint8_t> b) {
        return bytesAt(b, 0, "avif"sv) || bytesAt(b, 0, "avis"sv);
    };
    auto isHevc = [](std::span<const std::uint8_t> b) {
        for (std::string_view brand : {"heic"sv, "heix"sv, "heim"sv, "heis"sv, "hevc"sv, "hevx"sv})
            if (bytesAt(b, 0, brand)) return true;
        return false;
    };
    const auto major = h.subspan(8, 4);
    if (isAvif(major)) return FC::Avif;
    if (isHevc(major)) return FC::Heif;
    bool generic = bytesAt(major, 0, "mif1"sv) || bytesAt(major, 0, "msf1"sv);
    std::optional<FormatCode> found;
    for (std::size_t o = 16; o + 4 <= end; o += 4) {
        const auto brand = h.subspan(o, 4);
        if (isAvif(brand)) return FC::Avif;
        if (isHevc(brand)) found = FC::Heif;
        if (bytesAt(brand, 0, "mif1"sv) || bytesAt(brand, 0, "msf1"sv)) generic = true;
    }
    return generic ? found : std::nullopt;
}

std::optional<FormatCode> contentCode(std::span<const std::uint8_t> h) {
    using namespace std::string_view_literals;
    if (atBlockStarts(h, "\xFF\xD8\xFF"sv)) return FC::Jpeg;
    if (bytesAt(h, 0, "GIF87a"sv) || bytesAt(h, 0, "GIF89a"sv)) return FC::Gif;
    if (bytesAt(h, 0, "\x89PNG\r\n\x1A\n"sv)) return FC::Png;
    if (bytesAt(h, 0, "RIFF"sv) && bytesAt(h, 8, "WEBP"sv)) return FC::WebP;
    if (auto iso = isoMediaCode(h)) return iso;
    if (bytesAt(h, 0, "\xFF\x0A"sv) || bytesAt(h, 0, "\x00\x00\x00\x0CJXL \r\n\x87\n"sv))
        return FC::JpegXl;
    if (bytesAt(h, 0, "BM"sv)) return FC::Bmp;
    if (bytesAt(h, 0, "II"sv) || bytesAt(h, 0, "MM"sv)) return FC::Tiff;
    for (std::size_t offset = 0; offset <= 896; offset += 128) {
        if (offset + 12 > h.size()) break;  // twelve bytes must be readable
        if (bytesAt(h, offset, "\xFF\x4F\xFF"sv) ||
            bytesAt(h, offset, "\x00\x00\x00\x0CjP  \r\n\x87\n"sv) ||
            bytesAt(h, offset, "\x00\x00\x00\x0CjP\x1A\x1A\r\n\x87\n"sv))
            return FC::Jpeg2000;
    }
    if (bytesAt(h, 0, "8BPS"sv)) return FC::Psd;
    if (bytesAt(h, 0, "RIFF"sv) && bytesAt(h, 8, "ACON"sv)) return FC::Ani;
    if (h.size() >= 100 && (bytesAt(h, 40, " EMF"sv) || base::u32leAt(h, 0) == 0x9AC6CDD7u ||
                            (base::u16leAt(h, 0) == 1 && base::u16leAt(h, 2) == 9)))
        return FC::Metafile;
    if (h.size() >= 2 && h[0] == 0x0A && (h[1] == 2 || h[1] == 5)) return FC::Pcx;
    if (h.size() >= 2 && h[0] == 'P' && h[1] >= '1' && h[1] <= '6') return FC::Pnm;
    if (bytesAt(h, 0, "\x01\xDA"sv)) return FC::Sgi;
    if (bytesAt(h, 0, "\x59\xA6\x6A\x95"sv)) return FC::SunRaster;
    if (bytesAt(h, 0, "FORM"sv) && bytesAt(h, 8, "ILBM"sv)) return FC::Iff;
    if (bytesAt(h, 0, "\x52\xCC"sv)) return FC::UtahRle;
    if (h.size() >= 17) {
        // Type 11 (run-length gray) is as ordinary as the others and the reader handles it.
        const std::uint8_t type = h[2], depth = h[16];
        if ((type == 1 || type == 2 || type == 3 || type == 9 || type == 10 || type == 11) &&
            (depth == 8 || depth == 16 || depth == 24 || depth == 32))
            return FC::Tga;
    }
    if (h.size() >= 4 && base::u32leAt(h, 0) == 0x00010000u) return FC::Ico;
    if (h.size() >= 4 && base::u32leAt(h, 0) == 0x00020000u) return FC::Cur;
    return std::nullopt;
}

}  // namespace

std::span<const FormatRecord> formatTable() { return kFormats; }
std::span<const ExtensionRecord> extensionTable() { return kExtensions; }
std::string_view fileDialogFilter() { return kFilter; }

const FormatRecord* formatByCode(FormatCode code) {
    for (const auto& r : kFormats)
        if (r.code == code) return &r;
    return nullptr;
}

std::int32_t detectFormatInMemory(std::span<const std::uint8_t> head) {
    auto code = contentCode(head);
    return code ? indexOfCode(*code) : -1;
}

std::int32_t DetectFormat(const std::filesystem::path& path, DetectMode mode) {
    if (mode == DetectMode::ByExtension) {
        const std::string name = path.filename().string();
        const auto dot = name.rfind('.');
        if (dot == std::string::npos) return -1;
        const std::string ext = base::toLowerAscii(std::string_view(name).substr(dot));
        for (const auto& e : kExtensions)
            if (e.extension == ext) return indexOfCode(e.code);
        return -1;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) return -1;
    std::vector<std::uint8_t> head(kHeadSize);
    in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
    if (in.bad()) return -1;
    head.resize(static_cast<std::size_t>(in.gcount()));
    return detectFormatInMemory(head);
}

std::unique_ptr<ImageReader> createReaderForCode(FormatCode code) {
    switch (code) {
        case FC::Bmp:
            return makeBmpReader();
        case FC::Gif:
            return makeGifReader();
        case FC::Ico:
        case FC::Cur:
            return makeIconReader();
        case FC::Jpeg:
            return makeJpegReader();
        case FC::Pcx:
            return makePcxReader();
        case FC::Png:
            return makePngReader();
        case FC::Tiff:
            return makeTiffReader();
        case FC::Tga:
            return makeTgaReader();
        case FC::Metafile:
            return makeMetafileReader();
        case FC::Ani:
            return makeAniReader();
        case FC::Pnm:
            return makePnmReader();
        case FC::SunRaster:
            return makeSunRasterReader();
        case FC::Sgi:
            return makeSgiReader();
        case FC::Psd:
            return makePsdReader();
        case FC::Jpeg2000:
            return makeJpeg2000Reader();
        case FC::Iff:
            return makeIffReader();
        case FC::UtahRle:
            return makeUtahRleReader();
        case FC::WebP:
            return makeWebpReader();
        case FC::Avif:
        case FC::Heif:
            return makeHeifReader();
        case FC::JpegXl:
            return makeJxlReader();
    }
    return nullptr;
}

std::unique_ptr<ImageReader> CreateReader(const std::filesystem::path& path) {
    const std::int32_t index = DetectFormat(path, DetectMode::ByContent);
    if (index < 0) return nullptr;
    return createReaderForCode(kFormats[static_cast<std::size_t>(index)].code);
}

}  // namespace kalder::image
