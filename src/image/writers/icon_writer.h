#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "image/writers/image_writer.h"

namespace kalder::image {

// The two kinds of icon file; the value is the header's type field.
enum class IconFileType : std::uint16_t { Icon = 1, Cursor = 2 };

// Icons and cursors take images of 1..256 pixels a side; 256 is stored as 0 in the directory.
inline constexpr std::int32_t kMaxIconSide = 256;

// One image of an icon file, encoded: its directory fields and its data (a bitmap of double
// height with the AND mask, or a PNG stream for the 256-pixel images of today's icons).
struct EncodedIconImage {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint8_t colourCount = 0;  // 2^depth below 8 bits, else 0
    std::uint16_t bitCount = 0;
    std::int32_t hotSpotX = 0;  // cursors only, already clamped to the image
    std::int32_t hotSpotY = 0;
    std::vector<std::uint8_t> data;
};

// Encodes one page. Palette pages (bits 1..8) keep their palette at 1, 4 or 8 bits; true-colour
// pages become 24-bit, or 32-bit when the alpha plane holds soft values. The AND mask comes from
// the alpha plane (below 128 is transparent), else from the transparent index; true-colour
// pixels under it are made black so that they do not invert the screen. Images of 256 pixels a
// side become PNG streams when the codec module is there. Hot spots are clamped to 0..side - 1.
Result<EncodedIconImage> encodeIconImage(const WriterImage& image, std::int32_t hotSpotX,
                                         std::int32_t hotSpotY);
// A whole icon or cursor file: header, 16-byte directory entries and the images, in order.
std::vector<std::uint8_t> assembleIconFile(IconFileType type,
                                           const std::vector<EncodedIconImage>& images);

// Writes .ico and .cur files: one Write per image, in directory order.
class IconWriter final : public ImageWriter {
public:
    explicit IconWriter(IconFileType type) : m_type(type) {}
    // The hot spot of the next image written (cursors).
    void setHotSpot(std::int32_t x, std::int32_t y) {
        m_hotX = x;
        m_hotY = y;
    }
    Status Write(const WriterImage& image) override;

protected:
    Status onClose() override;

private:
    IconFileType m_type;
    std::int32_t m_hotX = 0;
    std::int32_t m_hotY = 0;
    std::vector<EncodedIconImage> m_images;
};

// Writes animated cursors: RIFF "ACON" with "anih", "rate" when the delays differ, "seq " when
// frames repeat, and a "LIST" "fram" of "icon" chunks, each a one-image cursor file.
class AniWriter final : public ImageWriter {
public:
    // The hot spot and delay (hundredths of a second) of the next frame written.
    void setFrame(std::int32_t hotSpotX, std::int32_t hotSpotY, std::uint32_t delay) {
        m_hotX = hotSpotX;
        m_hotY = hotSpotY;
        m_delay = delay;
    }
    Status Write(const WriterImage& image) override;

protected:
    Status onClose() override;

private:
    std::int32_t m_hotX = 0;
    std::int32_t m_hotY = 0;
    std::uint32_t m_delay = 0;
    std::vector<std::vector<std::uint8_t>> m_frames;  // complete cursor files
    std::vector<std::uint32_t> m_delays;
};

std::unique_ptr<ImageWriter> makeIconWriter(IconFileType type);
std::unique_ptr<ImageWriter> makeAniWriter();

}  // namespace kalder::image
