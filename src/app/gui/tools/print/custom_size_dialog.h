#pragma once

#include "app/gui/dialogs/dialog_base.h"

class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace kalder::gui {

// "Custom size": one size for every cell, in inches or millimetres, or each image's own size.
class CustomSizeDialog : public DialogBase {
    Q_OBJECT
public:
    CustomSizeDialog(double widthMm, double heightMm, QWidget* parent);
    double widthMm() const { return m_widthMm; }
    double heightMm() const { return m_heightMm; }
    bool originalSize() const;
    // OK: false (and the dialog stays) when a size is below the smallest allowed.
    bool tryAccept();

    QLineEdit* widthField() const { return m_width; }
    QLineEdit* heightField() const { return m_height; }
    QRadioButton* inchesButton() const { return m_inches; }
    QCheckBox* originalBox() const { return m_original; }

private:
    void showSizes();
    bool readSizes();
    bool inches() const;

    double m_widthMm;
    double m_heightMm;
    QLineEdit* m_width = nullptr;
    QLineEdit* m_height = nullptr;
    QRadioButton* m_inches = nullptr;
    QRadioButton* m_millimetres = nullptr;
    QCheckBox* m_original = nullptr;
};

}  // namespace kalder::gui
