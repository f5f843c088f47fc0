#include "shell/qt/printer_access.h"

#include <QImage>
#include <QPageLayout>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <cmath>

namespace kalder::shell {

namespace {

// The queue's device URI as the print server reports it ("device for Q: URI").
std::string deviceUri(const QString& name) {
    QProcess lpstat;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    lpstat.setProcessEnvironment(env);
    lpstat.start(QStringLiteral("lpstat"), {QStringLiteral("-v"), name});
    if (!lpstat.waitForFinished(2000)) {
        lpstat.kill();
        lpstat.waitForFinished(500);
        return {};
    }
    const QString out = QString::fromLocal8Bit(lpstat.readAllStandardOutput()).trimmed();
    const qsizetype colon = out.indexOf(QStringLiteral(": "));
    return colon < 0 ? std::string() : out.mid(colon + 2).section(u'\n', 0, 0).toStdString();
}

}  // namespace

std::vector<PrinterEntry> listPrinters() {
    std::vector<PrinterEntry> list;
    const QString defaultName = QPrinterInfo::defaultPrinterName();
    for (const QPrinterInfo& info : QPrinterInfo::availablePrinters()) {
        PrinterEntry e;
        e.name = info.printerName().toStdString();
        e.isDefault = info.printerName() == defaultName;
        e.where = info.location().toStdString();
        if (e.where.empty()) e.where = deviceUri(info.printerName());
        if (e.isDefault)
            list.insert(list.begin(), std::move(e));
        else
            list.push_back(std::move(e));
    }
    return list;
}

PrinterSession::~PrinterSession() = default;

std::unique_ptr<PrinterSession> PrinterSession::open(const std::string& name) {
    const QPrinterInfo info = QPrinterInfo::printerInfo(QString::fromStdString(name));
    if (info.isNull()) return nullptr;
    std::unique_ptr<PrinterSession> s(new PrinterSession);
    s->m_name = name;
    s->m_printer = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    if (!s->m_printer->isValid()) return nullptr;
    return s;
}

bool PrinterSession::stillAvailable() const {
    return !QPrinterInfo::printerInfo(QString::fromStdString(m_name)).isNull();
}

PrinterGeometry PrinterSession::geometry() const {
    PrinterGeometry g;
    const int dpiX = m_printer->logicalDpiX() > 0 ? m_printer->logicalDpiX() : 0;
    const int dpiY = m_printer->logicalDpiY() > 0 ? m_printer->logicalDpiY() : 0;
    const int resolution = m_printer->resolution();
    if (dpiX <= 0 || dpiY <= 0 || resolution <= 0) return g;
    const QPageLayout layout = m_printer->pageLayout();
    const QRect full = layout.fullRectPixels(resolution);
    const QRect paint = layout.paintRectPixels(resolution);
    const QRectF paintMm = layout.paintRect(QPageLayout::Millimeter);
    g.printableWidthMm = paintMm.width();
    g.printableHeightMm = paintMm.height();
    g.landscape = layout.orientation() == QPageLayout::Landscape;
    g.printableWidthPx = paint.width();
    g.printableHeightPx = paint.height();
    g.pageWidthPx = full.width();
    g.pageHeightPx = full.height();
    g.offsetXPx = paint.x() - full.x();
    g.offsetYPx = paint.y() - full.y();
    g.pixelsPerMmX = dpiX / 25.4;
    g.pixelsPerMmY = dpiY / 25.4;
    g.monochrome = m_printer->colorMode() == QPrinter::GrayScale;
    return g;
}

bool PrinterSession::editProperties(QWidget* parent) {
    QPrintDialog dialog(m_printer.get(), parent);
    dialog.setOption(QAbstractPrintDialog::PrintToFile, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    if (dialog.exec() != QDialog::Accepted) return false;
    m_name = m_printer->printerName().toStdString();
    return true;
}

PrintJob::PrintJob(PrinterSession& session) : m_session(session) {}

PrintJob::~PrintJob() {
    if (m_painter && m_painter->isActive()) abort();
}

bool PrintJob::begin(const std::string& documentName) {
    if (!m_session.stillAvailable()) return false;
    QPrinter& printer = m_session.printer();
    printer.setDocName(QString::fromStdString(documentName));
    printer.setFullPage(false);
    m_geometry = m_session.geometry();
    if (!m_geometry.valid()) return false;
    m_painter = std::make_unique<QPainter>();
    if (!m_painter->begin(&printer)) {
        m_painter.reset();
        return false;
    }
    m_painter->setBackgroundMode(Qt::TransparentMode);
    m_painter->setCompositionMode(QPainter::CompositionMode_Source);
    m_painter->setRenderHint(QPainter::SmoothPixmapTransform, true);
    return true;
}

void PrintJob::drawBitmap(const image::Bitmap32& bitmap, const DeviceRect& target,
                          const DeviceRect& source) {
    if (!m_painter || bitmap.isEmpty() || target.width <= 0 || target.height <= 0) return;
    if (source.x < 0 || source.y < 0 || source.width <= 0 || source.height <= 0 ||
        source.x + source.width > bitmap.width() || source.y + source.height > bitmap.height())
        return;
    // Our pixels, only wrapped so the painter can draw them.
    const QImage wrapped(bitmap.pixels(), bitmap.width(), bitmap.height(),
                         static_cast<qsizetype>(bitmap.stride()), QImage::Format_RGB32);
    m_painter->drawImage(QRect(target.x, target.y, target.width, target.height), wrapped,
                         QRect(source.x, source.y, source.width, source.height));
}

bool PrintJob::newPage() { return m_painter && m_session.printer().newPage(); }

bool PrintJob::end() {
    if (!m_painter) return false;
    const bool ok = m_painter->end();
    m_painter.reset();
    return ok;
}

void PrintJob::abort() {
    if (!m_painter) return;
    m_session.printer().abort();
    m_painter->end();
    m_painter.reset();
}

}  // namespace kalder::shell
