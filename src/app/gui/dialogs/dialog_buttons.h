#pragma once

class QDialog;
class QDialogButtonBox;
class QPushButton;
class QString;
class QWidget;

namespace kalder::gui {

// The Help, OK and Cancel row every options dialog ends with. Cancel rejects; OK is left to the
// dialog, which validates first.
QDialogButtonBox* makeOptionsButtons(QDialog* dialog);

// A push button of a dialog's own column, found by tests under `name`; Enter does not press it.
QPushButton* makeNamedButton(const QString& text, const char* name, QWidget* parent);

// Message boxes with the application's caption.
void showWarning(QWidget* parent, const QString& text);
void showError(QWidget* parent, const QString& text);

}  // namespace kalder::gui
