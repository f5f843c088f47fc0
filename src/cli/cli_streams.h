#pragma once

#include <filesystem>
#include <iosfwd>
#include <memory>
#include <string>

namespace kalder::cli {

// A file name the commands read from: "-" is standard input, kept in a temporary file for the
// readers, which seek. The file goes when this does.
class InputFile {
public:
    explicit InputFile(std::string name);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // False when standard input could not be read into the temporary file.
    bool ok() const { return m_ok; }
    // What the readers open.
    const std::filesystem::path& path() const { return m_path; }
    // What messages call it: the name as given.
    const std::string& name() const { return m_name; }

private:
    std::string m_name;
    std::filesystem::path m_path;
    std::filesystem::path m_tempDir;
    bool m_ok = true;
};

// A private folder for results that go to standard output; removed with its contents.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    bool ok() const { return !m_path.empty(); }
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

// Where a command writes: OUT itself, or for "-" a temporary file whose bytes go to standard
// output once it is complete, so a failed decode never leaves half an image in a pipe.
class OutputTarget {
public:
    // `ext` (".png") names the temporary file, for writers that go by it.
    OutputTarget(const std::string& output, const std::string& ext);
    bool ok() const { return !m_path.empty(); }
    const std::filesystem::path& path() const { return m_path; }
    // After the command wrote path(): its bytes to standard output. The exit status.
    int finish(std::ostream& out, std::ostream& err) const;

private:
    bool m_toStdout;
    std::unique_ptr<TempFolder> m_temp;
    std::filesystem::path m_path;
};

// The format an output is written in, as an extension (".pam", ".png", ...): `format` (--format),
// else OUT's extension. A thumbnail is PAM or PNG, an OUT without extension PNG. Empty with
// `error` set when neither names one we write.
std::string outputExtension(const std::string& output, const std::string& format, bool thumbnail,
                            std::string& error);

// Copies the file's bytes to the stream; false when reading or writing failed.
bool copyFileTo(const std::filesystem::path& file, std::ostream& out);

// JSON string contents: quotes, backslashes and control characters escaped; bytes that are not
// well-formed UTF-8 become \udcXX, so the document stays valid UTF-8 and the original bytes
// can still be told apart.
std::string jsonEscape(const std::string& text);

}  // namespace kalder::cli
