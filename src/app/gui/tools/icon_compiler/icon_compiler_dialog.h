#pragma once

#include <QLabel>
#include <QTimer>
#include <functional>
#include <vector>

#include "app/gui/dialogs/dialog_base.h"
#include "tools/icon_compiler/icon_compiler.h"

class QLineEdit;
class QListWidget;
class QPushButton;
class QTreeWidget;

namespace kalder::gui {

// The picture of the current page, enlarged; a double click names the pixel under the mouse.
class IconPreview : public QLabel {
    Q_OBJECT
public:
    explicit IconPreview(QWidget* parent);
    void showPage(const image::ImagePage* page);

signals:
    void pixelDoubleClicked(int x, int y);

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    int m_scale = 1;
    QSize m_imageSize;
};

// "Icon/Cursor Compiler": the sources, the pages made of them, their masks, hot spots and
// delays, the animation preview and the output file. The compiler was opened on the files
// before; its host shows the messages. The page list starts with every opened file added.
class IconCompilerDialog : public DialogBase {
    Q_OBJECT
public:
    IconCompilerDialog(tools::IconCompiler& compiler, QWidget* parent);

    // Tells where the file was written; tests replace it.
    std::function<void(const QString& path)> reportWritten;

    QString outputFile() const;
    void setOutputFile(const QString& path);
    bool animating() const { return m_timer.isActive(); }

private:
    std::vector<std::int32_t> selectedSources() const;
    std::vector<std::int32_t> selectedPages() const;
    void selectPages(const std::vector<std::int32_t>& rows);
    void refreshPages(const std::vector<std::int32_t>& selection);
    void showSourceInfo();
    void showCurrentPage();
    void showFrame(const tools::IconFrame& frame);
    void addPages();
    void addStandardSizes();
    void deletePages();
    void movePages(bool up);
    void toggleAnimation();
    void nextFrame();
    void stopAnimation();
    void previewDoubleClicked(int x, int y);
    void browse();
    void compile();

    tools::IconCompiler& m_compiler;
    QListWidget* m_sources = nullptr;
    QTreeWidget* m_pages = nullptr;
    QLabel* m_sourceInfo = nullptr;
    IconPreview* m_preview = nullptr;
    QLabel* m_pageFacts = nullptr;
    QPushButton* m_animate = nullptr;
    QLineEdit* m_output = nullptr;
    QTimer m_timer;
    std::vector<tools::IconFrame> m_frames;  // while animating
    std::size_t m_frame = 0;
};

}  // namespace kalder::gui
