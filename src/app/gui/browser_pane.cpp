#include "app/gui/browser_pane.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QSplitter>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

#include "app/core/settings.h"
#include "app/gui/folder_tree_pane.h"
#include "app/gui/status_bar.h"
#include "app/gui/thumbnail_browser.h"
#include "app/gui/toolbar.h"

namespace kalder::gui {
// --- BrowserPane ---

BrowserPane::BrowserPane(app::Settings& settings, QWidget* parent)
    : QWidget(parent), m_settings(settings) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_toolbar = new Toolbar(this);
    layout->addWidget(m_toolbar);

    m_vertical = new QSplitter(Qt::Vertical, this);
    m_horizontal = new QSplitter(Qt::Horizontal, this);
    m_listBox = new QWidget(this);
    auto* listLayout = new QVBoxLayout(m_listBox);
    listLayout->setContentsMargins(0, 0, 0, 0);
    listLayout->setSpacing(0);
    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(2, 2, 2, 2);
    m_filter = new QLineEdit(m_listBox);
    m_filter->setPlaceholderText(tr("Filter by name"));
    m_filter->setAccessibleName(tr("Filter by name"));
    m_filter->setClearButtonEnabled(true);
    m_filter->installEventFilter(this);
    auto* sizeLabel = new QLabel(tr("Thumbnail size:"), m_listBox);
    m_size = new QSlider(Qt::Horizontal, m_listBox);
    m_size->setRange(app::kMinThumbnailSize, app::kMaxThumbnailSize);
    m_size->setSingleStep(8);
    m_size->setPageStep(32);
    m_size->setMaximumWidth(160);
    m_size->setAccessibleName(tr("Thumbnail size"));
    sizeLabel->setBuddy(m_size);
    bar->addWidget(m_filter, 1);
    bar->addWidget(sizeLabel);
    bar->addWidget(m_size);
    listLayout->addLayout(bar);
    m_list = new ThumbnailBrowser(m_listBox);
    listLayout->addWidget(m_list, 1);
    connect(m_filter, &QLineEdit::textChanged, this, &BrowserPane::nameFilterChanged);
    // Dragging makes thumbnails anew only once the slider is let go; keys act at once.
    const auto applySize = [this] {
        m_settings.thumbnailSize = m_size->value();
        m_list->setThumbnailSize(m_size->value());
    };
    connect(m_size, &QSlider::valueChanged, this, [this, applySize] {
        if (!m_size->isSliderDown()) applySize();
    });
    connect(m_size, &QSlider::sliderReleased, this, applySize);
    m_tree = new FolderTreePane(this);
    m_slot = new QWidget(this);
    auto* slotLayout = new QVBoxLayout(m_slot);
    slotLayout->setContentsMargins(0, 0, 0, 0);
    slotLayout->setSpacing(0);
    for (QSplitter* s : {m_vertical, m_horizontal}) s->setChildrenCollapsible(false);
    layout->addWidget(m_vertical, 1);

    m_status = new StatusBar(this);
    layout->addWidget(m_status);

    connect(m_vertical, &QSplitter::splitterMoved, this, [this](int pos) {
        if (m_enhanced) m_settings.paneSplitY = pos;
    });
    connect(m_horizontal, &QSplitter::splitterMoved, this,
            [this](int pos) { m_settings.paneSplitX = pos; });
    setEnhancedLayout(true);
}

void BrowserPane::setEnhancedLayout(bool on) {
    m_enhanced = on;
    if (on) {
        m_vertical->insertWidget(0, m_listBox);
        m_vertical->insertWidget(1, m_horizontal);
        m_horizontal->insertWidget(0, m_tree);
        m_horizontal->insertWidget(1, m_slot);
        m_slot->show();
    } else {
        m_horizontal->insertWidget(0, m_tree);
        m_horizontal->insertWidget(1, m_listBox);
        m_vertical->insertWidget(0, m_horizontal);
        m_slot->hide();
        m_slot->setParent(this);
        m_slot->hide();
    }
    m_splitsApplied = false;
    applySplits();
}

void BrowserPane::setBrowserOnly(bool on) {
    m_toolbar->setVisible(!on);
    m_status->setVisible(!on);
    m_horizontal->setVisible(!on);
    if (on) m_list->setFocus();
}

void BrowserPane::applySplits() {
    const int scroll = QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const int h = m_vertical->height();
    const int w = m_horizontal->width();
    if (h <= 0 || w <= 0) return;
    if (m_enhanced) {
        int y = m_settings.paneSplitY > 0 ? m_settings.paneSplitY : h * 2 / 5;
        y = std::max(scroll, std::min(y, h - 2 * scroll));
        m_vertical->setSizes({y, std::max(0, h - y)});
    }
    int x = m_settings.paneSplitX > 0 ? m_settings.paneSplitX : w / 3;
    x = std::max(2 * scroll, std::min(x, w - 2 * scroll));
    m_horizontal->setSizes({x, std::max(0, w - x)});
    m_splitsApplied = true;
}

void BrowserPane::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (!m_splitsApplied) applySplits();
}

void BrowserPane::setBrowserView(app::BrowserView view) {
    if (m_settings.thumbnailSize > 0) m_list->setThumbnailSize(m_settings.thumbnailSize);
    m_list->setMode(view);
    // The slider shows the side of the thumbnails; without any it has nothing to change.
    const QSignalBlocker quiet(m_size);
    m_size->setValue(m_list->box());
    m_size->setEnabled(m_list->thumbnailMode());
}

bool BrowserPane::eventFilter(QObject* watched, QEvent* event) {
    // Escape in the filter box empties it rather than reaching the window (which might close).
    if (watched == m_filter && event->type() == QEvent::ShortcutOverride &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && !m_filter->text().isEmpty()) {
        event->accept();
        return true;
    }
    if (watched == m_filter && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && !m_filter->text().isEmpty()) {
        m_filter->clear();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace kalder::gui
