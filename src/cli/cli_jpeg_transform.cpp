// jpeg-transform and exif-orientation: lossless turns and the orientation tag, in place.
#include <algorithm>
#include <ostream>
#include <system_error>

#include "cli/cli_args.h"
#include "cli/cli_usage.h"
#include "cli/cli_verb.h"
#include "tools/jpeg_transform/exif_orientation.h"
#include "tools/jpeg_transform/jpeg_file_job.h"
#include "tools/jpeg_transform/jpeg_transform.h"

namespace kalder::cli {
namespace {

namespace fs = std::filesystem;
using tools::JpegOperation;

struct JpegToolOptions {
    std::vector<std::string> inputs;
    std::string output;
    tools::JpegTransformCode code = {};  // with --auto: as each file's orientation says
    bool automatic = false;
    bool trim = false;
    bool preserveDate = false;
    bool force = false;                 // rewrite read-only files too
    std::int32_t orientationValue = 0;  // exif-orientation; 0: --show
};

// The target of an -o that names the input itself (another spelling included) is the input.
fs::path targetFor(const JpegToolOptions& o, const fs::path& input) {
    if (o.output.empty()) return input;
    std::error_code ec;
    if (fs::equivalent(input, o.output, ec)) return input;
    return o.output;
}

int report(const tools::JpegTransformResult& r, const std::string& path, std::ostream& err) {
    if (r.done) return 0;
    if (r.readOnly) {
        err << path << ": the file is read-only (use --force to rewrite it)\n";
    } else if (r.needsTrim) {
        err << path << ": cannot be transformed unless " << r.rightCut
            << " pixel(s) from the right edge and " << r.bottomCut
            << " pixel(s) from the bottom edge are cut off (use --trim)\n";
    } else {
        err << "Failed to convert JPEG file: " << path;
        if (!r.error.empty()) err << " (" << r.error << ")";
        err << "\n";
    }
    return 1;
}

std::string parseJpegTransform(const std::vector<std::string>& args, JpegToolOptions& o) {
    int operations = 0;
    auto operation = [&](tools::JpegTransformCode code) {
        return [&o, &operations, code](const std::string&, const std::string&) {
            o.code = code;
            ++operations;
            return std::string();
        };
    };
    const OptionList options = {
        {{"--rotate"},
         true,
         [&](const std::string&, const std::string& v) {
             using Code = tools::JpegTransformCode;
             if (v != "90" && v != "180" && v != "270")
                 return "bad value for --rotate (90, 180 or 270): " + v;
             return operation(v == "90"    ? Code::Rotate90
                              : v == "180" ? Code::Rotate180
                                           : Code::Rotate270)("", "");
         }},
        {{"--flip-h"}, false, operation(tools::JpegTransformCode::FlipHorizontal)},
        {{"--flip-v"}, false, operation(tools::JpegTransformCode::FlipVertical)},
        {{"--auto"},
         false,
         [&](const std::string&, const std::string&) {
             o.automatic = true;
             ++operations;
             return std::string();
         }},
        flag({"--trim"}, o.trim),
        flag({"--preserve-date"}, o.preserveDate),
        flag({"--force"}, o.force),
        text({"-o", "--output"}, o.output),
    };
    if (std::string error = parseArgs(args, options, o.inputs); !error.empty()) return error;
    if (operations != 1) return "give one of --rotate, --flip-h, --flip-v or --auto";
    if (o.inputs.empty()) return "no input file";
    if (!o.automatic && o.inputs.size() != 1) return "exactly one input expected";
    if (o.automatic && !o.output.empty()) return "--auto works in place; -o is not allowed";
    return {};
}

// VALUE FILE... or --show FILE...; words after "--" are files, never the value.
std::string parseExifOrientation(const std::vector<std::string>& args, JpegToolOptions& o) {
    const auto dashes = std::find(args.begin(), args.end(), "--");
    bool show = false;
    if (std::string error = parseArgs({args.begin(), dashes}, {flag({"--show"}, show)}, o.inputs);
        !error.empty())
        return error;
    if (!show) {
        if (o.inputs.empty()) return "missing orientation value (1-8) or --show";
        const std::string value = o.inputs.front();
        if (!parseInt(value, o.orientationValue) || o.orientationValue < 1 ||
            o.orientationValue > 8)
            return "bad orientation value (1-8): " + value;
        o.inputs.erase(o.inputs.begin());
    }
    if (dashes != args.end()) o.inputs.insert(o.inputs.end(), dashes + 1, args.end());
    return o.inputs.empty() ? "no input file" : "";
}

int runJpegTransform(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    JpegToolOptions o;
    if (std::string error = parseJpegTransform(args, o); !error.empty())
        return usageError(err, "jpeg-transform", error);
    tools::JpegTransformOptions options;
    options.allowTrim = o.trim;
    const tools::JpegFileOptions fileOptions{o.preserveDate, o.force};
    if (!o.automatic) {
        const fs::path input = o.inputs.front();
        const auto op = tools::operationFor(o.code);
        return report(
            tools::transformJpegFile(input, targetFor(o, input), op, options, fileOptions),
            o.inputs.front(), err);
    }
    int status = 0;
    options.resetOrientation = true;
    for (const std::string& file : o.inputs) {
        const auto tag = tools::readOrientationTag(file);
        const auto op = tag ? tools::operationForOrientation(tag->value) : std::nullopt;
        // Nothing to apply: no usable tag, an unknown value, or already upright.
        if (!op) {
            out << file
                << (tag && tag->value == 1 ? ": already upright\n" : ": no Exif orientation\n");
            continue;
        }
        status |=
            report(tools::transformJpegFile(file, file, *op, options, fileOptions), file, err);
    }
    return status;
}

int runExifOrientation(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    JpegToolOptions o;
    if (std::string error = parseExifOrientation(args, o); !error.empty())
        return usageError(err, "exif-orientation", error);
    int status = 0;
    for (const std::string& file : o.inputs) {
        if (o.orientationValue == 0) {
            if (const auto tag = tools::readOrientationTag(file)) {
                out << file << ": " << tag->value << "\n";
            } else {
                err << tools::kNoOrientationTagMessage << "\n" << file << "\n";
                status = 1;
            }
            continue;
        }
        switch (tools::writeExifOrientation(file, o.orientationValue)) {
            case tools::OrientationWrite::Done:
                break;
            case tools::OrientationWrite::NoValidTag:
                err << tools::kNoOrientationTagMessage << "\n" << file << "\n";
                status = 1;
                break;
            case tools::OrientationWrite::CannotModify:
                err << tools::kCannotModifyMessage << "\n" << file << "\n";
                status = 1;
                break;
        }
    }
    return status;
}

std::string checkJpegTransform(const std::vector<std::string>& args) {
    JpegToolOptions o;
    return parseJpegTransform(args, o);
}

std::string checkExifOrientation(const std::vector<std::string>& args) {
    JpegToolOptions o;
    return parseExifOrientation(args, o);
}

}  // namespace

const Verb& jpegTransformVerb() {
    static const Verb verb = {
        "jpeg-transform",
        "--rotate 90|180|270 | --flip-h | --flip-v [--trim] [--preserve-date] IN [-o OUT]\n"
        "--auto [--trim] [--preserve-date] FILE...",
        "turn or mirror a JPEG without re-encoding it",
        "Without -o IN is replaced. A file that would lose edge pixels is refused unless --trim.\n"
        "--auto turns each file as its Exif orientation says and sets the orientation to 1.\n",
        "  -o, --output OUT   write here instead of replacing IN\n"
        "  --rotate 90|180|270  clockwise\n"
        "  --flip-h, --flip-v  mirror\n"
        "  --auto             as the Exif orientation says\n"
        "  --trim             drop the edge pixels that cannot be transformed\n"
        "  --preserve-date    keep the file's modification time\n"
        "  --force            rewrite a read-only file\n",
        "image",
        checkJpegTransform,
        runJpegTransform,
    };
    return verb;
}

const Verb& exifOrientationVerb() {
    static const Verb verb = {
        "exif-orientation",
        "VALUE FILE...\n--show FILE...",
        "set (1-8) or print the Exif Orientation tag in place",
        "",
        "  --show             print the tag instead of setting it\n",
        "image",
        checkExifOrientation,
        runExifOrientation,
    };
    return verb;
}

}  // namespace kalder::cli
