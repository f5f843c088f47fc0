#include "app/gui/dialogs/describe_image_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace kalder::gui {

namespace {

constexpr int kDescribeImageTemplate = 164;

bool isWhite(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

std::string oneLineDescription(std::string_view text) {
    std::string line;
    line.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;  // CR LF: one space
        line += (c == '\r' || c == '\n') ? ' ' : c;
    }
    std::size_t begin = 0, end = line.size();
    while (begin < end && isWhite(line[begin])) ++begin;
    while (end > begin && isWhite(line[end - 1])) --end;
    return line.substr(begin, end - begin);
}

DescribeImageDialog::DescribeImageDialog(const QString& fileName, const QString& description,
                                         QWidget* parent)
    : DialogBase(kDescribeImageTemplate, parent) {
    setWindowTitle(tr("Describe Image"));
    auto* name = new QLabel(fileName, this);
    name->setObjectName(QStringLiteral("name"));
    name->setTextFormat(Qt::PlainText);
    name->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_description = new QLineEdit(description, this);
    m_description->setObjectName(QStringLiteral("description"));
    m_description->setMinimumWidth(360);

    auto* form = new QFormLayout;
    form->addRow(tr("Name:"), name);
    form->addRow(tr("Description:"), m_description);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(standardButtons());
    m_description->setFocus();
    OnInitDialog();
}

QString DescribeImageDialog::description() const {
    return QString::fromStdString(oneLineDescription(m_description->text().toStdString()));
}

}  // namespace kalder::gui
