#include "app/gui/browser_pane.h"

#include <algorithm>

#include <QApplication>
#include <QContextMenuEvent>
#include <QListWidget>
#include <QSplitter>
#include <QStyle>
#include <QVBoxLayout>

#include "app/core/settings.h"
#include "app/gui/folder_tree_pane.h"
#include "app/gui/icons.h"
#include "app/gui/status_bar.h"
#include "app/gui/toolbar.h"
#include "image/format_table.h"

namespace kalder::gui {
namespace fs = std::filesystem;

namespace {

// The file list; its context menu goes to the window.
class FileList : public QListWidget {
public:
    using QListWidget::QListWidget;
    BrowserPane* pane = nullptr;

protected:
    void contextMenuEvent(QContextMenuEvent* event) override {
        if (QListWidgetItem* item = itemAt(event->pos()); item && !item->isSelected())
            setCurrentItem(item);
        emit pane->fileListContextMenu(event->globalPos());
        event->accept();
    }
};

std::string lowerExtension(const fs::path& p) {
    std::string e = p.extension().string();
    std::transform(e.begin(), e.end(), e.begin(), [](unsigned char c) { return std::tolower(c); });
    return e;
}

}  // namespace

// --- FolderListing ---

bool FolderListing::load(const fs::path& folder) {
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) return false;
    m_folder = folder;
    m_files.clear();
    for (const auto& e : it) {
        std::error_code fileError;
        if (e.is_regular_file(fileError) &&
            image::DetectFormat(e.path(), image::DetectMode::ByExtension) >= 0)
            m_files.push_back(e.path());
    }
    sort(m_sortMode);
    return true;
}

void FolderListing::sort(std::int32_t mode) {
    m_sortMode = std::clamp(mode, 0, 3);
    auto byName = [](const fs::path& a, const fs::path& b) { return a.filename() < b.filename(); };
    std::sort(m_files.begin(), m_files.end(), byName);
    std::error_code ec;
    switch (m_sortMode) {
        case 1:
            std::stable_sort(m_files.begin(), m_files.end(), [](const fs::path& a, const fs::path& b) {
                return lowerExtension(a) < lowerExtension(b);
            });
            break;
        case 2:
            std::stable_sort(m_files.begin(), m_files.end(), [&](const fs::path& a, const fs::path& b) {
                return fs::file_size(a, ec) < fs::file_size(b, ec);
            });
            break;
        case 3:
            std::stable_sort(m_files.begin(), m_files.end(), [&](const fs::path& a, const fs::path& b) {
                return fs::last_write_time(a, ec) < fs::last_write_time(b, ec);
            });
            break;
        default: break;
    }
}

std::optional<std::size_t> FolderListing::indexOf(const fs::path& file) const {
    const auto it = std::find(m_files.begin(), m_files.end(), file);
    if (it == m_files.end()) return std::nullopt;
    return static_cast<std::size_t>(it - m_files.begin());
}

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
    auto* list = new FileList(this);
    list->pane = this;
    m_list = list;
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setUniformItemSizes(true);
    m_list->setResizeMode(QListView::Adjust);
    m_list->setMovement(QListView::Static);
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
    connect(m_list, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!m_silent && row >= 0) emit fileSelected(row);
    });
    connect(m_list, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { emit fileActivated(m_list->row(item)); });
    setEnhancedLayout(true);
    setBrowserView(0);
}

void BrowserPane::setEnhancedLayout(bool on) {
    m_enhanced = on;
    if (on) {
        m_vertical->insertWidget(0, m_list);
        m_vertical->insertWidget(1, m_horizontal);
        m_horizontal->insertWidget(0, m_tree);
        m_horizontal->insertWidget(1, m_slot);
        m_slot->show();
    } else {
        m_horizontal->insertWidget(0, m_tree);
        m_horizontal->insertWidget(1, m_list);
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

void BrowserPane::setBrowserView(std::int32_t view) {
    if (view == 2) {
        m_list->setViewMode(QListView::ListMode);
        m_list->setFlow(QListView::TopToBottom);
        m_list->setWrapping(true);
        m_list->setIconSize(QSize(16, 16));
        m_list->setGridSize(QSize());
    } else {
        const int side = view == 1 ? 120 : 80;
        m_list->setViewMode(QListView::IconMode);
        m_list->setIconSize(QSize(side / 2, side / 2));
        m_list->setGridSize(QSize(side + 16, side / 2 + 2 * fontMetrics().height() + 8));
        m_list->setWordWrap(true);
    }
}

void BrowserPane::showFiles(const FolderListing& listing) {
    m_silent = true;
    m_list->clear();
    const QIcon icon = applicationIcon();
    for (const fs::path& file : listing.files())
        new QListWidgetItem(icon, QString::fromStdString(file.filename().string()), m_list);
    m_silent = false;
}

void BrowserPane::selectFile(std::optional<std::size_t> index) {
    m_silent = true;
    if (index && *index < static_cast<std::size_t>(m_list->count())) {
        m_list->setCurrentRow(static_cast<int>(*index), QItemSelectionModel::ClearAndSelect);
        m_list->scrollToItem(m_list->currentItem());
    } else {
        m_list->clearSelection();
    }
    m_silent = false;
}

std::optional<std::size_t> BrowserPane::selectedFile() const {
    const int row = m_list->currentRow();
    if (row < 0) return std::nullopt;
    return static_cast<std::size_t>(row);
}

std::vector<std::size_t> BrowserPane::selectedFiles() const {
    std::vector<std::size_t> out;
    for (int i = 0; i < m_list->count(); ++i)
        if (m_list->item(i)->isSelected()) out.push_back(static_cast<std::size_t>(i));
    return out;
}

}  // namespace kalder::gui
