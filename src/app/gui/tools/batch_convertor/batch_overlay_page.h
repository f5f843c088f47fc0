#pragma once

#include <QPushButton>
#include <QWidget>
#include <cstdint>

#include "app/gui/dialogs/dialog_base.h"
#include "tools/convert/overlay.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;
class QSpinBox;

namespace kalder::gui {

// Nine boxes in three rows: a click picks where the overlay sits on the page.
class AnchorSelector : public QWidget {
    Q_OBJECT
public:
    explicit AnchorSelector(QWidget* parent);
    std::int32_t horizontal() const { return m_horizontal; }  // 0 left, 1 centre, 2 right
    std::int32_t vertical() const { return m_vertical; }      // 0 top, 1 middle, 2 bottom
    void setAnchor(std::int32_t horizontal, std::int32_t vertical);
    // "Align: bottom right".
    QString caption() const;
    QSize sizeHint() const override;
    // The box under a point, as (column, row); false outside the boxes.
    bool boxAt(const QPoint& point, std::int32_t& column, std::int32_t& row) const;

signals:
    void anchorChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QRect boxRect(std::int32_t column, std::int32_t row) const;

    std::int32_t m_horizontal = 2;
    std::int32_t m_vertical = 2;
};

// A push button that shows a colour beside its caption and picks another on a click.
class ColorPickButton : public QPushButton {
    Q_OBJECT
public:
    ColorPickButton(const QString& text, std::uint32_t value, QWidget* parent);
    std::uint32_t value() const { return m_value; }  // 0x00BBGGRR
    void setValue(std::uint32_t value);

private:
    std::uint32_t m_value;
};

// "Text Overlay Effects": what lies under the overlay text, and its colours.
class TextOverlayEffectsDialog : public DialogBase {
    Q_OBJECT
public:
    TextOverlayEffectsDialog(const tools::OverlaySettings& settings, QWidget* parent);
    // Writes the dialog's fields into `settings`.
    void store(tools::OverlaySettings& settings) const;

private:
    void updateEnabled();

    QButtonGroup* m_background = nullptr;
    ColorPickButton* m_boxColor = nullptr;
    ColorPickButton* m_textColor = nullptr;
    QSpinBox* m_opacity = nullptr;
    QSpinBox* m_margin = nullptr;
    QSpinBox* m_shadowOffset = nullptr;
};

// The "Overlay" page of the Batch Convertor: an image file or a text stamped at one of nine
// places on every result.
class BatchOverlayPage : public QWidget {
    Q_OBJECT
public:
    explicit BatchOverlayPage(QWidget* parent);
    tools::OverlaySettings overlaySettings() const;
    void setOverlaySettings(const tools::OverlaySettings& settings);

private:
    void updateEnabled();
    void browse();
    void chooseFont();
    void showFont();
    void editTextEffects();

    // The fields only the sub-dialog and the font chooser edit.
    tools::OverlaySettings m_settings;
    QButtonGroup* m_mode = nullptr;
    QLineEdit* m_path = nullptr;
    QPushButton* m_browse = nullptr;
    QPlainTextEdit* m_text = nullptr;
    QCheckBox* m_previewFont = nullptr;
    QPushButton* m_font = nullptr;
    QLabel* m_fontName = nullptr;
    QComboBox* m_alignment = nullptr;
    AnchorSelector* m_anchor = nullptr;
    QLabel* m_anchorCaption = nullptr;
    QSpinBox* m_horizontalSpacing = nullptr;
    QSpinBox* m_verticalSpacing = nullptr;
    QPushButton* m_textEffects = nullptr;
};

// "All supported image files|*.a;*.b|All files (*.*)|*.*||" as a file dialog's filter list
// ("All supported image files (*.a *.b);;All files (*.*)").
QString qtFileFilter(std::string_view filter);
// A chosen font in the overlay renderer's terms, and back.
tools::OverlayFont overlayFontFrom(const QFont& font);
QFont qtFontFrom(const tools::OverlayFont& font);

}  // namespace kalder::gui
