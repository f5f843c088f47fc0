#pragma once

#include <string>
#include <string_view>

#include "app/gui/dialogs/dialog_base.h"

class QLineEdit;

namespace kalder::gui {

// A description as the description file keeps it: one line, so every line break (CR LF, CR or
// LF) becomes one space, and no white space around it.
std::string oneLineDescription(std::string_view text);

// "Describe Image": the file's name and an edit box with its description.
class DescribeImageDialog : public DialogBase {
    Q_OBJECT
public:
    DescribeImageDialog(const QString& fileName, const QString& description,
                        QWidget* parent = nullptr);

    // The edited description as one trimmed line.
    QString description() const;

private:
    QLineEdit* m_description = nullptr;
};

}  // namespace kalder::gui
