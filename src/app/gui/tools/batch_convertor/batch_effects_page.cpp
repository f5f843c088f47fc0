#include "app/gui/tools/batch_convertor/batch_effects_page.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <cstring>
#include <mutex>

#include "app/core/translatable.h"
#include "app/gui/tools/tool_context.h"
#include "app/gui/translations.h"
#include "app/gui/viewing_area.h"
#include "image/bitmap32.h"

namespace kalder::gui {

namespace {

constexpr int kPreviewSize = 300;
// Beyond this range a click beside the handle jumps to the end instead of stepping through it.
constexpr int kSmallRange = 20;
constexpr int kLargePage = 1000000;

QString qs(const std::string& s) { return QString::fromStdString(s); }

// The effect's name: its description up to the first "|".
QString effectName(const tools::EffectDescription& description) { return qs(description.name); }

}  // namespace

// --- preview ---------------------------------------------------------------------------------

EffectsPreview::EffectsPreview(QWidget* parent) : QWidget(parent, Qt::Window | Qt::Tool) {
    setObjectName(QStringLiteral("effectsPreview"));
    setWindowTitle(tr("Effects Preview"));
    setFixedSize(kPreviewSize, kPreviewSize);
}

void EffectsPreview::setSource(const image::Bitmap32* bitmap) {
    m_source = QImage();
    if (bitmap != nullptr && !bitmap->isEmpty()) {
        QImage copy(bitmap->width(), bitmap->height(), QImage::Format_RGB32);
        if (!copy.isNull()) {
            {
                // The loader may still be writing rows of a progressive image.
                std::lock_guard lock(bitmap->pixelLock());
                for (int y = 0; y < bitmap->height(); ++y)
                    std::memcpy(copy.scanLine(y), bitmap->row(y), bitmap->stride());
            }
            if (copy.width() > kPreviewSize || copy.height() > kPreviewSize)
                copy = copy.scaled(kPreviewSize, kPreviewSize, Qt::KeepAspectRatio,
                                   Qt::SmoothTransformation);
            m_source = copy.convertToFormat(QImage::Format_RGB32);
            // Our fourth byte is unused; the display format wants it opaque.
            for (int y = 0; y < m_source.height(); ++y) {
                auto* row = reinterpret_cast<QRgb*>(m_source.scanLine(y));
                for (int x = 0; x < m_source.width(); ++x) row[x] |= 0xFF000000u;
            }
        }
    }
    m_shown = m_source;
    update();
}

void EffectsPreview::applyEffects(const tools::EffectList& effects) {
    m_shown = m_source.copy();
    if (!m_source.isNull() && effects.anyChecked()) {
        effects.ApplyChain(m_source.constBits(), m_shown.bits(), m_source.width(),
                           m_source.height(), m_source.bytesPerLine(), m_shown.bytesPerLine(),
                           nullptr);
    }
    update();
}

void EffectsPreview::showPreview() {
    if (!m_placed) {
        m_placed = true;
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect area = screen->availableGeometry();
            move(area.center() - QPoint(width() / 2, height() / 2));
        }
    }
    show();
    raise();
}

void EffectsPreview::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    if (m_shown.isNull()) return;
    const QPoint at((width() - m_shown.width()) / 2, (height() - m_shown.height()) / 2);
    painter.drawImage(at, m_shown);
}

// --- processing order ------------------------------------------------------------------------

EffectOrderDialog::EffectOrderDialog(const std::vector<QString>& names,
                                     const std::vector<std::int32_t>& order, QWidget* parent)
    : DialogBase(0, parent), m_names(names) {
    setObjectName(QStringLiteral("effectOrder"));
    setWindowTitle(tr("Effect Processing Order"));
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("order"));
    for (std::int32_t index : order) {
        if (index < 0 || static_cast<std::size_t>(index) >= names.size()) continue;
        auto* item = new QListWidgetItem(names[static_cast<std::size_t>(index)], m_list);
        item->setData(Qt::UserRole, index);
    }
    m_list->setCurrentRow(0);
    auto* up = new QPushButton(tr("Move &Up"), this);
    up->setObjectName(QStringLiteral("moveUp"));
    auto* down = new QPushButton(tr("Move &Down"), this);
    down->setObjectName(QStringLiteral("moveDown"));
    auto* reset = new QPushButton(tr("&Reset"), this);
    reset->setObjectName(QStringLiteral("reset"));
    connect(up, &QPushButton::clicked, this, [this] { move(-1); });
    connect(down, &QPushButton::clicked, this, [this] { move(+1); });
    connect(reset, &QPushButton::clicked, this, &EffectOrderDialog::resetOrder);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* side = new QVBoxLayout;
    side->addWidget(up);
    side->addWidget(down);
    side->addWidget(reset);
    side->addStretch();
    auto* row = new QHBoxLayout;
    row->addWidget(m_list, 1);
    row->addLayout(side);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
    OnInitDialog();
}

