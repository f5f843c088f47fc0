#pragma once

#include <filesystem>
#include <memory>
#include <vector>

#include <QMainWindow>
#include <QTimer>

namespace kalder::image {
class ImageDocument;
}

namespace kalder::gui {

class DocumentLoader;
class ImageWidget;

// The viewer's window: one image fitted to the window, with the neighbours of its folder one
// key press away.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Shows a file; false (and a message) when it is not a viewable file.
    bool openFile(const std::filesystem::path& path);
    // Shows the first image of a folder; false when it has none.
    bool openFolder(const std::filesystem::path& folder);

    const std::filesystem::path& currentFile() const { return m_current; }
    ImageWidget* imageWidget() const { return m_view; }
    // True once the current file has finished decoding (successfully or not).
    bool isIdle() const { return m_idle; }

signals:
    void imageShown(bool ok);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void requestCurrent();
    void step(int delta);
    void scanFolder();

    ImageWidget* m_view = nullptr;
    DocumentLoader* m_loader = nullptr;
    std::shared_ptr<image::ImageDocument> m_document;
    std::filesystem::path m_current;
    std::vector<std::filesystem::path> m_folderFiles;
    QTimer m_resizeTimer;
    bool m_idle = true;
};

}  // namespace kalder::gui
