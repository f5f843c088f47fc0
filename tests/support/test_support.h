#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "image/bitmap32.h"
#include "image/image_document.h"
#include "image/load_options.h"

namespace kalder::test {

// A fresh directory under the system temp folder, removed with the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

void writeFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> readFile(const std::filesystem::path& path);
void writeText(const std::filesystem::path& path, const std::string& text);
std::string readText(const std::filesystem::path& path);

// Little helpers to assemble binary test files.
struct Bytes {
    std::vector<std::uint8_t> data;
    Bytes& u8(std::uint32_t v);
    Bytes& u16le(std::uint32_t v);
    Bytes& u16be(std::uint32_t v);
    Bytes& u32le(std::uint32_t v);
    Bytes& u32be(std::uint32_t v);
    Bytes& str(const std::string& s);  // without terminator
    Bytes& fill(std::size_t n, std::uint8_t v);
    Bytes& append(const std::vector<std::uint8_t>& other);
    std::size_t size() const { return data.size(); }
};

// A bottom-up 24-bit BMP whose pixel (x, y), counted from the top, has the colour `rgb` answers
// (0xRRGGBB).
std::vector<std::uint8_t> bmp24(int width, int height,
                                const std::function<std::uint32_t(int x, int y)>& rgb);
// Whether this build reads BMP files (the widget tests draw with them).
bool haveBmpReader();

// A decoded picture as plain red, green, blue bytes, for comparisons.
struct RgbImage {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint8_t> rgb;  // width * height * 3

    const std::uint8_t* at(std::int32_t x, std::int32_t y) const {
        return rgb.data() + (static_cast<std::size_t>(y) * width + x) * 3;
    }
};

RgbImage toRgb(const image::Bitmap32& bitmap);
// Largest difference of any channel; -1 when the sizes differ.
int maxChannelDifference(const RgbImage& a, const RgbImage& b);

// Decodes page `page` of a file through ImageDocument at its own size (no scaling).
std::optional<RgbImage> decodeWithKalder(const std::filesystem::path& path, int page = 0,
                                         bool blendAlpha = false, image::ColorRef background = 0);

// Independent decoders, used when installed. nullopt when the tool is missing or refuses.
bool havePillow();
std::optional<RgbImage> decodeWithPillow(const std::filesystem::path& path, int frame = 0);
bool haveImageMagick();
std::optional<RgbImage> decodeWithImageMagick(const std::filesystem::path& path, int frame = 0);

// What `xdg-mime query default` answers for each type, a "type=answer" line each (sorted), with the
// environment assignments `env` ("A='x' B='y'") in force; nullopt when xdg-mime is missing.
std::optional<std::string> xdgMimeDefaults(const std::vector<std::string>& types,
                                           const std::string& env = {});

// The shared public test images, or nullopt when the folder is not beside the checkout.
std::optional<std::filesystem::path> externalTestData();
// One row of the external test images' MANIFEST.tsv.
struct ManifestEntry {
    std::string path;    // relative to externalTestData()
    std::string family;  // "BMP", "GIF", ...
    std::string status;  // valid, questionable, malformed, reference, license
};
// The manifest rows of one format family (empty when the external images are absent).
std::vector<ManifestEntry> manifestEntries(const std::string& family);

// The project's own folders.
std::filesystem::path sourceDir();

}  // namespace kalder::test