std::vector<std::int32_t> EffectOrderDialog::order() const {
    std::vector<std::int32_t> out;
    for (int i = 0; i < m_list->count(); ++i)
        out.push_back(m_list->item(i)->data(Qt::UserRole).toInt());
    return out;
}

void EffectOrderDialog::move(int step) {
    const int row = m_list->currentRow();
    const int target = row + step;
    if (row < 0 || target < 0 || target >= m_list->count()) return;
    QListWidgetItem* item = m_list->takeItem(row);
    m_list->insertItem(target, item);
    m_list->setCurrentRow(target);
}

void EffectOrderDialog::resetOrder() {
    if (QMessageBox::question(this, QStringLiteral("Kalder"),
                              tr("Do you want to set the default order?")) != QMessageBox::Yes)
        return;
    m_list->clear();
    for (std::size_t i = 0; i < m_names.size(); ++i) {
        auto* item = new QListWidgetItem(m_names[i], m_list);
        item->setData(Qt::UserRole, static_cast<int>(i));
    }
    m_list->setCurrentRow(0);
}

// --- the page --------------------------------------------------------------------------------

BatchEffectsPage::BatchEffectsPage(ToolContext& context, QWidget* parent)
    : QWidget(parent), m_context(context) {
    setObjectName(QStringLiteral("effectsPage"));
    for (std::int32_t i = 0; i < m_effects.size(); ++i)
        m_descriptions.push_back(tools::parseEffectDescription(
            coreText(app::kEffectsContext, m_effects.description(i)).toStdString()));

    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("effects"));
    m_groups = new QListWidget(this);
    m_groups->setObjectName(QStringLiteral("parameterGroups"));
    auto* controls = new QGridLayout;
    for (std::size_t i = 0; i < m_sliders.size(); ++i) {
        SliderRow& row = m_sliders[i];
        row.label = new QLabel(this);
        row.slider = new QSlider(Qt::Horizontal, this);
        row.slider->setObjectName(QStringLiteral("slider%1").arg(i));
        row.spin = new QSpinBox(this);
        row.spin->setObjectName(QStringLiteral("spin%1").arg(i));
        const int item = static_cast<int>(i);
        connect(row.slider, &QSlider::valueChanged, this,
                [this, item](int v) { setItem(item, v); });
        connect(row.spin, &QSpinBox::valueChanged, this, [this, item](int v) { setItem(item, v); });
        controls->addWidget(row.label, item * 2, 0, 1, 2);
        controls->addWidget(row.slider, item * 2 + 1, 0);
        controls->addWidget(row.spin, item * 2 + 1, 1);
    }
    for (std::size_t i = 0; i < m_boxes.size(); ++i) {
        m_boxes[i] = new QCheckBox(this);
        m_boxes[i]->setObjectName(QStringLiteral("option%1").arg(i));
        const int item = static_cast<int>(i);
        connect(m_boxes[i], &QCheckBox::toggled, this,
                [this, item](bool on) { setItem(item, on ? 1 : 0); });
        controls->addWidget(m_boxes[i], 6 + item, 0, 1, 2);
    }

    auto button = [this](const QString& text, const char* name) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        return b;
    };
    QPushButton* resetAllButton = button(tr("Reset all"), "resetAll");
    QPushButton* uncheckAllButton = button(tr("Uncheck all"), "uncheckAll");
    QPushButton* resetButton = button(tr("Reset"), "reset");
    QPushButton* previewButton = button(tr("Preview Window"), "previewWindow");
    QPushButton* orderButton = button(tr("Processing order..."), "processingOrder");
    connect(resetAllButton, &QPushButton::clicked, this, &BatchEffectsPage::resetAll);
    connect(uncheckAllButton, &QPushButton::clicked, this, &BatchEffectsPage::uncheckAll);
    connect(resetButton, &QPushButton::clicked, this, &BatchEffectsPage::resetSelected);
    connect(previewButton, &QPushButton::clicked, this, &BatchEffectsPage::showPreviewWindow);
    connect(orderButton, &QPushButton::clicked, this, &BatchEffectsPage::editOrder);
    connect(m_list, &QListWidget::currentRowChanged, this, &BatchEffectsPage::effectSelected);
    connect(m_list, &QListWidget::itemChanged, this, &BatchEffectsPage::effectToggled);
    connect(m_groups, &QListWidget::currentRowChanged, this, &BatchEffectsPage::showGroup);

    auto* parameters = new QVBoxLayout;
    parameters->addWidget(new QLabel(tr("Parameters:"), this));
    parameters->addWidget(m_groups);
    parameters->addLayout(controls);
    parameters->addStretch();
    auto* lists = new QHBoxLayout;
    lists->addWidget(m_list, 1);
    lists->addLayout(parameters, 1);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b :
         {resetAllButton, uncheckAllButton, resetButton, previewButton, orderButton})
        buttons->addWidget(b);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(lists);
    layout->addLayout(buttons);

    fillEffects();
    m_list->setCurrentRow(0);
    effectSelected();
}

