#pragma once

class QDialog;
class QDialogButtonBox;
class QString;
class QWidget;

namespace kalder::gui {

// The Help, OK and Cancel row every options dialog ends with. Cancel rejects; OK is left to the
// dialog, which validates first.
QDialogButtonBox* makeOptionsButtons(QDialog* dialog);

// Message boxes with the application's caption.
void showWarning(QWidget* parent, const QString& text);
void showError(QWidget* parent, const QString& text);

}  // namespace kalder::gui
