#pragma once

#include <memory>

namespace kalder::image {

class ImageReader;

// One factory per reader family; each lives beside its reader.
std::unique_ptr<ImageReader> makeBmpReader();
std::unique_ptr<ImageReader> makeGifReader();
std::unique_ptr<ImageReader> makeIconReader();  // ICO and CUR
std::unique_ptr<ImageReader> makeJpegReader();
std::unique_ptr<ImageReader> makePcxReader();
std::unique_ptr<ImageReader> makePngReader();
std::unique_ptr<ImageReader> makeTiffReader();
std::unique_ptr<ImageReader> makeTgaReader();
std::unique_ptr<ImageReader> makeMetafileReader();
std::unique_ptr<ImageReader> makeAniReader();
std::unique_ptr<ImageReader> makePnmReader();
std::unique_ptr<ImageReader> makeSunRasterReader();
std::unique_ptr<ImageReader> makeSgiReader();
std::unique_ptr<ImageReader> makePsdReader();
std::unique_ptr<ImageReader> makeJpeg2000Reader();
std::unique_ptr<ImageReader> makeIffReader();
std::unique_ptr<ImageReader> makeUtahRleReader();
std::unique_ptr<ImageReader> makeWebpReader();
std::unique_ptr<ImageReader> makeHeifReader();  // HEIC and AVIF
std::unique_ptr<ImageReader> makeJxlReader();

}  // namespace kalder::image