BatchEffectsPage::~BatchEffectsPage() = default;

void BatchEffectsPage::setEffects(const tools::EffectList& effects) {
    m_effects = effects;
    fillEffects();
    fillGroups();
    effectsChanged();
}

int BatchEffectsPage::currentEffect() const { return m_list->currentRow(); }
int BatchEffectsPage::currentGroup() const { return m_groups->currentRow(); }

void BatchEffectsPage::fillEffects() {
    m_updating = true;
    const int row = std::max(0, m_list->currentRow());
    m_list->clear();
    for (std::int32_t i = 0; i < m_effects.size(); ++i) {
        auto* item = new QListWidgetItem(effectName(m_descriptions[std::size_t(i)]), m_list);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(m_effects.checked(i) ? Qt::Checked : Qt::Unchecked);
    }
    m_list->setCurrentRow(std::min(row, m_list->count() - 1));
    m_updating = false;
}

void BatchEffectsPage::effectSelected() {
    if (m_updating) return;
    fillGroups();
}

void BatchEffectsPage::fillGroups() {
    m_updating = true;
    m_groups->clear();
    const int effect = currentEffect();
    if (effect >= 0 && effect < m_effects.size()) {
        const auto& groups = m_descriptions[std::size_t(effect)].groups;
        // Only groups the effect itself has; a description may promise more than it holds.
        const std::size_t count =
            groups.empty() ? 0 : std::min(groups.size(), m_effects.effect(effect).groups().size());
        for (std::size_t g = 0; g < count; ++g) m_groups->addItem(qs(groups[g].title));
    }
    m_groups->setCurrentRow(m_groups->count() > 0 ? 0 : -1);
    m_updating = false;
    showGroup();
}

