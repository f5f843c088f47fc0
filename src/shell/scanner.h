#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "image/bitmap32.h"

namespace kalder::shell {

// Why a scanner step failed. Every backend status maps onto one of these; none is a crash.
enum class ScanError : std::uint8_t {
    None,
    Unavailable,   // the scanner library could not be initialised
    NoDevice,      // no such device, or it went away
    Busy,          // the device is in use
    Cancelled,     // the user (or cancel()) stopped the scan
    NoDocuments,   // the feeder is empty
    Jammed,        // paper jam in the feeder
    CoverOpen,     // the scanner cover is open
    AccessDenied,  // permission to the device was refused
    Io,            // the device reported an input/output error
    OutOfMemory,
    Unsupported,  // a frame layout or option we cannot handle
    Invalid,      // a bad option value or inconsistent scan parameters
    TooLarge,     // the scan is beyond our image size limits
};

std::string_view scanErrorMessage(ScanError error);

struct ScanStatus {
    ScanError error = ScanError::None;
    std::string detail;  // the backend's own words, when it had any

    bool ok() const { return error == ScanError::None; }
    explicit operator bool() const { return ok(); }
    // "message (detail)" for logs and dialogs.
    std::string text() const;
};

struct ScannerDevice {
    std::string name;  // what open() takes, e.g. "test:0"
    std::string vendor;
    std::string model;
    std::string type;
    // "Vendor Model (name)" for lists.
    std::string label() const;
};

enum class ScanColour : std::uint8_t { LineArt, Gray, Color };

// One scanned page. Pixels are kept as blue, green, red, unused; a grey or line-art scan has equal
// channels (line art only 0 and 255), so the save step can write it back as a palette image.
struct ScannedImage {
    std::unique_ptr<image::Bitmap32> bitmap;
    ScanColour colour = ScanColour::Color;
    std::int32_t dpi = 0;  // 0: not known
};

// The values an option accepts, for the acquisition dialog.
struct ScanOptionInfo {
    bool present = false;
    bool settable = false;
    std::vector<std::string> choices;  // string or number lists
    double minimum = 0, maximum = 0, step = 0;
    bool isRange = false;
    std::string current;
};

// One open scanner. Every call blocks; scanning belongs on a worker thread. cancel() is the one
// call that may come from another thread while a scan runs.
class Scanner {
public:
    ~Scanner();
    Scanner(const Scanner&) = delete;
    Scanner& operator=(const Scanner&) = delete;

    // Initialises the scanner library on first use (it reads its configuration only then).
    static ScanStatus initialise();
    // The devices the library knows now.
    static ScanStatus listDevices(std::vector<ScannerDevice>& devices);
    // Opens a device by name; an empty name opens the first device listed.
    static ScanStatus open(const std::string& name, std::unique_ptr<Scanner>& scanner);

    const std::string& deviceName() const { return m_name; }

    // Options by their backend names ("mode", "resolution", "source", "depth", ...). The value
    // is matched against a string list without regard to case; numbers may be fractional.
    ScanStatus setOption(std::string_view name, std::string_view value);
    ScanOptionInfo optionInfo(std::string_view name) const;
    // The names of the backend's active options, in its order.
    std::vector<std::string> optionNames() const;

    // The colour modes, on the backend's own mode names: line art falls back to one-bit grey
    // where the backend has no line-art mode.
    ScanStatus setColour(ScanColour colour);
    ScanStatus setResolution(double dpi);
    ScanStatus setSource(std::string_view source);
    // True when the chosen source is a document feeder, which delivers pages until it is empty.
    bool feederSelected() const;

    // Scans one page (all frames of a three-pass scanner). NoDocuments when a feeder is empty.
    ScanStatus scanPage(ScannedImage& out);
    // A quick low-resolution scan of the whole area, through the backend's preview option.
    ScanStatus preview(ScannedImage& out);
    // Every page: one for a flatbed, until the feeder is empty (or maxPages, 0 no limit) for a
    // feeder. onPage gets each page in order and answers false to stop. A failure after some
    // pages is returned after those pages were handed over.
    ScanStatus scanPages(std::int32_t maxPages, const std::function<bool(ScannedImage&)>& onPage);

    // Stops the scan in progress; safe from any thread.
    void cancel();

private:
    struct Impl;
    explicit Scanner(std::unique_ptr<Impl> impl, std::string name);
    ScanStatus readFrames(ScannedImage& out);

    std::unique_ptr<Impl> m_impl;
    std::string m_name;
    std::atomic<bool> m_cancelled{false};
};

}  // namespace kalder::shell
