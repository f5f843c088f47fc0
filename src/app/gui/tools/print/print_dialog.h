#pragma once

#include <QImage>
#include <QWidget>
#include <memory>
#include <vector>

#include "app/gui/dialogs/dialog_base.h"
#include "shell/qt/printer_access.h"
#include "tools/print_layout/print_layout.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;

namespace kalder::app {
struct Settings;
}

namespace kalder::gui {

// The owner-drawn page picture: the physical page, the printable area's dotted outline and the
// current page's cells from the items' preview bitmaps.
class PrintPreview : public QWidget {
    Q_OBJECT
public:
    explicit PrintPreview(QWidget* parent);
    void setPage(const shell::PrinterGeometry& geometry, const std::vector<tools::PrintCell>* cells,
                 const std::vector<QImage>* previews, std::int32_t page, bool zoom);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    shell::PrinterGeometry m_geometry;
    const std::vector<tools::PrintCell>* m_cells = nullptr;
    const std::vector<QImage>* m_previews = nullptr;
    std::int32_t m_page = 0;
    bool m_zoom = false;
};

// "Print": printer, layout, repeats, fit or fill, resampling, resolution and a live preview.
class PrintDialog : public DialogBase {
    Q_OBJECT
public:
    PrintDialog(app::Settings& settings, std::vector<shell::PrinterEntry> printers,
                std::vector<tools::PrintItem> items, QWidget* parent);
    ~PrintDialog() override;

    // The "&Print" button: prepares and prints every page; true when the job went out (the
    // dialog is then accepted), false when it stays open.
    bool printAll();

    // For the tests and the "-p" start-up.
    QComboBox* deviceBox() const { return m_device; }
    QComboBox* layoutBox() const { return m_layout; }
    QLineEdit* repeatField() const { return m_repeat; }
    QLineEdit* resolutionField(bool vertical) const { return vertical ? m_resY : m_resX; }
    QCheckBox* identicalBox() const { return m_identical; }
    QLabel* whereLabel() const { return m_where; }
    QLabel* captionLabel() const { return m_caption; }
    QScrollBar* pageBar() const { return m_pageBar; }
    const std::vector<tools::PrintCell>& cells() const { return m_cells; }
    bool setCustomSize(double widthMm, double heightMm, bool original);

    // Cancel keeps the resolution fields in the settings too.
    void reject() override;

private:
    void choosePrinter(int index);
    void relayout();
    void showPage(int page);
    void makePreviews();
    void onCustomSize();
    void onProperties();
    void onRepeatFinished();
    void onResolutionEdited(QLineEdit* field, const QString& text);
    void setDefault(QLineEdit* field);
    void storeResolution();
    std::int32_t fieldValue(const QLineEdit* field) const;

    app::Settings& m_settings;
    std::vector<shell::PrinterEntry> m_printers;
    std::vector<tools::PrintItem> m_items;
    std::vector<QImage> m_previews;  // per item, grey for monochrome printers
    std::unique_ptr<shell::PrinterSession> m_session;
    shell::PrinterGeometry m_geometry;
    std::vector<tools::PrintCell> m_cells;
    std::int32_t m_page = 0;

    QComboBox* m_device = nullptr;
    QLabel* m_where = nullptr;
    QPushButton* m_properties = nullptr;
    QComboBox* m_layout = nullptr;
    QPushButton* m_customSize = nullptr;
    QLineEdit* m_repeat = nullptr;
    QCheckBox* m_zoom = nullptr;
    QComboBox* m_method = nullptr;
    QLineEdit* m_resX = nullptr;
    QLineEdit* m_resY = nullptr;
    QCheckBox* m_identical = nullptr;
    PrintPreview* m_preview = nullptr;
    QScrollBar* m_pageBar = nullptr;
    QLabel* m_caption = nullptr;
    bool m_syncing = false;
    bool m_previewsGrey = false;
};

}  // namespace kalder::gui
