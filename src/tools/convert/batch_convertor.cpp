// Placeholder bodies until the batch convertor lands; the real ones replace this file.
#include "tools/convert/batch_convertor.h"

namespace kalder::tools {

const char* batchFormatExtension(BatchFormat) { return ".png"; }
BatchResult BatchConvertor::Run(const BatchSettings&, const BatchFileList&, BatchHost&) {
    return {};
}
std::string BatchConvertor::checkResampleTexts(const std::string&, const std::string&, std::int32_t,
                                               bool, bool) {
    return {};
}
std::string BatchConvertor::checkResolutionTexts(const std::string&, const std::string&) {
    return {};
}

}  // namespace kalder::tools
