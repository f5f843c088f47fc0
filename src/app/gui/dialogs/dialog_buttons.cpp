#include "app/gui/dialogs/dialog_buttons.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPushButton>

namespace kalder::gui {

QPushButton* makeNamedButton(const QString& text, const char* name, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

QDialogButtonBox* makeOptionsButtons(QDialog* dialog) {
    auto* buttons = new QDialogButtonBox(
        QDialogButtonBox::Help | QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    buttons->setObjectName("buttons");
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

void showWarning(QWidget* parent, const QString& text) {
    QMessageBox::warning(parent, QStringLiteral("Kalder"), text);
}

void showError(QWidget* parent, const QString& text) {
    QMessageBox::critical(parent, QStringLiteral("Kalder"), text);
}

}  // namespace kalder::gui
