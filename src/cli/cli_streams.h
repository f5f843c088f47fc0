#pragma once

#include <filesystem>
#include <iosfwd>
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

// Copies the file's bytes to the stream; false when reading or writing failed.
bool copyFileTo(const std::filesystem::path& file, std::ostream& out);

// JSON string contents: quotes, backslashes and control characters escaped; bytes that are not
// well-formed UTF-8 become \udcXX, so the document stays valid UTF-8 and the original bytes
// can still be told apart.
std::string jsonEscape(const std::string& text);

}  // namespace kalder::cli
