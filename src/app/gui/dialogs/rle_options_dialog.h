#pragma once

#include <QDialog>

class QCheckBox;

namespace kalder::gui {

// "BMP Options" and "TGA Options": both formats offer one choice, "RLE-compressed".
class RleOptionsDialog : public QDialog {
    Q_OBJECT
public:
    RleOptionsDialog(const QString& title, bool rle, QWidget* parent = nullptr);
    // The edited choice; meaningful after the dialog was accepted.
    bool rle() const { return m_chosen; }

private:
    bool m_chosen;
    QCheckBox* m_rle = nullptr;
};

}  // namespace kalder::gui
