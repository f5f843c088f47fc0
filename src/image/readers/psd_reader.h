#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "image/image_reader.h"

namespace kalder::image {

class CmykConverter;

// One channel of a layer: its identifier (0 red, gray or index; 1 green; 2 blue; -1
// transparency) and one byte per pixel of the layer rectangle, rows top-down.
struct PsdChannel {
    std::int16_t id = 0;
    std::vector<std::uint8_t> plane;
};

// A layer as read from the file, bottom layer first.
struct PsdLayer {
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;  // right and bottom exclusive
    std::vector<PsdChannel> channels;
    std::uint8_t opacity = 255;
    std::uint8_t flags = 0;
    bool hidden = false;          // its own flag or that of an enclosing group
    std::string name;             // UTF-8
    std::uint32_t blendMode = 0;  // four-character key, e.g. 'norm'
    bool groupMarker = false;     // the start or end record of a layer group (no pixels)

    std::int32_t width() const { return right - left; }
    std::int32_t height() const { return bottom - top; }
    const PsdChannel* channel(std::int16_t id) const;
};

// Photoshop documents. Layered files are composed here, bottom to top, over the background
// colour; files without layers are read from the merged image.
class PsdReader final : public ImageReader {
public:
    enum class Mode : std::uint16_t {
        Bitmap = 0,
        Gray = 1,
        Indexed = 2,
        Rgb = 3,
        Cmyk = 4,
        Multichannel = 7,
        Duotone = 8,
        Lab = 9,
    };

    PsdReader();
    ~PsdReader() override;

    Status ReadHeader() override;
    std::int32_t Width() const override { return m_width; }
    std::int32_t Height() const override { return m_height; }
    std::uint32_t BitsPerPixel() const override { return 24; }
    bool GetPalette(Palette& palette) const override;
    std::string Description() const override { return "Adobe Photoshop Image"; }
    Result<std::uint32_t> BeginDecode() override;
    Status ReadRow(std::uint8_t* out, bool skip) override;

    // Makes every layer cover the whole image: planes outside the layer are 0 and parts outside
    // the image are dropped. A layer without transparency gains one (opaque where it was).
    void ExpandLayersToImage();
    // Before BeginDecode: read the layers a 16-bit document keeps in a tagged block too. The
    // picture is then composed from them; otherwise it comes from the merged image, which also
    // shows what those layers cannot hold (fill layers are stored there without pixels).
    void readTaggedLayers() { m_readTaggedLayers = true; }
    // The layers read by BeginDecode.
    const std::vector<PsdLayer>& Layers() const { return m_layers; }
    Mode colourMode() const { return m_mode; }
    // The colour table of indexed documents.
    const Palette& palette() const { return m_palette; }
    // The document has layers we could not read; the merged image stands in for them.
    bool layersUnread() const { return m_layersUnread; }

private:
    Status readResources();
    Status readLayers(std::uint64_t sectionEnd, bool& haveLayers);
    Status readLayerInfo(std::uint64_t infoEnd, bool& haveLayers);
    // How many colour channels (ids 0, 1, ...) the mode has.
    int inkCount() const;
    // Replaces the four ink planes of a CMYK layer by red, green and blue ones.
    void cmykToRgbPlanes(PsdLayer& layer);
    Status readMerged();
    Status readChannel(PsdLayer& layer, PsdChannel& channel, std::int32_t w, std::int32_t h,
                       std::uint64_t declaredLength);
    void convertRow(const std::uint8_t* raw, std::uint8_t* dst, std::int32_t w) const;
    Status inflateChannel(std::uint64_t declaredLength, std::size_t size, bool predicted,
                          std::size_t rowBytes, std::vector<std::uint8_t>& out);
    void composeLayer(const PsdLayer& layer, std::int32_t y, std::uint8_t* out) const;

    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    std::uint16_t m_channelCount = 0;
    std::uint16_t m_depth = 8;
    Mode m_mode = Mode::Rgb;
    Palette m_palette{};
    std::vector<PsdLayer> m_layers;
    std::vector<std::uint8_t> m_iccProfile;
    std::unique_ptr<CmykConverter> m_cmyk;
    std::int64_t m_channelsRead = 0;
    std::int64_t m_totalChannels = 0;
    std::uint64_t m_planeBudget = 0;  // bytes of planes the file can plausibly describe
    std::int32_t m_row = 0;
    bool m_decoded = false;
    bool m_layersUnread = false;
    bool m_readTaggedLayers = false;
};

}  // namespace kalder::image
