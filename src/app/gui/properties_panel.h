#pragma once

#include <QWidget>
#include <cstdint>

#include "image/exif/exif_report.h"

class QPushButton;
class QTimer;
class QTreeWidget;

namespace kalder::app {
struct Settings;
}
namespace kalder::view {
class ImageEntry;
}

namespace kalder::gui {

// The image properties window: a "Tag" / "Value" list of the current file's facts and Exif
// entries, with buttons to copy the list as text, describe the image and see its palette.
class PropertiesPanel : public QWidget {
    Q_OBJECT
public:
    PropertiesPanel(app::Settings& settings, QWidget* parent);

    // Fills the list for the entry with `page` shown; nullptr clears it.
    void showEntry(const view::ImageEntry* entry, std::int32_t page);
    // Refills the "Width", "Height" and "Color Type" rows for another page of the same image.
    void updatePage(std::int32_t page);
    // The report as "&Copy Report" puts it on the clipboard.
    QString reportText() const { return m_report; }
    QTreeWidget* list() const { return m_list; }
    QPushButton* paletteButton() const { return m_palette; }
    QPushButton* describeButton() const { return m_describe; }
    void copyReport();

signals:
    void describeRequested();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void storeGeometry();
    void showEntryPage(std::int32_t page);
    void fillList();
    void showPalette();

    app::Settings& m_settings;
    QTreeWidget* m_list = nullptr;
    QPushButton* m_copy = nullptr;
    QPushButton* m_palette = nullptr;
    QPushButton* m_describe = nullptr;
    const view::ImageEntry* m_entry = nullptr;
    std::int32_t m_page = 0;
    void listNewComments();

    image::PropertiesReport m_rows;
    std::size_t m_commentsListed = 0;
    QTimer* m_commentTimer = nullptr;
    QString m_report;
};

}  // namespace kalder::gui
