#pragma once

#include <QImage>
#include <filesystem>
#include <functional>
#include <vector>

#include "app/gui/dialogs/dialog_base.h"
#include "app/gui/dialogs/file_exists_dialog.h"

class QLabel;
class QRadioButton;

namespace kalder::gui {

// The sample picture laid out as an Exif orientation value says the stored pixels lie.
QImage orientationPreview(const QImage& upright, int orientation);

// "Modify Exif Orientation Tag": writes the chosen Orientation value into the given files, two
// bytes in place. OK runs over the files and closes the dialog.
class ExifOrientationDialog : public DialogBase {
    Q_OBJECT
public:
    ExifOrientationDialog(std::vector<std::filesystem::path> files, QWidget* parent = nullptr);

    int value() const { return m_value; }
    void setValue(int value);
    void turnClockwise();
    void turnCounterClockwise();
    // OK: writes every file, then accepts (also after Cancel in the read-only prompt).
    void apply();
    // How many files were written by the last apply().
    int written() const { return m_written; }

    std::function<FileExistsDialog::Answer(const QString& message, const QString& path)>
        askReadOnly;
    std::function<void(const QString& text)> reportError;

private:
    void redraw();

    std::vector<std::filesystem::path> m_files;
    int m_value = 1;
    int m_written = 0;
    QRadioButton* m_buttons[8] = {};
    QLabel* m_preview = nullptr;
    QImage m_sample;
};

}  // namespace kalder::gui
