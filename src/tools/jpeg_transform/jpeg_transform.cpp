#include "tools/jpeg_transform/jpeg_transform.h"

#include <fstream>
#include <system_error>

#include "base/limits.h"
#include "base/read_file.h"
#include "image/cdx_loader.h"
#include "tools/jpeg_transform/exif_rewrite.h"
#include "tools/jpeg_transform/jpeg_segments.h"

namespace kalder::tools {
namespace {

namespace fs = std::filesystem;

constexpr std::int64_t kProgressPerComponent = 1000;

JpegTransformResult failure(std::string message) {
    JpegTransformResult r;
    r.error = std::move(message);
    return r;
}

int cdxOperation(JpegOperation op) {
    switch (op) {
        case JpegOperation::FlipH:
            return CDX_JPEG_FLIP_H;
        case JpegOperation::FlipV:
            return CDX_JPEG_FLIP_V;
        case JpegOperation::Transpose:
            return CDX_JPEG_TRANSPOSE;
        case JpegOperation::Transverse:
            return CDX_JPEG_TRANSVERSE;
        case JpegOperation::Rotate90:
            return CDX_JPEG_ROTATE_90;
        case JpegOperation::Rotate180:
            return CDX_JPEG_ROTATE_180;
        case JpegOperation::Rotate270:
            return CDX_JPEG_ROTATE_270;
    }
    return 0;
}

bool exchangesAxes(JpegOperation op) {
    return op == JpegOperation::Transpose || op == JpegOperation::Transverse ||
           op == JpegOperation::Rotate90 || op == JpegOperation::Rotate270;
}

std::uint32_t roundDown(std::uint32_t value, std::uint32_t step) { return value / step * step; }

struct ModuleCall {
    const JpegTransformProgress* progress = nullptr;
    int components = 1;
    std::vector<std::uint8_t>* output = nullptr;
    bool stopped = false;
};

int onRows(void* user, std::uint32_t component, std::uint32_t done, std::uint32_t total) {
    auto* call = static_cast<ModuleCall*>(user);
    if (!call->progress || !*call->progress || total == 0) return 0;
    const std::int64_t all = kProgressPerComponent * call->components;
    const std::int64_t at =
        kProgressPerComponent * component + kProgressPerComponent * std::min(done, total) / total;
    if (!(*call->progress)(std::min(at, all), all)) {
        call->stopped = true;
        return 1;
    }
    return 0;
}

int onOutput(void* user, const std::uint8_t* data, std::size_t size) {
    auto* call = static_cast<ModuleCall*>(user);
    call->output->assign(data, data + size);
    return 0;
}

JpegTransformResult transformCore(std::span<const std::uint8_t> stream, JpegOperation operation,
                                  bool allowTrim, const JpegTransformProgress& progress,
                                  std::vector<std::uint8_t>& output, bool adjustExifBlock,
                                  bool resetOrientation) {
    const auto layout = jpeg::walkSegments(stream);
    if (!layout) return failure("the JPEG stream is damaged");
    const jpeg::FrameInfo& frame = layout->frame;
    // The transformer holds every coefficient of the picture in memory (two bytes a sample), so a
    // header that announces more is refused before anything is allocated.
    if (std::uint64_t{frame.width} * frame.height > base::kMaxDecodePixels)
        return failure("the picture is too large");
    const KeptSize kept =
        keptSize(frame.width, frame.height, frame.mcuWidth(), frame.mcuHeight(), operation);
    // A picture smaller than one MCU across the moved edge cannot be transformed at all: the
    // transformer would leave its blocks where they are and call it done.
    if (kept.width == 0 || kept.height == 0)
        return failure("the picture is too small to be transformed losslessly");
    if (!allowTrim && (kept.width != frame.width || kept.height != frame.height)) {
        JpegTransformResult r;
        r.needsTrim = true;
        r.rightCut = static_cast<std::int32_t>(frame.width - kept.width);
        r.bottomCut = static_cast<std::int32_t>(frame.height - kept.height);
        return r;
    }
    const CdxJpegApi* api = image::cdx::jpegApi(image::cdx::Group::LosslessJpeg);
    if (!api || !api->transform) return failure("the codec module is not available");

    ModuleCall call;
    call.progress = &progress;
    call.components = frame.components;
    call.output = &output;
    if (progress && !progress(0, kProgressPerComponent * frame.components)) {
        JpegTransformResult r;
        r.stopped = true;
        return r;
    }
    std::uint32_t flags = CDX_JPEG_TRIM | CDX_JPEG_COPY_MARKERS;
    if (frame.progressive) flags |= CDX_JPEG_PROGRESSIVE;
    CdxMessage message{};
    const int status = api->transform(stream.data(), stream.size(), cdxOperation(operation), flags,
                                      onRows, onOutput, &call, &message);
    if (status == CDX_CANCELLED || call.stopped) {
        JpegTransformResult r;
        r.stopped = true;
        return r;
    }
    if (status != CDX_OK) return failure("the JPEG stream is damaged");

    if (adjustExifBlock) {
        const auto outLayout = jpeg::walkSegments(output);
        if (!outLayout) return failure("the transformed stream is damaged");
        jpeg::ExifAdjustment adjustment;
        adjustment.quarterTurn = exchangesAxes(operation);
        adjustment.sourceWidth = frame.width;
        adjustment.sourceHeight = frame.height;
        adjustment.outputWidth = outLayout->frame.width;
        adjustment.outputHeight = outLayout->frame.height;
        adjustment.resetOrientation = resetOrientation;
        adjustment.transformThumbnail = [operation](std::span<const std::uint8_t> thumbnail)
            -> std::optional<std::vector<std::uint8_t>> {
            std::vector<std::uint8_t> out;
            const auto r = transformCore(thumbnail, operation, true, {}, out, false, false);
            if (!r.done) return std::nullopt;
            return out;
        };
        // A picture turned upright that still carries its old orientation would be turned
        // once more by every viewer that honours the tag.
        if (!jpeg::adjustExif(output, adjustment) && resetOrientation)
            return failure("cannot set the Exif orientation of the result");
    }
    JpegTransformResult r;
    r.done = true;
    return r;
}

bool writeWholeFile(const fs::path& path, std::span<const std::uint8_t> data) {
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        if (out) {
            out.write(reinterpret_cast<const char*>(data.data()),
                      static_cast<std::streamsize>(data.size()));
            out.flush();
            if (out) return true;
        }
    }
    std::error_code ec;
    fs::remove(path, ec);
    return false;
}

}  // namespace

