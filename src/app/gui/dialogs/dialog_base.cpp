#include "app/gui/dialogs/dialog_base.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVariant>
#include <cstring>
#include <span>

#include "app/core/dialog_help_table.h"
#include "app/core/translatable.h"
#include "app/gui/dialogs/help_window.h"
#include "app/gui/translations.h"
#include "image/bitmap32.h"
#include "image/format_table.h"
#include "image/image_document.h"

// The resources live in the static GUI library; naming them here keeps the linker from dropping
// them.
static void initBannerResources() { Q_INIT_RESOURCE(resources); }

namespace kalder::gui {

namespace {

constexpr char kControlIdProperty[] = "kalderControlId";

// The text a control shows as its caption, for matching the table's rows.
QString captionOf(QWidget* widget) {
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text();
    if (auto* group = qobject_cast<QGroupBox*>(widget); group && group->isCheckable()) {
        return group->title();
    }
    return {};
}

}  // namespace

DialogBase::DialogBase(int templateNumber, QWidget* parent)
    : QDialog(parent), m_templateNumber(templateNumber) {
    setAttribute(Qt::WA_AlwaysShowToolTips);
}

void DialogBase::OnInitDialog() {
    applyTooltips(this, m_templateNumber);
    const app::DialogHelpEntry* entry = app::findDialogHelp(m_templateNumber);
    if (entry == nullptr || entry->banner == 0 || m_banner == nullptr) return;
    const QImage banner = loadBanner(entry->banner);
    if (!banner.isNull()) m_banner->setPixmap(QPixmap::fromImage(banner));
}

QString DialogBase::tooltipMarkup(const QString& text) {
    // Rich text wraps inside the tooltip; "&" stays an ampersand.
    return QStringLiteral("<p style=\"max-width:%1px\">%2</p>")
        .arg(app::kTooltipMaxWidth)
        .arg(text.toHtmlEscaped());
}

bool DialogBase::AddTooltip(QWidget* control, const QString& text) {
    if (control == nullptr) return false;
    control->setToolTip(tooltipMarkup(text));
    control->setToolTipDuration(app::tooltipDuration(QApplication::doubleClickInterval()));
    return true;
}

bool DialogBase::AddTooltip(int controlId, const QString& text) {
    return AddTooltip(findControl(this, controlId), text);
}

int DialogBase::applyTooltips(QWidget* root, int templateNumber) {
    const app::DialogHelpEntry* entry = app::findDialogHelp(templateNumber);
    if (entry == nullptr || root == nullptr) return 0;
    root->setAttribute(Qt::WA_AlwaysShowToolTips);
    const QList<QWidget*> widgets = root->findChildren<QWidget*>();
    int attached = 0;
    for (std::size_t i = 0; i < entry->tooltips.size(); ++i) {
        const app::DialogTooltip& row = entry->tooltips[i];
        const QString text = coreText(app::kDialogHelpContext, row.text);
        QWidget* control = nullptr;
        if (row.control != 0) {
            control = findControl(root, row.control);
        } else {
            // The n-th row with a caption names the n-th control with it.
            int occurrence = 0;
            for (std::size_t j = 0; j < i; ++j) {
                if (entry->tooltips[j].control == 0 && entry->tooltips[j].caption == row.caption) {
                    ++occurrence;
                }
            }
            // The dialog shows its caption translated under its own class; a catalogue that
            // translates it differently here still finds the English one.
            const QString english =
                QString::fromUtf8(row.caption.data(), qsizetype(row.caption.size()));
            const QString caption = coreText(app::kDialogHelpContext, row.caption);
            for (QWidget* widget : widgets) {
                const QString shown = captionOf(widget);
                if (shown != caption && shown != english) continue;
                if (occurrence-- == 0) {
                    control = widget;
                    break;
                }
            }
        }
        if (control == nullptr) continue;
        control->setToolTip(tooltipMarkup(text));
        control->setToolTipDuration(app::tooltipDuration(QApplication::doubleClickInterval()));
        ++attached;
    }
    return attached;
}

QString DialogBase::helpTopic() const {
    const app::DialogHelpEntry* entry = app::findDialogHelp(m_templateNumber);
    if (entry == nullptr) return {};
    return QString::fromUtf8(entry->helpTopic.data(), qsizetype(entry->helpTopic.size()));
}

void DialogBase::OnHelp() {
    const QString topic = helpTopic();
    if (topic.isEmpty()) return;
    if (openHelpTopic(this, topic)) emit helpOpened(topic);
}

bool DialogBase::openHelpTopic(QWidget* parent, const QString& topic) {
    // One help window per parent, reused by later requests.
    HelpWindow* window = parent != nullptr
                             ? parent->findChild<HelpWindow*>(QString(), Qt::FindDirectChildrenOnly)
                             : nullptr;
    const bool created = window == nullptr;
    if (created) window = new HelpWindow(parent);
    if (!window->showTopic(topic)) {
        if (created) delete window;
        return false;
    }
    window->show();
    window->raise();
    window->activateWindow();
    return true;
}

QLabel* DialogBase::bannerLabel() {
    if (m_banner == nullptr) {
        m_banner = new QLabel(this);
        m_banner->setObjectName(QStringLiteral("banner"));
        m_banner->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
        setControlId(m_banner, app::kBannerControl);
    }
    return m_banner;
}

QPushButton* DialogBase::helpButton() {
    if (m_help == nullptr) {
        m_help = new QPushButton(tr("&Help"), this);
        m_help->setObjectName(QStringLiteral("help"));
        m_help->setAutoDefault(false);
        setControlId(m_help, app::kHelpButtonControl);
        connect(m_help, &QPushButton::clicked, this, &DialogBase::OnHelp);
    }
    return m_help;
}

QDialogButtonBox* DialogBase::standardButtons(bool connectOk) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    buttons->addButton(helpButton(), QDialogButtonBox::HelpRole);
    if (connectOk) connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    return buttons;
}

