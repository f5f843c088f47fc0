#include "app/gui/main_window.h"

#include <algorithm>

#include <QKeyEvent>
#include <QMessageBox>

#include "app/gui/document_loader.h"
#include "app/gui/image_widget.h"
#include "image/format_table.h"
#include "image/image_document.h"

namespace kalder::gui {
namespace fs = std::filesystem;

namespace {
constexpr int kResizeSettleMs = 150;
}

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(QStringLiteral("Kalder"));
    m_view = new ImageWidget(this);
    setCentralWidget(m_view);
    m_loader = new DocumentLoader(this);
    resize(1024, 768);

    connect(m_loader, &DocumentLoader::pageStarted, this,
            [this](std::shared_ptr<image::ImageDocument> doc) {
                m_document = std::move(doc);
                m_view->setBitmap(&m_document->PageAt(0).bitmap);
            });
    connect(m_loader, &DocumentLoader::finished, this,
            [this](std::shared_ptr<image::ImageDocument> doc, bool ok) {
                m_idle = true;
                if (ok) {
                    m_document = std::move(doc);
                    m_view->setBitmap(&m_document->PageAt(0).bitmap);
                    setWindowTitle(QString::fromStdString(m_current.filename().string()) +
                                   QStringLiteral(" - Kalder"));
                }
                emit imageShown(ok);
            });
    m_resizeTimer.setSingleShot(true);
    connect(&m_resizeTimer, &QTimer::timeout, this, [this] { requestCurrent(); });
}

MainWindow::~MainWindow() {
    m_loader->cancel();
    m_view->setBitmap(nullptr);
}

bool MainWindow::openFile(const fs::path& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) {
        QMessageBox::critical(this, QStringLiteral("Kalder"),
                              QStringLiteral("Cannot view file: \"%1\".")
                                  .arg(QString::fromStdString(path.string())));
        return false;
    }
    m_current = fs::absolute(path, ec);
    scanFolder();
    requestCurrent();
    return true;
}

bool MainWindow::openFolder(const fs::path& folder) {
    std::error_code ec;
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(folder, ec))
        if (e.is_regular_file(ec) && image::DetectFormat(e.path(), image::DetectMode::ByExtension) >= 0)
            files.push_back(e.path());
    if (files.empty()) return false;
    std::sort(files.begin(), files.end());
    return openFile(files.front());
}

void MainWindow::scanFolder() {
    m_folderFiles.clear();
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(m_current.parent_path(), ec))
        if (e.is_regular_file(ec) && image::DetectFormat(e.path(), image::DetectMode::ByExtension) >= 0)
            m_folderFiles.push_back(e.path());
    std::sort(m_folderFiles.begin(), m_folderFiles.end());
}

void MainWindow::requestCurrent() {
    if (m_current.empty()) return;
    image::LoadOptions o;
    o.path = m_current;
    o.fitWidth = std::max(1, m_view->width());
    o.fitHeight = std::max(1, m_view->height());
    // Large images are fitted to the window; small ones keep their size.
    o.zoomRule = 2;
    o.limitWidth = o.fitWidth;
    o.limitHeight = o.fitHeight;
    o.blendAlpha = true;
    m_idle = false;
    m_loader->request(o);
}

void MainWindow::step(int delta) {
    if (m_folderFiles.empty()) return;
    auto it = std::find(m_folderFiles.begin(), m_folderFiles.end(), m_current);
    std::ptrdiff_t i = it == m_folderFiles.end() ? 0 : it - m_folderFiles.begin();
    i = std::clamp<std::ptrdiff_t>(i + delta, 0, static_cast<std::ptrdiff_t>(m_folderFiles.size()) - 1);
    m_current = m_folderFiles[static_cast<std::size_t>(i)];
    requestCurrent();
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Right:
        case Qt::Key_PageDown:
        case Qt::Key_Space: step(1); break;
        case Qt::Key_Left:
        case Qt::Key_PageUp:
        case Qt::Key_Backspace: step(-1); break;
        case Qt::Key_Home: step(-1000000); break;
        case Qt::Key_End: step(1000000); break;
        case Qt::Key_Escape: close(); break;
        default: QMainWindow::keyPressEvent(event);
    }
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (!m_current.empty()) m_resizeTimer.start(kResizeSettleMs);
}

}  // namespace kalder::gui
