#include "cli/cli_streams.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <system_error>

#include "cli/cli_usage.h"
#include "image/writers/writer_factory.h"
#include "tools/convert/page_preparation.h"

namespace kalder::cli {
namespace fs = std::filesystem;

namespace {

fs::path makeTempFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/kalder-cli.XXXXXX";
    if (!::mkdtemp(pattern.data())) return {};
    return pattern;
}

// The length of the well-formed UTF-8 sequence at `at`, or 0.
std::size_t utf8Length(const std::string& s, std::size_t at) {
    const auto b = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = b(at);
    if (lead < 0x80) return 1;
    std::size_t n = 0;
    unsigned char lo = 0x80, hi = 0xBF;  // the second byte's range, narrower for some leads
    if (lead >= 0xC2 && lead <= 0xDF) {
        n = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        n = 3;
        if (lead == 0xE0) lo = 0xA0;  // no overlong forms
        if (lead == 0xED) hi = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        n = 4;
        if (lead == 0xF0) lo = 0x90;
        if (lead == 0xF4) hi = 0x8F;  // nothing above U+10FFFF
    } else {
        return 0;
    }
    if (at + n > s.size()) return 0;
    if (b(at + 1) < lo || b(at + 1) > hi) return 0;
    for (std::size_t k = 2; k < n; ++k)
        if ((b(at + k) & 0xC0) != 0x80) return 0;
    return n;
}

}  // namespace

InputFile::InputFile(std::string name) : m_name(std::move(name)), m_path(m_name) {
    if (m_name != "-") return;
    m_ok = false;
    m_tempDir = makeTempFolder();
    if (m_tempDir.empty()) return;
    m_path = m_tempDir / "stdin";
    std::ofstream out(m_path, std::ios::binary);
    char buffer[65536];
    for (;;) {
        const std::size_t n = std::fread(buffer, 1, sizeof buffer, stdin);
        if (n > 0) out.write(buffer, static_cast<std::streamsize>(n));
        if (n < sizeof buffer) break;
    }
    out.close();
    m_ok = !std::ferror(stdin) && out.good();
}

InputFile::~InputFile() {
    std::error_code ec;
    if (!m_tempDir.empty()) fs::remove_all(m_tempDir, ec);
}

TempFolder::TempFolder() : m_path(makeTempFolder()) {}

TempFolder::~TempFolder() {
    std::error_code ec;
    if (!m_path.empty()) fs::remove_all(m_path, ec);
}

bool copyFileTo(const fs::path& file, std::ostream& out) {
    errno = 0;
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    char buffer[65536];
    while (in) {
        in.read(buffer, sizeof buffer);
        const auto n = in.gcount();
        if (n > 0 && !out.write(buffer, n)) return false;
    }
    out.flush();
    return !in.bad() && static_cast<bool>(out) && (&out != &std::cout || std::fflush(stdout) == 0);
}

std::string jsonEscape(const std::string& s) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            out += "\\u00";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else if (const std::size_t n = utf8Length(s, i); n > 0) {
            out.append(s, i, n);
            i += n;
            continue;
        } else {
            out += "\\udc";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
        ++i;
    }
    return out;
}

OutputTarget::OutputTarget(const std::string& output, const std::string& ext)
    : m_toStdout(output == "-"), m_path(output) {
    if (!m_toStdout) return;
    m_temp = std::make_unique<TempFolder>();
    m_path = m_temp->ok() ? m_temp->path() / ("out" + ext) : fs::path();
}

int OutputTarget::finish(std::ostream& out, std::ostream& err) const {
    if (m_toStdout && !copyFileTo(m_path, out))
        return fileError(err, "standard output", std::strerror(errno ? errno : EIO));
    return 0;
}

std::string outputExtension(const std::string& output, const std::string& format, bool thumbnail,
                            std::string& error) {
    std::string ext;
    if (!format.empty()) {
        ext = tools::lowerExtension("x." + format);
    } else if (output == "-") {
        error = "writing to standard output needs --format";
        return {};
    } else {
        ext = tools::lowerExtension(output);
    }
    // A file manager's thumbnailer names its output as it likes, often with no extension:
    // a thumbnail is PNG unless PAM is asked for by name. A decode without an extension is
    // the plain PAM dump (scripts write frames as "frame-N" this way).
    if (ext.empty() && output != "-") ext = thumbnail ? ".png" : ".pam";
    const bool known =
        ext == ".pam" ||
        (thumbnail ? ext == ".png" : image::createWriterForExtension(ext) != nullptr);
    if (!known) {
        const char* list = thumbnail ? "pam or png" : "pam, bmp, pcx, tga, gif, jpg, png or tif";
        error = format.empty()
                    ? output + ": unknown output format (the extension must name " + list + ")"
                    : "bad value for --format (" + std::string(list) + "): " + format;
        return {};
    }
    return ext;
}

}  // namespace kalder::cli