void BatchEffectsPage::showGroup() {
    if (m_updating) return;
    m_updating = true;
    const int effect = currentEffect();
    const int group = currentGroup();
    const tools::EffectDescription::Group* description = nullptr;
    if (effect >= 0 && effect < m_effects.size() && group >= 0) {
        const auto& groups = m_descriptions[std::size_t(effect)].groups;
        if (std::size_t(group) < groups.size()) description = &groups[std::size_t(group)];
    }
    const bool sliders =
        description && description->kind == tools::EffectDescription::Kind::Sliders;
    for (std::size_t i = 0; i < m_sliders.size(); ++i) {
        SliderRow& row = m_sliders[i];
        std::optional<tools::EffectItem> item;
        if (sliders && i < description->items.size())
            item = m_effects.effect(effect).parameter(group, static_cast<std::int32_t>(i));
        const bool visible = item.has_value();
        row.label->setVisible(visible);
        row.slider->setVisible(visible);
        row.spin->setVisible(visible);
        if (!visible) continue;
        row.slider->setRange(item->minimum, item->maximum);
        row.slider->setPageStep(item->maximum - item->minimum <= kSmallRange ? 1 : kLargePage);
        row.slider->setValue(item->value);
        row.spin->setRange(item->minimum, item->maximum);
        row.spin->setValue(item->value);
        row.label->setText(qs(tools::sliderLabel(description->items[i], item->value)));
        for (QWidget* w : {static_cast<QWidget*>(row.label), static_cast<QWidget*>(row.slider),
                           static_cast<QWidget*>(row.spin)})
            w->setEnabled(item->enabled);
    }
    const bool boxes =
        description && description->kind == tools::EffectDescription::Kind::CheckBoxes;
    for (std::size_t i = 0; i < m_boxes.size(); ++i) {
        std::optional<tools::EffectItem> item;
        if (boxes && i < description->items.size())
            item = m_effects.effect(effect).parameter(group, static_cast<std::int32_t>(i));
        m_boxes[i]->setVisible(item.has_value());
        if (!item) continue;
        m_boxes[i]->setText(qs(description->items[i]));
        m_boxes[i]->setChecked(item->value != 0);
        m_boxes[i]->setEnabled(item->enabled);
    }
    m_updating = false;
}

void BatchEffectsPage::setItem(int item, int value) {
    if (m_updating) return;
    const int effect = currentEffect();
    const int group = currentGroup();
    if (effect < 0 || effect >= m_effects.size() || group < 0) return;
    m_effects.effect(effect).setParameter(group, item, value);
    // The effect may have moved other values with it (locked channels) or disabled them.
    showGroup();
    effectsChanged();
}

void BatchEffectsPage::effectToggled(QListWidgetItem* item) {
    if (m_updating || item == nullptr) return;
    m_effects.setChecked(m_list->row(item), item->checkState() == Qt::Checked);
    effectsChanged();
}

bool BatchEffectsPage::ask(const QString& question) {
    return QMessageBox::question(this, QStringLiteral("Kalder"), question) == QMessageBox::Yes;
}

void BatchEffectsPage::resetAll() {
    if (!ask(tr("Do you want to reset all the effects?"))) return;
    m_effects.resetAll();
    fillEffects();
    showGroup();
    effectsChanged();
}

void BatchEffectsPage::uncheckAll() {
    if (!ask(tr("Do you want to uncheck all the effects?"))) return;
    for (std::int32_t i = 0; i < m_effects.size(); ++i) m_effects.setChecked(i, false);
    fillEffects();
    effectsChanged();
}

void BatchEffectsPage::resetSelected() {
    const int effect = currentEffect();
    if (effect < 0 || effect >= m_effects.size()) return;
    m_effects.setChecked(effect, false);
    if (!m_descriptions[std::size_t(effect)].groups.empty()) m_effects.effect(effect).reset();
    fillEffects();
    showGroup();
    effectsChanged();
}

void BatchEffectsPage::showPreviewWindow() {
    if (!m_preview) m_preview = new EffectsPreview(this);
    refreshPreview();
    m_preview->showPreview();
}

void BatchEffectsPage::hidePreview() {
    if (m_preview) m_preview->hide();
}

void BatchEffectsPage::refreshPreview() {
    if (!m_preview) return;
    m_preview->setSource(m_context.shownBitmap());
    effectsChanged();
}

void BatchEffectsPage::effectsChanged() {
    if (!m_preview) return;
    m_effects.setViewerGamma(m_context.viewerGamma());
    m_preview->applyEffects(m_effects);
}

void BatchEffectsPage::editOrder() {
    std::vector<QString> names;
    for (const auto& d : m_descriptions) names.push_back(effectName(d));
    EffectOrderDialog dialog(names, m_effects.order(), this);
    if (dialog.exec() != QDialog::Accepted) return;
    m_effects.setOrder(dialog.order());
    effectsChanged();
}

}  // namespace kalder::gui
