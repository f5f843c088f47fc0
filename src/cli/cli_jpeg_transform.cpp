#include "cli/cli_jpeg_transform.h"

#include <charconv>
#include <ostream>
#include <system_error>

#include "tools/jpeg_transform/exif_orientation.h"
#include "tools/jpeg_transform/jpeg_file_job.h"
#include "tools/jpeg_transform/jpeg_transform.h"

namespace kalder::cli {
namespace {

namespace fs = std::filesystem;
using tools::JpegOperation;

bool parseInt(const std::string& text, std::int32_t& out) {
    auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc{} && p == text.data() + text.size();
}

// The target of an -o that names the input itself (another spelling included) is the input.
fs::path targetFor(const CliOptions& o, const fs::path& input) {
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

}  // namespace

ParseResult parseJpegToolCommandLine(const std::vector<std::string>& args) {
    ParseResult r;
    CliOptions& o = r.options;
    const bool transform = args.at(0) == "jpeg-transform";
    o.command = transform ? Command::JpegTransform : Command::ExifOrientation;
    int operations = 0;
    bool show = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) { return takeValue(args, i, out, r.error); };
        std::string v;
        if (a == "--") {
            o.inputs.insert(o.inputs.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                            args.end());
            break;
        } else if (transform && a == "--rotate") {
            if (!value(v)) return r;
            o.jpegCode = v == "90"    ? static_cast<int>(tools::JpegTransformCode::Rotate90)
                         : v == "180" ? static_cast<int>(tools::JpegTransformCode::Rotate180)
                         : v == "270" ? static_cast<int>(tools::JpegTransformCode::Rotate270)
                                      : 0;
            if (o.jpegCode == 0) {
                r.error = "bad value for --rotate (90, 180 or 270): " + v;
                return r;
            }
            ++operations;
        } else if (transform && a == "--flip-h") {
            o.jpegCode = static_cast<int>(tools::JpegTransformCode::FlipHorizontal);
            ++operations;
        } else if (transform && a == "--flip-v") {
            o.jpegCode = static_cast<int>(tools::JpegTransformCode::FlipVertical);
            ++operations;
        } else if (transform && a == "--auto") {
            o.jpegAuto = true;
            ++operations;
        } else if (transform && a == "--trim") {
            o.trim = true;
        } else if (transform && a == "--preserve-date") {
            o.preserveDate = true;
        } else if (transform && a == "--force") {
            o.force = true;
        } else if (transform && (a == "-o" || a == "--output")) {
            if (!value(o.output)) return r;
        } else if (!transform && a == "--show") {
            show = true;
        } else if (a == "--help" || a == "-h") {
            o.command = Command::Help;
            return r;
        } else if (!a.empty() && a[0] == '-' && a != "-") {
            r.error = "unknown option: " + a;
            return r;
        } else if (!transform && !show && o.orientationValue == 0) {
            if (!parseInt(a, o.orientationValue) || o.orientationValue < 1 ||
                o.orientationValue > 8) {
                r.error = "bad orientation value (1-8): " + a;
                return r;
            }
        } else {
            o.inputs.push_back(a);
        }
    }
    if (transform && operations != 1) {
        r.error = "give one of --rotate, --flip-h, --flip-v or --auto";
    } else if (!transform && !show && o.orientationValue == 0) {
        r.error = "missing orientation value (1-8) or --show";
    } else if (o.inputs.empty()) {
        r.error = "no input file";
    } else if (transform && !o.jpegAuto && o.inputs.size() != 1) {
        r.error = "exactly one input expected";
    } else if (o.jpegAuto && !o.output.empty()) {
        r.error = "--auto works in place; -o is not allowed";
    }
    return r;
}

int runJpegTransform(const CliOptions& o, std::ostream& out, std::ostream& err) {
    tools::JpegTransformOptions options;
    options.allowTrim = o.trim;
    const tools::JpegFileOptions fileOptions{o.preserveDate, o.force};
    if (!o.jpegAuto) {
        const fs::path input = o.inputs.front();
        const auto op = tools::operationFor(static_cast<tools::JpegTransformCode>(o.jpegCode));
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

int runExifOrientation(const CliOptions& o, std::ostream& out, std::ostream& err) {
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

}  // namespace kalder::cli
