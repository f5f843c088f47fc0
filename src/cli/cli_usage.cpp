#include "cli/cli_usage.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <ostream>
#include <set>
#include <sstream>

#include "image/cdx_loader.h"
#include "image/format_table.h"

namespace kalder::cli {
namespace {

constexpr char kOutputOptions[] =
    "  --quality N        JPEG quality 0-100 (default 75)\n"
    "  --progressive      progressive JPEG\n"
    "  --interlaced       interlaced GIF or PNG\n"
    "  --compression NAME  TIFF: none, ccitt1d, g3, g4, lzw, jpeg, packbits, deflate\n"
    "  --rle              run-length encoded BMP (palette images) or TGA\n"
    "  --colors N         palette output with at most N colours (2-256)\n"
    "  --palette NAME     optimized, websafe, bw, vga, system\n"
    "  --dither NAME      none, ordered, floyd, jarvis, stucki\n"
    "  --method NAME      Lanczos, Bicubic, Bilinear, Cosine, Box\n";

const std::string kDecodeOptions =
    std::string(
        "  -o, --output OUT   the file to write; - for standard output (needs --format)\n"
        "  --format NAME      pam, bmp, pcx, tga, gif, jpg, png or tif instead of OUT's extension\n"
        "  --fit WxH          fit into a box (aspect kept)\n"
        "  --autofit          fit panoramas by height, tall images by width\n"
        "  --zoom-rule N      0 every image, 1 only smaller, 2 only larger than the box\n"
        "  --rotate N         quarter turns clockwise (0-3)\n"
        "  --flip-h, --flip-v  mirror after rotating\n"
        "  --no-smooth        nearest neighbour instead of interpolation\n"
        "  --page N           decode page N (from 0)\n"
        "  --all-pages        every page; OUT gets -N before its extension (GIF and TIFF take\n"
        "                     every page into one file)\n"
        "  --alpha            keep the alpha channel (PAM: RGB_ALPHA)\n"
        "  --background RRGGBB  composite transparency over this colour\n"
        "  --profile FILE     colour-manage to this monitor profile\n"
        "  --calibration R,G,B,EXTRA  per-channel and additional gamma\n"
        "  --resample WxH|N%  scale the decoded image\n") +
    kOutputOptions;

const std::string kConvertOptions =
    std::string(
        "  -o, --output DIR   write into DIR (created); without it beside each source\n"
        "  --format NAME      bmp, gif, jpg, png (default), tif, tga, pcx\n"
        "  --resample WxH|Wx|xH|N%  target size; one side alone with --keep-aspect\n"
        "  --units NAME       pixels, inches, mm, cm, m, feet, yards, points, picas\n"
        "  --dpi X[,Y]        resolution for units and written (default: the file's)\n"
        "  --keep-aspect      keep the aspect ratio (crop to fill when both sides given)\n"
        "  --swap-vertical    exchange width and height for portrait images\n"
        "  --rotate 90|180|270  clockwise\n"
        "  --flip-h, --flip-v  mirror\n"
        "  --prefix S, --suffix S  added to each output name\n"
        "  --copy-subfolders ROOT  recreate the folders below ROOT inside DIR\n"
        "  --preserve-date    keep the source's modification time\n"
        "  --effect E         gamma=R,G,B (0-100, 75 unchanged), negative, bw; repeatable\n"
        "  --overlay-image F, --overlay-text T  stamp onto every image\n"
        "  --overlay-anchor A  top-left ... bottom-right (default bottom-right)\n"
        "  --overlay-spacing H,V  distance from the anchored edges (default 10,10)\n"
        "  --overwrite, --skip-existing  for outputs that exist (default: refuse)\n"
        "  --jobs N           worker threads (default: one per core)\n") +
    kOutputOptions;

const std::array<VerbUsage, 15> kVerbs = {{
    {"info", "[--json] FILE...", "format, description, size, depth, pages, resolution", "",
     "  --json             one JSON array (file names not in UTF-8 keep their other bytes\n"
     "                     as \\udcXX escapes)\n",
     "image"},
    {"decode", "FILE -o OUT [options]", "decode as the viewer does and write the result",
     "OUT's extension (or --format) picks pam, bmp, pcx, tga, gif, jpg, png or tif. GIF output is\n"
     "always reduced to a palette.\n",
     kDecodeOptions.c_str(), "image"},
    {"thumb", "FILE --size N -o OUT", "one thumbnail",
     "OUT's extension (or --format) picks pam or png; an OUT without an extension gets PNG, as a\n"
     "file manager's thumbnailer expects.\n",
     "  -o, --output OUT   the file to write\n"
     "  --format NAME      pam or png instead of OUT's extension\n"
     "  --size N           longer side in pixels\n"
     "  --no-exif          do not use embedded Exif thumbnails\n",
     "image"},
    {"thumbs", "DIR --size N -o OUTDIR\nDIR --cache [--size N] [-o OUTDIR]",
     "thumbnails of every image of a folder",
     "With --cache the thumbnails go through the desktop's shared thumbnail cache, filling it\n"
     "(size 128 by default).\n",
     "  -o, --output OUTDIR  write NAME.pam for every image into OUTDIR\n"
     "  --size N           longer side in pixels\n"
     "  --cache            through the shared thumbnail cache\n"
     "  --no-exif          do not use embedded Exif thumbnails\n"
     "  --jobs N           worker threads (default: one per core)\n",
     "dir"},
    {"exif", "FILE", "the properties report", "", "", "image"},
    {"send-mail", "--server HOST --from ADDR --to ADDR [options] FILE...",
     "mail the files as attachments",
     "--to, --cc and --bcc may be repeated or hold a comma-separated list. The password comes\n"
     "from KALDER_SMTP_PASSWORD or is asked on the terminal.\n",
     "  --server HOST      the SMTP server\n"
     "  --port N           default 25, 587 with starttls, 465 with tls\n"
     "  --security NAME    none, starttls or tls (certificates are verified)\n"
     "  --user NAME        log in as NAME\n"
     "  --ca-file F        also trust the certificates in this PEM file\n"
     "  --from ADDR        the sender's address\n"
     "  --from-name NAME   the sender's name\n"
     "  --to ADDR          a recipient\n"
     "  --cc ADDR          a recipient in copy\n"
     "  --bcc ADDR         a hidden recipient\n"
     "  --subject TEXT     default: the file names\n"
     "  --text TEXT, --text-file F  the message text\n",
     "any"},
    {"gif-compile", "FILE... -o OUT.gif [options]", "one animated GIF, a frame per file", "",
     "  -o, --output OUT   the GIF to write\n"
     "  --delay N          every frame's delay in 1/100 s (default 50)\n"
     "  --disposal N       1 leave in place (default), 2 restore background,\n"
     "                     3 restore previous\n"
     "  --loop N|forever   how often it plays (default: forever; 1 writes no loop block)\n"
     "  --minimize         store only what changes, unchanged pixels transparent, when\n"
     "                     that makes the file smaller\n"
     "  --separate-palettes  a palette per frame (optimized palette only)\n"
     "  --comment TEXT     a comment block\n"
     "  --palette NAME     optimized, websafe, bw, vga, system\n"
     "  --colors N         at most N colours (2-256)\n"
     "  --dither NAME      none, ordered, floyd, jarvis, stucki\n"
     "  --interlaced       interlaced frames\n",
     "image"},
    {"icon-compile", "FILE... -o OUT.ico|OUT.cur|OUT.ani [options]",
     "an icon, cursor or animated cursor of every page", "",
     "  -o, --output OUT   the .ico, .cur or .ani to write\n"
     "  --transparent RRGGBB  this colour becomes transparent\n"
     "  --mask FILE        the transparency mask\n"
     "  --hotspot X,Y      the cursor's hot spot\n"
     "  --delay N          frame delay of an .ani in 1/100 s\n"
     "  --sizes standard|N,N,...  make these square sizes from one picture (standard: 16,\n"
     "                     24, 32, 48, 64, 128 and 256, as far as the picture is large)\n",
     "image"},
    {"jpeg-transform",
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
     "image"},
    {"exif-orientation", "VALUE FILE...\n--show FILE...",
     "set (1-8) or print the Exif Orientation tag in place", "",
     "  --show             print the tag instead of setting it\n", "image"},
    {"convert", "FILE... [-o DIR] [options]", "convert many files", "", kConvertOptions.c_str(),
     "image"},
    {"psd-layers", "FILE... -o DIR [--bmp|--png] [--expand]", "every layer as a file", "",
     "  -o, --output DIR   the folder to write into\n"
     "  --bmp              BMP with a _mask.bmp beside it (the default)\n"
     "  --png              PNG\n"
     "  --expand           every layer at the document's size\n",
     "image"},
    {"scan", "[--device NAME] [options] -o OUT\n--list\n--device NAME --options",
     "acquire from a scanner",
     "OUT's extension picks bmp, jpg, png, tga or tif; feeder pages get -N before it.\n",
     "  -o, --output OUT   the file to write\n"
     "  --list             list the devices\n"
     "  --device NAME      the device (default: the first one)\n"
     "  --mode NAME        color, gray or lineart\n"
     "  --resolution DPI   dots per inch\n"
     "  --source NAME      flatbed, feeder, ... as the device names them\n"
     "  --pages N          at most N pages from a feeder\n"
     "  --option NAME=VALUE  set one of the device's own options; repeatable\n"
     "  --options          list the device's options, their values and ranges\n",
     "none"},
    {"associate", "--status\n--all\nFORMAT...\n--restore [FORMAT...]",
     "make the viewer the default for image types, or give them back", "",
     "  --status           which types open with the viewer\n"
     "  --all              every type\n"
     "  --restore          give the types back to the applications they had\n",
     "none"},
    {"companion", "--check FILE\n--find [FOLDER...]",
     "whether FILE is the companion editor, or where one is",
     "--find searches the fixed disks by default.\n",
     "  --check FILE       whether FILE is the companion editor\n"
     "  --find             search these folders\n",
     "any"},
}};

constexpr char kCommonOptions[] =
    "  --quiet            no progress lines\n"
    "  -h, --help         this help\n";

bool g_quiet = false;

// Roff treats a leading "." or "'" as a request and "\" as an escape; "-" is a hyphen unless
// escaped, which breaks copying option names from the page.
std::string roff(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else
            out += c;
    }
    if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out.insert(0, "\\&");
    return out;
}

std::vector<std::string> splitLines(std::string_view text) {
    std::vector<std::string> out;
    for (std::size_t start = 0; start < text.size();) {
        auto end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        out.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

// An option line's two columns: "  --size N           longer side" -> "--size N", "longer side".
// A continuation line has an empty first column.
std::pair<std::string, std::string> optionColumns(const std::string& line) {
    const auto begin = line.find_first_not_of(' ');
    if (begin == std::string::npos) return {};
    if (begin > 2) return {"", line.substr(begin)};
    const auto gap = line.find("  ", begin);
    if (gap == std::string::npos) return {line.substr(begin), ""};
    const auto text = line.find_first_not_of(' ', gap);
    return {line.substr(begin, gap - begin), text == std::string::npos ? "" : line.substr(text)};
}

}  // namespace

std::span<const VerbUsage> verbUsages() { return kVerbs; }

const VerbUsage* findVerb(std::string_view name) {
    for (const auto& v : kVerbs)
        if (name == v.name) return &v;
    return nullptr;
}

std::string overviewText() {
    std::string out = "usage: kalder-cli COMMAND [options] FILE...\n\ncommands:\n";
    for (const auto& v : kVerbs) {
        std::string name = "  " + std::string(v.name);
        name.resize(20, ' ');
        out += name + v.summary + "\n";
    }
    out += "\noptions of every command:\n";
    out += kCommonOptions;
    out += "  --version          the version\n";
    out += "\nA file name of - reads standard input; -- ends the options.\n";
    out += "Run 'kalder-cli COMMAND --help' for a command's own options.\n";
    out += "\nexit status: 0 success, 1 a file could not be read or written, 2 usage error\n";
    return out;
}

std::string verbHelpText(const VerbUsage& v) {
    std::string out;
    bool first = true;
    for (const auto& line : splitLines(v.synopsis)) {
        out += (first ? "usage: kalder-cli " : "       kalder-cli ") + std::string(v.name) + " " +
               line + "\n";
        first = false;
    }
    out += "\n" + std::string(v.summary) + "\n";
    if (*v.details) out += "\n" + std::string(v.details);
    out += "\noptions:\n" + std::string(v.options) + kCommonOptions;
    return out;
}

std::vector<std::string> verbOptionWords(const VerbUsage& v) {
    std::vector<std::string> out;
    std::set<std::string> seen;
    for (const auto& line : splitLines(std::string(v.options) + kCommonOptions)) {
        const std::string first = optionColumns(line).first;
        std::istringstream words(first);
        for (std::string w; words >> w;) {
            while (!w.empty() && (w.back() == ',' || w.back() == '|')) w.pop_back();
            if (w.size() > 1 && w[0] == '-' && w != "-" && seen.insert(w).second) out.push_back(w);
        }
    }
    return out;
}

std::string manPageText() {
    std::string out =
        ".\\\" Made by kalder-cli-docs from the program's own help; edit src/cli/cli_usage.cpp.\n"
        ".TH KALDER-CLI 1 \"\" \"Kalder\" \"User Commands\"\n"
        ".SH NAME\n"
        "kalder-cli \\- the Kalder image viewer's engines from the command line\n"
        ".SH SYNOPSIS\n"
        ".B kalder-cli\n"
        ".I COMMAND\n"
        "[\\fIoptions\\fR] [\\fB\\-\\-\\fR] \\fIFILE\\fR...\n"
        ".SH DESCRIPTION\n"
        "Decodes, converts, thumbnails and mails images as the viewer does, without a window.\n"
        "Errors go to standard error as \\fBkalder\\-cli: \\fIFILE\\fB: \\fIreason\\fR.\n"
        "A file name of \\fB\\-\\fR reads standard input; \\fB\\-\\-\\fR ends the options.\n"
        "Progress lines appear on standard error when it is a terminal.\n"
        ".SH OPTIONS\n";
    auto optionBlock = [&](std::string_view text) {
        for (const auto& line : splitLines(text)) {
            const auto [word, what] = optionColumns(line);
            if (word.empty()) {
                out += roff(what) + "\n";
            } else {
                out += ".TP\n.B " + roff(word) + "\n";
                if (!what.empty()) out += roff(what) + "\n";
            }
        }
    };
    optionBlock(std::string(kCommonOptions) + "  --version          the version\n");
    out += ".SH COMMANDS\n";
    for (const auto& v : kVerbs) {
        out += ".SS " + roff(v.name) + "\n";
        for (const auto& line : splitLines(v.synopsis))
            out += ".B kalder\\-cli " + roff(v.name) + "\n" + roff(line) + "\n.br\n";
        out += ".PP\n" + roff(v.summary) + ".\n";
        for (const auto& line : splitLines(v.details)) out += roff(line) + "\n";
        if (*v.options) {
            out += ".PP\n";
            optionBlock(v.options);
        }
    }
    out +=
        ".SH ENVIRONMENT\n"
        ".TP\n.B KALDER_SMTP_PASSWORD\n"
        "the password for \\fBsend\\-mail \\-\\-user\\fR\n"
        ".SH EXIT STATUS\n"
        "0 success, 1 a file could not be read or written, 2 usage error.\n"
        ".SH SEE ALSO\n"
        ".BR kalder (1)\n";
    return out;
}

std::string bashCompletionText() {
    std::set<std::string> extensions;
    for (const auto& e : image::extensionTable())
        if (e.extension.size() > 1) extensions.insert(std::string(e.extension.substr(1)));
    std::string pattern;
    for (const auto& e : extensions) {
        std::string both = e;
        for (char& c : both) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        pattern += (pattern.empty() ? "" : "|") + e + "|" + both;
    }
    std::string out =
        "# bash completion for kalder-cli; made by kalder-cli-docs from the program's own help.\n"
        "_kalder_cli()\n"
        "{\n"
        "    local cur prev verb i\n"
        "    COMPREPLY=()\n"
        "    cur=${COMP_WORDS[COMP_CWORD]}\n"
        "    prev=${COMP_WORDS[COMP_CWORD-1]}\n"
        "    if [[ $COMP_CWORD -eq 1 ]]; then\n"
        "        COMPREPLY=($(compgen -W '";
    for (const auto& v : kVerbs) out += std::string(v.name) + " ";
    out +=
        "--help --version' -- \"$cur\"))\n"
        "        return\n"
        "    fi\n"
        "    verb=${COMP_WORDS[1]}\n"
        "    for ((i = 2; i < COMP_CWORD; i++)); do\n"
        "        if [[ ${COMP_WORDS[i]} == -- ]]; then\n"
        "            _kalder_cli_files \"$verb\"\n"
        "            return\n"
        "        fi\n"
        "    done\n"
        "    case $prev in\n"
        "        -o|--output|--profile|--mask|--ca-file|--text-file|--overlay-image|--check)\n"
        "            compopt -o filenames 2>/dev/null\n"
        "            COMPREPLY=($(compgen -f -- \"$cur\"))\n"
        "            return\n"
        "            ;;\n"
        "        --copy-subfolders|--find)\n"
        "            compopt -o filenames 2>/dev/null\n"
        "            COMPREPLY=($(compgen -d -- \"$cur\"))\n"
        "            return\n"
        "            ;;\n"
        "    esac\n"
        "    if [[ $cur == -* ]]; then\n"
        "        local words\n"
        "        case $verb in\n";
    for (const auto& v : kVerbs) {
        out += "            " + std::string(v.name) + ") words='";
        bool first = true;
        for (const auto& w : verbOptionWords(v)) {
            out += (first ? "" : " ") + w;
            first = false;
        }
        out += "' ;;\n";
    }
    out +=
        "            *) return ;;\n"
        "        esac\n"
        "        COMPREPLY=($(compgen -W \"$words\" -- \"$cur\"))\n"
        "        return\n"
        "    fi\n"
        "    _kalder_cli_files \"$verb\"\n"
        "}\n"
        "\n"
        "# The file arguments a verb reads: images by extension, folders, or any file.\n"
        "_kalder_cli_files()\n"
        "{\n"
        "    local cur=${COMP_WORDS[COMP_CWORD]}\n"
        "    compopt -o filenames 2>/dev/null\n"
        "    case $1 in\n";
    for (const char* kind : {"image", "dir", "any"}) {
        std::string names;
        for (const auto& v : kVerbs)
            if (std::string_view(v.operands) == kind)
                names += (names.empty() ? "" : "|") + std::string(v.name);
        if (names.empty()) continue;
        out += "        " + names + ")\n";
        if (std::string_view(kind) == "image")
            out += "            COMPREPLY=($(compgen -d -- \"$cur\") $(compgen -f -X '!*.@(" +
                   pattern + ")' -- \"$cur\"))\n";
        else if (std::string_view(kind) == "dir")
            out += "            COMPREPLY=($(compgen -d -- \"$cur\"))\n";
        else
            out += "            COMPREPLY=($(compgen -f -- \"$cur\"))\n";
        out += "            ;;\n";
    }
    out +=
        "    esac\n"
        "}\n"
        "\n"
        "complete -F _kalder_cli kalder-cli\n";
    return out;
}

int usageError(std::ostream& err, std::string_view verb, std::string_view message) {
    err << "kalder-cli: " << message << "\n";
    if (findVerb(verb))
        err << "Try 'kalder-cli " << verb << " --help' for more information.\n";
    else
        err << "Try 'kalder-cli --help' for more information.\n";
    return 2;
}

int fileError(std::ostream& err, std::string_view file, std::string_view reason) {
    err << "kalder-cli: " << file << ": " << reason << "\n";
    return 1;
}

std::string readFailureReason(const std::string& file) {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) return std::strerror(errno);
    if (S_ISDIR(st.st_mode)) return std::strerror(EISDIR);
    if (::access(file.c_str(), R_OK) != 0) return std::strerror(errno);
    if (st.st_size == 0) return "empty file";
    // A codec module missing from the installation is something the user can fix: say which.
    if (std::string why = image::cdx::missingModuleMessage(file); !why.empty()) return why;
    if (image::DetectFormat(file, image::DetectMode::ByContent) < 0) return "not a supported image";
    return "damaged or truncated image";
}

void setQuiet(bool quiet) { g_quiet = quiet; }

bool progressWanted() { return !g_quiet && ::isatty(STDERR_FILENO) == 1; }

bool asksForHelp(const std::vector<std::string>& args) {
    for (const auto& a : args) {
        if (a == "--") return false;
        if (a == "--help" || a == "-h") return true;
    }
    return false;
}

}  // namespace kalder::cli