void DialogBase::setControlId(QWidget* control, int id) {
    if (control != nullptr) control->setProperty(kControlIdProperty, id);
}

QWidget* DialogBase::findControl(QWidget* root, int id) {
    if (root == nullptr || id == 0) return nullptr;
    for (QWidget* widget : root->findChildren<QWidget*>()) {
        const QVariant value = widget->property(kControlIdProperty);
        if (value.isValid() && value.toInt() == id) return widget;
    }
    return nullptr;
}

QImage DialogBase::loadBanner(int number) {
    static const bool registered = [] {
        initBannerResources();
        return true;
    }();
    (void)registered;
    QFile file(QStringLiteral(":/banners/%1.jpg").arg(number));
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = file.readAll();
    image::Bitmap32 bitmap;
    const std::span<const std::uint8_t> data(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                             static_cast<std::size_t>(bytes.size()));
    if (!image::LoadResourceImage(data, image::FormatCode::Jpeg, std::span(&bitmap, 1)) ||
        bitmap.isEmpty()) {
        return {};
    }
    // Blue, green, red, unused bytes are QImage's RGB32 on little-endian machines; the unused
    // byte is set opaque.
    QImage picture(bitmap.width(), bitmap.height(), QImage::Format_RGB32);
    for (int y = 0; y < bitmap.height(); ++y) {
        auto* out = reinterpret_cast<quint32*>(picture.scanLine(y));
        const std::uint8_t* in = bitmap.row(y);
        for (int x = 0; x < bitmap.width(); ++x) {
            out[x] = 0xFF000000u | (quint32(in[x * 4 + 2]) << 16) | (quint32(in[x * 4 + 1]) << 8) |
                     quint32(in[x * 4]);
        }
    }
    return picture;
}

}  // namespace kalder::gui
