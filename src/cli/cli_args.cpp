#include "cli/cli_args.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <map>

#include "image/colour_reducer.h"
#include "image/resample.h"

namespace kalder::cli {
namespace {

bool sameWord(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

std::string joinNames(std::span<const std::string_view> names) {
    std::string out;
    for (const auto& n : names) out += (out.empty() ? "" : ", ") + std::string(n);
    return out;
}

}  // namespace

std::string parseArgs(const std::vector<std::string>& args, const OptionList& options,
                      std::vector<std::string>& operands) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--") {
            operands.insert(operands.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                            args.end());
            break;
        }
        const auto option = std::find_if(options.begin(), options.end(), [&](const Option& o) {
            return std::find(o.words.begin(), o.words.end(), a) != o.words.end();
        });
        if (option == options.end()) {
            if (!a.empty() && a[0] == '-' && a != "-") return "unknown option: " + a;
            operands.push_back(a);
            continue;
        }
        std::string value;
        if (option->takesValue) {
            std::string error;
            if (!takeValue(args, i, value, error)) return error;
        }
        if (std::string error = option->apply(a, value); !error.empty()) return error;
    }
    return {};
}

Option flag(std::vector<std::string_view> words, bool& target, bool value) {
    return {std::move(words), false, [&target, value](const std::string&, const std::string&) {
                target = value;
                return std::string();
            }};
}

Option text(std::vector<std::string_view> words, std::string& target) {
    return {std::move(words), true, [&target](const std::string&, const std::string& v) {
                target = v;
                return std::string();
            }};
}

Option integer(std::vector<std::string_view> words, std::int32_t& target, std::int32_t lo,
               std::int32_t hi) {
    return {std::move(words), true, [&target, lo, hi](const std::string& a, const std::string& v) {
                if (!parseInt(v, target) || target < lo || target > hi)
                    return "bad value for " + a + ": " + v;
                return std::string();
            }};
}

Option integer(std::vector<std::string_view> words, std::optional<std::int32_t>& target,
               std::int32_t lo, std::int32_t hi) {
    return {std::move(words), true, [&target, lo, hi](const std::string& a, const std::string& v) {
                std::int32_t n = 0;
                if (!parseInt(v, n) || n < lo || n > hi) return "bad value for " + a + ": " + v;
                target = n;
                return std::string();
            }};
}

Option choice(std::vector<std::string_view> words, std::optional<std::int32_t>& target,
              std::span<const std::string_view> names) {
    return {std::move(words), true, [&target, names](const std::string& a, const std::string& v) {
                for (std::size_t i = 0; i < names.size(); ++i) {
                    if (sameWord(names[i], v)) {
                        target = static_cast<std::int32_t>(i);
                        return std::string();
                    }
                }
                return "bad value for " + a + " (" + joinNames(names) + "): " + v;
            }};
}

bool takeValue(const std::vector<std::string>& args, std::size_t& i, std::string& out,
               std::string& error) {
    if (i + 1 >= args.size()) {
        error = args[i] + " needs a value";
        return false;
    }
    out = args[++i];
    return true;
}

bool parseInt(const std::string& text, std::int32_t& out) {
    auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc{} && p == text.data() + text.size();
}

bool parseDoubles(const std::string& text, std::vector<double>& out) {
    std::size_t start = 0;
    while (start <= text.size()) {
        const auto comma = text.find(',', start);
        const std::string part =
            text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        try {
            std::size_t used = 0;
            out.push_back(std::stod(part, &used));
            if (used != part.size()) return false;
        } catch (...) {
            return false;
        }
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return true;
}

bool parseSize(const std::string& text, std::int32_t& w, std::int32_t& h) {
    const auto x = text.find_first_of("xX");
    if (x == std::string::npos) return false;
    return parseInt(text.substr(0, x), w) && parseInt(text.substr(x + 1), h) && w > 0 && h > 0;
}

std::optional<std::uint32_t> parseRgb(const std::string& text) {
    std::uint32_t rgb = 0;
    auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), rgb, 16);
    if (text.size() != 6 || ec != std::errc{} || p != text.data() + text.size())
        return std::nullopt;
    return rgb;
}

std::optional<std::int32_t> tiffCompressionFromName(const std::string& name) {
    static const std::map<std::string, std::int32_t> names = {
        {"none", 1}, {"ccitt1d", 2}, {"g3", 3},           {"g4", 4},
        {"lzw", 5},  {"jpeg", 7},    {"packbits", 32773}, {"deflate", 32946}};
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    auto it = names.find(lower);
    if (it == names.end()) return std::nullopt;
    return it->second;
}

void addPaletteOptions(OptionList& options, WriterChoices& w) {
    options.push_back(integer({"--colors", "--colours"}, w.colors, 2, 256));
    options.push_back(choice({"--palette"}, w.palette, image::kPaletteTypeNames));
    options.push_back(choice({"--dither"}, w.dither, image::kDitherTypeNames));
}

void addWriterOptions(OptionList& options, WriterChoices& w) {
    addPaletteOptions(options, w);
    options.push_back(integer({"--quality"}, w.quality, 0, 100));
    options.push_back(flag({"--progressive"}, w.progressive));
    options.push_back(flag({"--interlaced"}, w.interlaced));
    options.push_back(flag({"--rle"}, w.rle));
    options.push_back(choice({"--method"}, w.method, image::kResampleMethodNames));
    options.push_back({{"--compression"}, true, [&w](const std::string&, const std::string& v) {
                           w.compression = tiffCompressionFromName(v);
                           if (w.compression) return std::string();
                           return "bad value for --compression (none, ccitt1d, g3, g4, lzw, jpeg, "
                                  "packbits, deflate): " +
                                  v;
                       }});
}

const char* const kWriterOptionsHelp =
    "  --quality N        JPEG quality 0-100 (default 75)\n"
    "  --progressive      progressive JPEG\n"
    "  --interlaced       interlaced GIF or PNG\n"
    "  --compression NAME  TIFF: none, ccitt1d, g3, g4, lzw, jpeg, packbits, deflate\n"
    "  --rle              run-length encoded BMP (palette images) or TGA\n"
    "  --colors N         palette output with at most N colours (2-256)\n"
    "  --palette NAME     optimized, websafe, bw, vga, system\n"
    "  --dither NAME      none, ordered, floyd, jarvis, stucki\n"
    "  --method NAME      Lanczos, Bicubic, Bilinear, Cosine, Box\n";

}  // namespace kalder::cli
