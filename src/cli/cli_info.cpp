// info and exif: what kalder-cli reports about a file without writing anything.
#include <ostream>

#include "cli/cli_args.h"
#include "cli/cli_streams.h"
#include "cli/cli_usage.h"
#include "cli/cli_verb.h"
#include "image/exif/exif_report.h"
#include "image/format_table.h"
#include "image/image_document.h"
#include "image/image_reader.h"

namespace kalder::cli {
namespace {
namespace fs = std::filesystem;
using image::ImageDocument;
using image::LoadOptions;

// Pages of a multi-frame file, counted by decoding each frame at a tiny size.
std::int32_t countPages(const fs::path& path) {
    ImageDocument doc;
    LoadOptions o;
    o.path = path;
    o.fitWidth = o.fitHeight = 8;
    o.smoothShrink = false;
    if (!doc.Open(o)) return 0;
    std::int32_t n = 0;
    // Each frame is dropped once decoded; the count stops where a document would stop.
    while (n < ImageDocument::kMaxPages && doc.AddPage()) {
        if (!doc.DecodePage()) break;
        ++n;
        doc.ReleasePages();
    }
    return n;
}

std::string parseInfo(const std::vector<std::string>& args, std::vector<std::string>& inputs,
                      bool& json) {
    std::string error = parseArgs(args, {flag({"--json"}, json)}, inputs);
    if (error.empty() && inputs.empty()) error = "no input file";
    return error;
}

std::string checkInfo(const std::vector<std::string>& args) {
    std::vector<std::string> inputs;
    bool json = false;
    return parseInfo(args, inputs, json);
}

int runInfo(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::vector<std::string> inputs;
    bool json = false;
    if (std::string error = parseInfo(args, inputs, json); !error.empty())
        return usageError(err, "info", error);
    int status = 0;
    if (json) out << "[\n";
    bool first = true;
    for (const auto& name : inputs) {
        const InputFile input(name);
        image::ImageInfo info;
        if (!input.ok()) {
            status = fileError(err, name, "cannot be read");
            continue;
        }
        if (!image::ReadImageInfo(input.path(), info, true) || info.formatIndex < 0 ||
            info.width <= 0) {
            status = fileError(err, name, readFailureReason(input.path()));
            continue;
        }
        const auto& format = image::formatTable()[static_cast<std::size_t>(info.formatIndex)];
        auto reader = image::createReaderForCode(format.code);
        const std::int32_t pages = reader && reader->IsSingleImage() ? 1 : countPages(input.path());
        if (json) {
            out << (first ? "" : ",\n") << "  {\"file\": \"" << jsonEscape(name)
                << "\", \"format\": \"" << format.shortName << "\", \"description\": \""
                << jsonEscape(info.description) << "\", \"width\": " << info.width
                << ", \"height\": " << info.height << ", \"bitsPerPixel\": " << info.bitsPerPixel
                << ", \"pages\": " << pages << ", \"dpiX\": " << info.dpiX
                << ", \"dpiY\": " << info.dpiY << ", \"gray\": " << (info.isGray ? "true" : "false")
                << "}";
        } else {
            out << name << "\t" << format.shortName << "\t" << info.description << "\t"
                << info.width << "\t" << info.height << "\t" << info.bitsPerPixel << "\t" << pages
                << "\t" << info.dpiX << "\t" << info.dpiY << "\n";
        }
        first = false;
    }
    if (json) out << "\n]\n";
    return status;
}

std::string parseExif(const std::vector<std::string>& args, std::vector<std::string>& inputs) {
    std::string error = parseArgs(args, {}, inputs);
    if (!error.empty()) return error;
    if (inputs.empty()) return "no input file";
    return inputs.size() == 1 ? "" : "exactly one input expected";
}

std::string checkExif(const std::vector<std::string>& args) {
    std::vector<std::string> inputs;
    return parseExif(args, inputs);
}

int runExif(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::vector<std::string> inputs;
    if (std::string error = parseExif(args, inputs); !error.empty())
        return usageError(err, "exif", error);
    const InputFile input(inputs.front());
    if (!input.ok()) return fileError(err, input.name(), "cannot be read");
    image::ImageInfo info;
    if (!image::ReadImageInfo(input.path(), info, true) || info.formatIndex < 0)
        return fileError(err, input.name(), readFailureReason(input.path()));
    // The comments come from the file's own text chunks, which only a real open collects.
    std::vector<std::string> comments;
    {
        ImageDocument doc;
        LoadOptions o;
        o.path = input.path();
        o.comments = &comments;
        (void)doc.Open(o);
    }
    image::PropertiesOptions options;
    options.comments = comments;
    out << image::readableReportText(image::buildPropertiesReport(input.path(), info, options));
    return 0;
}

}  // namespace

const Verb& infoVerb() {
    static const Verb verb = {
        "info",
        "[--json] FILE...",
        "format, description, size, depth, pages, resolution",
        "",
        "  --json             one JSON array (file names not in UTF-8 keep their other bytes\n"
        "                     as \\udcXX escapes)\n",
        "image",
        checkInfo,
        runInfo,
    };
    return verb;
}

const Verb& exifVerb() {
    static const Verb verb = {
        "exif", "FILE", "the properties report", "", "", "image", checkExif, runExif,
    };
    return verb;
}

}  // namespace kalder::cli
