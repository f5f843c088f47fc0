#include "support/test_support.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "image/format_table.h"
#include "image/image_reader.h"

namespace kalder::test {
namespace fs = std::filesystem;

TempDir::TempDir() {
    std::random_device rd;
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto candidate = fs::temp_directory_path() / ("kalder-test-" + std::to_string(rd()));
        if (fs::create_directory(candidate)) {
            m_path = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary directory");
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(m_path, ec);
}

void writeFile(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeText(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Bytes& Bytes::u8(std::uint32_t v) {
    data.push_back(static_cast<std::uint8_t>(v));
    return *this;
}
Bytes& Bytes::u16le(std::uint32_t v) { return u8(v).u8(v >> 8); }
Bytes& Bytes::u16be(std::uint32_t v) { return u8(v >> 8).u8(v); }
Bytes& Bytes::u32le(std::uint32_t v) { return u16le(v).u16le(v >> 16); }
Bytes& Bytes::u32be(std::uint32_t v) { return u16be(v >> 16).u16be(v); }
Bytes& Bytes::str(const std::string& s) {
    data.insert(data.end(), s.begin(), s.end());
    return *this;
}
Bytes& Bytes::fill(std::size_t n, std::uint8_t v) {
    data.insert(data.end(), n, v);
    return *this;
}
Bytes& Bytes::append(const std::vector<std::uint8_t>& other) {
    data.insert(data.end(), other.begin(), other.end());
    return *this;
}

RgbImage toRgb(const image::Bitmap32& bitmap) {
    RgbImage out;
    out.width = bitmap.width();
    out.height = bitmap.height();
    out.rgb.resize(static_cast<std::size_t>(out.width) * out.height * 3);
    for (std::int32_t y = 0; y < out.height; ++y) {
        const std::uint8_t* s = bitmap.row(y);
        for (std::int32_t x = 0; x < out.width; ++x) {
            std::uint8_t* d = out.rgb.data() + (static_cast<std::size_t>(y) * out.width + x) * 3;
            d[0] = s[x * 4 + 2];
            d[1] = s[x * 4 + 1];
            d[2] = s[x * 4];
        }
    }
    return out;
}

int maxChannelDifference(const RgbImage& a, const RgbImage& b) {
    if (a.width != b.width || a.height != b.height || a.rgb.size() != b.rgb.size()) return -1;
    int worst = 0;
    for (std::size_t i = 0; i < a.rgb.size(); ++i)
        worst = std::max(worst, std::abs(int(a.rgb[i]) - int(b.rgb[i])));
    return worst;
}

std::optional<RgbImage> decodeWithKalder(const fs::path& path, int page, bool blendAlpha,
                                         image::ColorRef background) {
    image::ImageDocument doc;
    image::LoadOptions options;
    options.path = path;
    options.blendAlpha = blendAlpha;
    options.backgroundColour = background;
    if (!doc.Open(options)) return std::nullopt;
    for (int i = 0; i <= page; ++i) {
        if (!doc.AddPage() || !doc.DecodePage()) return std::nullopt;
    }
    return toRgb(doc.PageAt(page).bitmap);
}

namespace {

std::optional<std::string> runCapture(const std::string& command) {
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return std::nullopt;
    std::string out;
    std::array<char, 65536> buffer{};
    std::size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        out.append(buffer.data(), n);
    const int status = ::pclose(pipe);
    if (status != 0) return std::nullopt;
    return out;
}

std::string shellQuote(const std::string& s) {
    std::string out = "'";
    for (char c : s) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

// Parses a binary P6 with maxval 255.
std::optional<RgbImage> parsePpm(const std::string& data) {
    std::istringstream in(data);
    // Header tokens, skipping comments (some tools copy a source file's comments into them).
    auto token = [&in]() {
        std::string t;
        while (in >> t) {
            if (t[0] != '#') return t;
            std::string rest;
            std::getline(in, rest);
        }
        return std::string();
    };
    const std::string magic = token();
    int w = 0, h = 0, maxval = 0;
    try {
        w = std::stoi(token());
        h = std::stoi(token());
        maxval = std::stoi(token());
    } catch (...) {
        return std::nullopt;
    }
    if (magic != "P6" || w <= 0 || h <= 0 || maxval != 255) return std::nullopt;
    in.get();
    RgbImage img;
    img.width = w;
    img.height = h;
    img.rgb.resize(static_cast<std::size_t>(w) * h * 3);
    in.read(reinterpret_cast<char*>(img.rgb.data()), static_cast<std::streamsize>(img.rgb.size()));
    if (in.gcount() != static_cast<std::streamsize>(img.rgb.size())) return std::nullopt;
    return img;
}

}  // namespace

bool havePillow() {
    static const bool have = std::system("/usr/bin/python3 -c 'import PIL' >/dev/null 2>&1") == 0;
    return have;
}

std::optional<RgbImage> decodeWithPillow(const fs::path& path, int frame) {
    if (!havePillow()) return std::nullopt;
    const std::string script =
        "import sys\nfrom PIL import Image\nim=Image.open(sys.argv[1])\n"
        "im.seek(int(sys.argv[2]))\nim=im.convert('RGB')\n"
        "sys.stdout.buffer.write(b'P6 %d %d 255\\n' % im.size + im.tobytes())\n";
    auto out = runCapture("/usr/bin/python3 -c " + shellQuote(script) + " " +
                          shellQuote(path.string()) + " " + std::to_string(frame) + " 2>/dev/null");
    if (!out) return std::nullopt;
    return parsePpm(*out);
}

bool haveImageMagick() {
    static const bool have = std::system("convert -version >/dev/null 2>&1") == 0;
    return have;
}

std::optional<RgbImage> decodeWithImageMagick(const fs::path& path, int frame) {
    if (!haveImageMagick()) return std::nullopt;
    auto out =
        runCapture("convert " + shellQuote(path.string() + "[" + std::to_string(frame) + "]") +
                   " -auto-orient -depth 8 ppm:- 2>/dev/null");
    if (!out) return std::nullopt;
    return parsePpm(*out);
}

fs::path sourceDir() {
    if (const char* dir = std::getenv("KALDER_SOURCE_DIR")) return dir;
    return fs::current_path();
}

std::optional<fs::path> externalTestData() {
    const fs::path candidate = sourceDir().parent_path() / "shared" / "testdata" / "external";
    std::error_code ec;
    if (fs::is_directory(candidate, ec)) return candidate;
    return std::nullopt;
}

std::vector<ManifestEntry> manifestEntries(const std::string& family) {
    std::vector<ManifestEntry> out;
    const auto root = externalTestData();
    if (!root) return out;
    std::ifstream in(*root / "MANIFEST.tsv");
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        ManifestEntry e;
        std::getline(fields, e.path, '\t');
        std::getline(fields, e.family, '\t');
        std::getline(fields, e.status, '\t');
        if (e.family == family) out.push_back(std::move(e));
    }
    return out;
}

std::vector<std::uint8_t> bmp24(int width, int height,
                                const std::function<std::uint32_t(int x, int y)>& rgb) {
    const int stride = (width * 3 + 3) & ~3;
    Bytes b;
    b.str("BM").u32le(54 + stride * height).u32le(0).u32le(54);
    b.u32le(40).u32le(width).u32le(height).u16le(1).u16le(24).u32le(0).u32le(stride * height);
    b.u32le(2835).u32le(2835).u32le(0).u32le(0);
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            const std::uint32_t c = rgb(x, y);
            b.u8(c & 0xFF).u8((c >> 8) & 0xFF).u8((c >> 16) & 0xFF);
        }
        b.fill(static_cast<std::size_t>(stride - width * 3), 0);
    }
    return b.data;
}

bool haveBmpReader() { return image::createReaderForCode(image::FormatCode::Bmp) != nullptr; }

std::optional<std::string> xdgMimeDefaults(const std::vector<std::string>& types,
                                           const std::string& env) {
    if (std::system("command -v xdg-mime >/dev/null 2>&1") != 0) return std::nullopt;
    // Each query is a shell script of its own that spends its time starting programs: run them
    // side by side, and sort the answers into one order.
    std::string script = "printf '%s\\n'";
    for (const std::string& t : types) script += " '" + t + "'";
    script += " | " + env +
              " xargs -P 16 -n 1 sh -c 'echo \"$0=$(xdg-mime query default \"$0\" 2>/dev/null)\"'"
              " | LC_ALL=C sort";
    std::string out;
    if (FILE* p = popen(script.c_str(), "r")) {
        std::array<char, 512> buf{};
        while (std::fgets(buf.data(), static_cast<int>(buf.size()), p)) out += buf.data();
        pclose(p);
    }
    return out;
}

}  // namespace kalder::test
