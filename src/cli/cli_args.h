#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kalder::cli {

// One option a verb takes: the words that name it, whether a value follows, and what it does.
// `apply` gets the word as written and the value (empty for a flag) and returns the usage error,
// or empty.
struct Option {
    std::vector<std::string_view> words;
    bool takesValue = false;
    std::function<std::string(const std::string& word, const std::string& value)> apply;
};
using OptionList = std::vector<Option>;

// Reads the words after a verb: each option of `options` with its value; every other word is a
// file operand, "-" included, and so is everything after "--". A word that starts with "-" and is
// no option is an error. Returns the first usage error, or empty.
std::string parseArgs(const std::vector<std::string>& args, const OptionList& options,
                      std::vector<std::string>& operands);

// The common kinds of option. Bad values give "bad value for WORD: VALUE", with the choices
// in brackets where there is a list of them.
Option flag(std::vector<std::string_view> words, bool& target, bool value = true);
Option text(std::vector<std::string_view> words, std::string& target);
Option integer(std::vector<std::string_view> words, std::int32_t& target, std::int32_t lo,
               std::int32_t hi);
Option integer(std::vector<std::string_view> words, std::optional<std::int32_t>& target,
               std::int32_t lo, std::int32_t hi);
// The index of the value among `names`, compared without case.
Option choice(std::vector<std::string_view> words, std::optional<std::int32_t>& target,
              std::span<const std::string_view> names);

// For the verbs that read their words themselves: the word after option args[i] as its value,
// advancing i. Without one, false, with `error` naming the option.
bool takeValue(const std::vector<std::string>& args, std::size_t& i, std::string& out,
               std::string& error);

bool parseInt(const std::string& text, std::int32_t& out);
// "1,2.5,3" into numbers; false when a part is not one.
bool parseDoubles(const std::string& text, std::vector<double>& out);
// WxH with both sides positive.
bool parseSize(const std::string& text, std::int32_t& w, std::int32_t& h);
// 0xRRGGBB from exactly six hex digits.
std::optional<std::uint32_t> parseRgb(const std::string& text);

// The TIFF compression of a --compression word (none, ccitt1d, g3, g4, lzw, jpeg, packbits,
// deflate), or nullopt.
std::optional<std::int32_t> tiffCompressionFromName(const std::string& name);

// What the image writers are asked for; decode, convert and gif-compile share these words.
struct WriterChoices {
    std::optional<std::int32_t> quality;      // JPEG, percent
    bool progressive = false;                 // JPEG
    bool interlaced = false;                  // GIF, PNG
    std::optional<std::int32_t> compression;  // TIFF Compression tag value
    bool rle = false;                         // BMP (palette images), TGA
    std::int32_t colors = 0;                  // palette output with at most this many colours
    std::optional<std::int32_t> palette;      // index into image::kPaletteTypeNames
    std::optional<std::int32_t> dither;       // index into image::kDitherTypeNames
    std::optional<std::int32_t> method;       // index into image::kResampleMethodNames
};

// --colors (--colours), --palette and --dither.
void addPaletteOptions(OptionList& options, WriterChoices& w);
// Those, --interlaced and the rest of the writer options.
void addWriterOptions(OptionList& options, WriterChoices& w);

// The help lines of the writer options, as addWriterOptions() takes them.
extern const char* const kWriterOptionsHelp;

}  // namespace kalder::cli