JpegOperation operationFor(JpegTransformCode code) {
    switch (code) {
        case JpegTransformCode::FlipHorizontal:
            return JpegOperation::FlipH;
        case JpegTransformCode::FlipVertical:
            return JpegOperation::FlipV;
        case JpegTransformCode::Rotate90:
            return JpegOperation::Rotate90;
        case JpegTransformCode::Rotate180:
            return JpegOperation::Rotate180;
        case JpegTransformCode::Rotate270:
            return JpegOperation::Rotate270;
    }
    return JpegOperation::FlipH;
}

std::optional<JpegOperation> operationForOrientation(int orientation) {
    switch (orientation) {
        case 2:
            return JpegOperation::FlipH;
        case 3:
            return JpegOperation::Rotate180;
        case 4:
            return JpegOperation::FlipV;
        case 5:
            return JpegOperation::Transpose;
        case 6:
            return JpegOperation::Rotate90;
        case 7:
            return JpegOperation::Transverse;
        case 8:
            return JpegOperation::Rotate270;
        default:
            return std::nullopt;
    }
}

KeptSize keptSize(std::uint32_t width, std::uint32_t height, std::uint32_t mcuWidth,
                  std::uint32_t mcuHeight, JpegOperation operation) {
    KeptSize k{width, height};
    if (mcuWidth == 0 || mcuHeight == 0) return k;
    switch (operation) {
        case JpegOperation::FlipH:
        case JpegOperation::Rotate270:
            k.width = roundDown(width, mcuWidth);
            break;
        case JpegOperation::FlipV:
        case JpegOperation::Rotate90:
            k.height = roundDown(height, mcuHeight);
            break;
        case JpegOperation::Transverse:
        case JpegOperation::Rotate180:
            k.width = roundDown(width, mcuWidth);
            k.height = roundDown(height, mcuHeight);
            break;
        case JpegOperation::Transpose:
            break;
    }
    return k;
}

JpegTransformResult transformJpegStream(std::span<const std::uint8_t> stream,
                                        JpegOperation operation,
                                        const JpegTransformOptions& options,
                                        const JpegTransformProgress& progress,
                                        std::vector<std::uint8_t>& output) {
    return transformCore(stream, operation, options.allowTrim, progress, output, true,
                         options.resetOrientation);
}

JpegTransformResult transformJpeg(const fs::path& source, const fs::path& destination,
                                  JpegOperation operation, const JpegTransformOptions& options,
                                  const JpegTransformProgress& progress) {
    const auto read = base::readFile(source, base::kMaxBufferBytes);
    if (!read.ok()) return failure("cannot read the file");
    const std::vector<std::uint8_t>& file = *read;
    const auto start = jpeg::findStreamStart(file);
    if (!start) return failure("not a JPEG file");
    std::vector<std::uint8_t> output;
    JpegTransformResult r =
        transformJpegStream(std::span(file).subspan(*start), operation, options, progress, output);
    if (!r.done) return r;
    if (!writeWholeFile(destination, output)) return failure("cannot write the output");
    return r;
}

JpegTransformResult transformJpeg(const fs::path& source, const fs::path& destination,
                                  JpegTransformCode code, bool allowTrim,
                                  const JpegTransformProgress& progress) {
    JpegTransformOptions options;
    options.allowTrim = allowTrim;
    return transformJpeg(source, destination, operationFor(code), options, progress);
}

}  // namespace kalder::tools
