#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "base/translatable.h"
#include "image/result.h"
#include "shell/scanner.h"

namespace kalder::tools {

inline constexpr char kScanSaveFilter[] =
    QT_TRANSLATE_NOOP("Filters", "Windows Bitmap (*.bmp)") "|*.bmp|" QT_TRANSLATE_NOOP(
        "Filters", "JPEG Image (*.jpg)") "|*.jpg|" QT_TRANSLATE_NOOP("Filters", "PNG Image (*.png)")
        "|*.png|" QT_TRANSLATE_NOOP("Filters", "TGA (Truevision Targa Image) (*.tga)") "|*.tga|"
            QT_TRANSLATE_NOOP("Filters", "TIFF Image (*.tif)") "|*.tif||";
inline constexpr char kScanCannotSave[] =
    QT_TRANSLATE_NOOP("Messages", "Cannot save the acquired image.");
inline constexpr char kScanErrorAcquiring[] =
    QT_TRANSLATE_NOOP("Messages", "Error acquiring image(s).");

// The file types an acquired image can be saved as, numbered as in the Save dialog's filter.
enum class ScanSaveType : std::int32_t { Bmp = 1, Jpeg = 2, Png = 3, Tga = 4, Tiff = 5 };

// "bmp", "jpg", "png", "tga", "tif".
const char* scanSaveExtension(ScanSaveType type);
// The type of a file name's extension (any case; "jpeg" and "tiff" too), or nothing.
std::optional<ScanSaveType> scanSaveTypeForPath(const std::filesystem::path& path);
// A filter index (1..5) as a type; anything else is BMP.
ScanSaveType scanSaveTypeFromIndex(std::int32_t index);

// "Output" plus the count when above 0, plus the type's extension: "Output.bmp", "Output1.png".
std::string scanDefaultName(std::int32_t saveCount, ScanSaveType type);
// The typed name with its extension replaced by the type's (added when it has none).
std::string switchScanExtension(std::string_view name, ScanSaveType type);
// "scan.png" as the n-th page of a run: "scan-2.png".
std::filesystem::path numberedScanPath(const std::filesystem::path& path, std::int32_t page);

// Writes one scanned page as the type, with the writer options that type gets for acquired
// images: grey scans become grey JPEGs, and stay 8-bit (line art 1-bit) palette files elsewhere.
image::Status writeScannedImage(const shell::ScannedImage& scan, ScanSaveType type,
                                const std::filesystem::path& path);

// What the save step asks its host (a Save dialog, or a fixed name in scripts).
struct ScanSaveRequest {
    std::string defaultName;
    ScanSaveType type = ScanSaveType::Bmp;
    std::filesystem::path folder;  // where the question starts; empty: the host's choice
};
struct ScanSaveChoice {
    std::filesystem::path path;
    ScanSaveType type = ScanSaveType::Bmp;
};
// Answers nothing when the user cancelled.
using ScanSaveAsk = std::function<std::optional<ScanSaveChoice>(const ScanSaveRequest&)>;

// The choice with name and type agreeing: a known extension decides the type (the user typed
// it), any other name gets the type's extension added.
ScanSaveChoice matchScanExtension(ScanSaveChoice choice);

// The save counter, last type and start folder of one window's acquisitions. One scan run
// (every sheet of the feeder) asks once: its first page goes where the user chose, the later
// ones beside it, numbered "-2", "-3", ... past names that exist.
class ScanSaveSession {
public:
    enum class Outcome { Saved, Cancelled, Failed };

    // The folder the question starts in (the folder being browsed).
    void setFolder(std::filesystem::path folder) { m_folder = std::move(folder); }
    // A new scan run: its first page asks again.
    void beginRun();
    // Writes the page, asking first when the run has no choice yet. Cancelled when the user
    // cancelled the question: the run ends there, its later pages are not saved either.
    Outcome save(const shell::ScannedImage& scan, const ScanSaveAsk& ask);

    std::int32_t saveCount() const { return m_saveCount; }
    ScanSaveType lastSaveType() const { return m_lastSaveType; }

private:
    std::int32_t m_saveCount = 0;
    ScanSaveType m_lastSaveType = ScanSaveType::Bmp;
    std::filesystem::path m_folder;
    // The run so far: its choice (empty path: none yet), pages written, whether it ended.
    ScanSaveChoice m_run;
    std::int32_t m_runPages = 0;
    bool m_runCancelled = false;
};

}  // namespace kalder::tools
