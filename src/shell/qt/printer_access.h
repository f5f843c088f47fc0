#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "image/bitmap32.h"

class QPrinter;
class QPainter;
class QWidget;

namespace kalder::shell {

// One print queue as the "Device:" list shows it.
struct PrinterEntry {
    std::string name;
    std::string where;  // location, else the device URI
    bool isDefault = false;
};

// Every queue, the default one first; empty when there are none (or no print server).
std::vector<PrinterEntry> listPrinters();

// Device geometry of a printer, in its own pixels.
struct PrinterGeometry {
    double printableWidthMm = 0;
    double printableHeightMm = 0;
    bool landscape = false;
    std::int32_t printableWidthPx = 0;
    std::int32_t printableHeightPx = 0;
    std::int32_t pageWidthPx = 0;
    std::int32_t pageHeightPx = 0;
    std::int32_t offsetXPx = 0;  // of the printable area on the physical page
    std::int32_t offsetYPx = 0;
    double pixelsPerMmX = 0;
    double pixelsPerMmY = 0;
    bool monochrome = false;
    bool valid() const { return pageWidthPx > 0 && pageHeightPx > 0 && pixelsPerMmX > 0; }
};

struct DeviceRect {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// One queue opened for layout and printing; keeps the options its properties dialog chose.
class PrinterSession {
public:
    ~PrinterSession();
    // Null when the queue is not (or no longer) there.
    static std::unique_ptr<PrinterSession> open(const std::string& name);
    const std::string& name() const { return m_name; }
    PrinterGeometry geometry() const;
    // The queue's own options dialog; true on OK.
    bool editProperties(QWidget* parent);
    // Is the queue still installed?
    bool stillAvailable() const;

    QPrinter& printer() { return *m_printer; }

private:
    PrinterSession() = default;
    std::string m_name;
    std::unique_ptr<QPrinter> m_printer;
};

// A job on a session: pages of prepared cells drawn at device pixels.
class PrintJob {
public:
    explicit PrintJob(PrinterSession& session);
    ~PrintJob();
    // False when the job cannot start (the printer refused or vanished).
    bool begin(const std::string& documentName);
    // Draws the `source` part of a bitmap stretched over `target` (device pixels from the
    // printable area's top-left corner).
    void drawBitmap(const image::Bitmap32& bitmap, const DeviceRect& target,
                    const DeviceRect& source);
    bool newPage();
    bool end();
    void abort();

private:
    PrinterSession& m_session;
    std::unique_ptr<QPainter> m_painter;
    PrinterGeometry m_geometry;
};

}  // namespace kalder::shell
