#include "app/gui/dialogs/file_filter_dialog.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/core/settings.h"

namespace kalder::gui {

namespace {

constexpr int kFileFilterTemplate = 354;

view::FilterMode modeFrom(int value) {
    // An out-of-range mode read from an old or damaged settings file shows as Default.
    if (value < 0 || value > int(view::FilterMode::Custom)) return view::FilterMode::Default;
    return view::FilterMode(value);
}

}  // namespace

FileFilterDialog::FileFilterDialog(app::Settings& settings, QWidget* parent)
    : DialogBase(kFileFilterTemplate, parent),
      m_settings(settings),
      m_custom(QString::fromStdString(settings.customFilter)) {
    setWindowTitle(tr("File Filter"));
    auto* layout = new QVBoxLayout(this);

    struct ModeRow {
        const char* text;
        const char* name;
        view::FilterMode mode;
    };
    const ModeRow rows[] = {
        {QT_TR_NOOP("&Default (all supported files)"), "modeDefault", view::FilterMode::Default},
        {QT_TR_NOOP("&JPEG Files Only"), "modeJpeg", view::FilterMode::JpegOnly},
        {QT_TR_NOOP("&All Files"), "modeAll", view::FilterMode::AllFiles},
        {QT_TR_NOOP("&Custom"), "modeCustom", view::FilterMode::Custom},
    };
    m_modes = new QButtonGroup(this);
    for (const ModeRow& row : rows) {
        auto* radio = new QRadioButton(tr(row.text), this);
        radio->setObjectName(QString::fromLatin1(row.name));
        m_modes->addButton(radio, int(row.mode));
        layout->addWidget(radio);
    }

    auto* label = new QLabel(
        tr("Filter string (separate filters with space, insert | before exclusion filters):"),
        this);
    m_filter = new QLineEdit(this);
    m_filter->setObjectName(QStringLiteral("filter"));
    m_filter->setMaxLength(kMaxFilterLength);
    m_filter->setMinimumWidth(420);
    label->setBuddy(m_filter);
    layout->addWidget(label);
    layout->addWidget(m_filter);

    QDialogButtonBox* buttons = standardButtons(false);
    connect(buttons, &QDialogButtonBox::accepted, this, &FileFilterDialog::onOk);
    layout->addWidget(buttons);

    const view::FilterMode start = modeFrom(settings.filterMode);
    m_modes->button(int(start))->setChecked(true);
    showMode(start);
    // Toggled rather than clicked, so arrow keys moving the check change the string too.
    connect(m_modes, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked) showMode(view::FilterMode(id));
    });
    OnInitDialog();
}

view::FilterMode FileFilterDialog::mode() const { return modeFrom(m_modes->checkedId()); }

void FileFilterDialog::selectMode(view::FilterMode mode) {
    // Checking the button reports the toggle, which shows the string.
    QAbstractButton* radio = m_modes->button(int(mode));
    if (radio != nullptr && !radio->isChecked()) radio->setChecked(true);
}

void FileFilterDialog::showMode(view::FilterMode mode) {
    if (m_shown == view::FilterMode::Custom) m_custom = m_filter->text();
    m_shown = mode;
    const bool custom = mode == view::FilterMode::Custom;
    m_filter->setText(custom ? m_custom : QString::fromStdString(view::filterString(mode, {})));
    m_filter->setReadOnly(!custom);
}

void FileFilterDialog::onOk() {
    const view::FilterMode chosen = mode();
    m_settings.filterMode = int(chosen);
    if (chosen == view::FilterMode::Custom) {
        m_settings.customFilter =
            view::filterString(view::FilterMode::Custom, m_filter->text().toStdString());
    }
    accept();
}

}  // namespace kalder::gui
