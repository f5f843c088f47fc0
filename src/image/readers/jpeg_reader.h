#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "image/image_reader.h"

namespace kalder::image {

struct JpegSession;

// JPEG files through libjpeg's decompression side. The library reads from our own source manager
// over m_input; its errors end the step, and a file that ends early is completed with an
// end-of-image marker so that what was decoded still shows.
class JpegReader final : public ImageReader {
public:
    JpegReader();
    ~JpegReader() override;

    Status OpenFile(const std::filesystem::path& path, const ReaderSettings& settings) override;
    Status OpenMemory(std::span<const std::uint8_t> bytes) override;
    Status ReadHeader() override;
    std::int32_t Width() const override;
    std::int32_t Height() const override;
    std::uint32_t BitsPerPixel() const override;
    bool GetPalette(Palette& palette) const override;
    bool GetColorSpace(ColorSpace& space) const override;
    std::string Description() const override;
    std::int32_t DpiX() const override { return m_dpiX; }
    std::int32_t DpiY() const override { return m_dpiY; }
    Result<std::uint32_t> BeginDecode() override;
    Status ReadRow(std::uint8_t* out, bool skip) override;
    void EndDecode() override;
    std::int32_t dataEndsAtRow() const override;
    Status MakeThumbnail(const std::filesystem::path& path, Bitmap32& bitmap, std::int32_t size,
                         ColorRef backgroundColour, const CancelSink* cancel) override;
    // The display decode is scaled by the library to the smallest eighth-step size that still
    // covers the hinted size; Width and Height then report that size.
    void hintDecodeSize(std::int32_t width, std::int32_t height) override;
    // The eighths the next (or current) display decode is scaled by: 8 is full size.
    int decodeScaleEighths() const;
    // The library converts the colours straight into the page's layout (not for CMYK files,
    // which we convert ourselves).
    bool deliverBgrx() override;

private:
    friend struct JpegCallbacks;

    Status setUp(bool markerHandlers);
    // A COM or APP1 marker's data, and the file offset where it began.
    void takeMarker(int marker, std::vector<std::uint8_t> data, std::uint64_t offset);
    Status startDecompress(unsigned int numerator, unsigned int denominator);
    Status readScanline(std::uint8_t* rgb);
    // The eighth-size thumbnail from the DC coefficients; false leaves the library's decode to
    // make it.
    bool eighthFromDc(Bitmap32& bitmap, const CancelSink* cancel);
    DecodeError sessionError() const;

    std::unique_ptr<JpegSession> m_session;
    bool m_headerRead = false;
    bool m_cmyk = false;            // decoded as CMYK and converted to RGB by us
    bool m_bgrx = false;            // rows are delivered as blue, green, red, unused
    std::uint64_t m_dataStart = 0;  // where the start-of-image marker is
    std::int32_t m_dpiX = -1;
    std::int32_t m_dpiY = -1;
    std::int32_t m_hintWidth = 0;  // 0: no hint, full size
    std::int32_t m_hintHeight = 0;
    std::vector<std::uint8_t> m_iccProfile;
    std::vector<std::uint8_t> m_scratch;  // one CMYK row
};

}  // namespace kalder::image
