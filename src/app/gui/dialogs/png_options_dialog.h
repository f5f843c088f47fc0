#pragma once

#include <QDialog>

#include "image/writers/writer_options.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QTreeWidget;

namespace kalder::gui {

// "PNG Options": transparency, gamma, interlacing and keyword/text comments.
class PngOptionsDialog : public QDialog {
    Q_OBJECT
public:
    explicit PngOptionsDialog(const image::PngOptions& options, QWidget* parent = nullptr);
    image::PngOptions options() const { return m_options; }

private:
    void onOk();
    void editTransparency();
    void addText();
    void removeText();

    image::PngOptions m_options;
    image::TransparencyOptions m_transparency;
    QLineEdit* m_gamma = nullptr;
    QCheckBox* m_interlaced = nullptr;
    QComboBox* m_keyword = nullptr;
    QLineEdit* m_text = nullptr;
    QTreeWidget* m_texts = nullptr;
};

}  // namespace kalder::gui
