#pragma once

#include <QDialog>

#include "image/writers/writer_options.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace kalder::gui {

// "Transparency Options": keep, remove, a colour, or a palette index.
class TransparencyOptionsDialog : public QDialog {
    Q_OBJECT
public:
    explicit TransparencyOptionsDialog(const image::TransparencyOptions& options,
                                       QWidget* parent = nullptr);
    image::TransparencyOptions options() const { return m_options; }

private:
    void onOk();
    void chooseColor();
    void updateEnabled();
    void showColor();

    image::TransparencyOptions m_options;
    QRadioButton* m_retain = nullptr;
    QRadioButton* m_remove = nullptr;
    QRadioButton* m_color = nullptr;
    QRadioButton* m_index = nullptr;
    QPushButton* m_chooseColor = nullptr;
    QLabel* m_swatch = nullptr;
    QLineEdit* m_indexEdit = nullptr;
};

}  // namespace kalder::gui
