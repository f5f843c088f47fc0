#include "app/gui/customize_toolbar_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/core/settings.h"
#include "app/gui/icons.h"

namespace kalder::gui {

CustomizeToolbarDialog::CustomizeToolbarDialog(app::Settings& settings, QWidget* parent)
    : QDialog(parent),
      m_settings(settings),
      m_model(std::make_unique<app::ToolbarCustomizer>(settings.toolbarButtons)) {
    setWindowTitle(tr("Customize Toolbar"));
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(tr("Available Buttons:"), this), 0, 0);
    grid->addWidget(new QLabel(tr("Toolbar Buttons:"), this), 0, 2);
    m_available = new QListWidget(this);
    m_toolbar = new QListWidget(this);
    m_available->setIconSize(QSize(16, 16));
    m_toolbar->setIconSize(QSize(16, 16));
    const auto table = app::toolbarButtonTable();
    for (std::size_t i = 0; i < table.size(); ++i)
        new QListWidgetItem(commandIcon(table[i].command),
                            QString::fromStdString(app::toolbarButtonLabel(i)), m_available);
    m_available->setCurrentRow(0);
    grid->addWidget(m_available, 1, 0);
    grid->addWidget(m_toolbar, 1, 2);

    auto* middle = new QVBoxLayout;
    auto makeButton = [&](const char* text, auto slot) {
        auto* b = new QPushButton(tr(text), this);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, slot);
        middle->addWidget(b);
    };
    makeButton(QT_TR_NOOP("&Add ->"), [this] { addSelected(); });
    makeButton(QT_TR_NOOP("Add &Separator"), [this] {
        if (m_model->addSeparator()) refill();
    });
    makeButton(QT_TR_NOOP("<- &Remove"), [this] {
        if (m_model->remove()) refill();
    });
    middle->addSpacing(12);
    makeButton(QT_TR_NOOP("Move &Up"), [this] {
        if (m_model->moveUp()) refill();
    });
    makeButton(QT_TR_NOOP("Move &Down"), [this] {
        if (m_model->moveDown()) refill();
    });
    middle->addSpacing(12);
    makeButton(QT_TR_NOOP("R&eset"), [this] {
        m_model->reset();
        refill();
    });
    middle->addStretch(1);
    grid->addLayout(middle, 1, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    grid->addWidget(buttons, 2, 0, 1, 3);

    connect(m_available, &QListWidget::itemDoubleClicked, this, [this] { addSelected(); });
    connect(m_toolbar, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0) m_model->select(static_cast<std::size_t>(row));
    });
    refill();
    resize(520, 400);
}

CustomizeToolbarDialog::~CustomizeToolbarDialog() = default;

QPushButton* CustomizeToolbarDialog::button(const QString& text) const {
    for (QPushButton* b : findChildren<QPushButton*>())
        if (b->text() == text) return b;
    return nullptr;
}

void CustomizeToolbarDialog::addSelected() {
    const int row = m_available->currentRow();
    if (row >= 0 && m_model->add(static_cast<std::size_t>(row))) refill();
}

void CustomizeToolbarDialog::refill() {
    const QSignalBlocker block(m_toolbar);
    m_toolbar->clear();
    const auto table = app::toolbarButtonTable();
    const auto& entries = m_model->entries();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        auto* item = new QListWidgetItem(QString::fromStdString(m_model->entryLabel(i)), m_toolbar);
        if (entries[i] >= 0 && static_cast<std::size_t>(entries[i]) < table.size())
            item->setIcon(commandIcon(table[static_cast<std::size_t>(entries[i])].command));
    }
    if (const auto sel = m_model->selection()) m_toolbar->setCurrentRow(static_cast<int>(*sel));
}

void CustomizeToolbarDialog::accept() {
    m_model->apply(m_settings);
    QDialog::accept();
}

}  // namespace kalder::gui
