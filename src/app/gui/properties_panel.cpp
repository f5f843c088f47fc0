// The browser model's headers name a member "slots", which Qt's keyword macros would eat: they
// come before any Qt header.
#include "app/gui/properties_panel.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <mutex>

#include "app/core/settings.h"
#include "app/gui/tools/palette/palette_dialog.h"
#include "image/image_document.h"
#include "shell/qt/qt_path.h"
#include "view/image_entry.h"

namespace kalder::gui {

PropertiesPanel::PropertiesPanel(app::Settings& settings, QWidget* parent)
    : QWidget(parent, Qt::Tool), m_settings(settings) {
    setWindowTitle(tr("Image Properties"));
    auto* layout = new QVBoxLayout(this);
    m_list = new QTreeWidget(this);
    // The third column says what an Exif value means ("f/5.6" beside 28/5); the copied report
    // keeps the two columns of stored values.
    m_list->setColumnCount(3);
    m_list->setHeaderLabels({tr("Tag"), tr("Value"), tr("Meaning")});
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    layout->addWidget(m_list, 1);
    auto* buttons = new QHBoxLayout;
    m_copy = new QPushButton(tr("&Copy Report"), this);
    m_palette = new QPushButton(tr("&Palette..."), this);
    m_describe = new QPushButton(tr("&Describe Image.."), this);
    auto* close = new QPushButton(tr("Close"), this);
    for (QPushButton* b : {m_copy, m_palette, m_describe}) buttons->addWidget(b);
    buttons->addStretch(1);
    buttons->addWidget(close);
    layout->addLayout(buttons);
    m_palette->setEnabled(false);
    m_describe->setEnabled(false);
    connect(m_copy, &QPushButton::clicked, this, &PropertiesPanel::copyReport);
    connect(m_palette, &QPushButton::clicked, this, &PropertiesPanel::showPalette);
    connect(m_describe, &QPushButton::clicked, this, &PropertiesPanel::describeRequested);
    connect(close, &QPushButton::clicked, this, &QWidget::hide);

    // Comments a reader collects after the list was filled join it on this timer.
    m_commentTimer = new QTimer(this);
    m_commentTimer->setInterval(100);
    connect(m_commentTimer, &QTimer::timeout, this, &PropertiesPanel::listNewComments);
    m_commentTimer->start();

    const app::Rect& r = m_settings.propertiesPanelRect;
    if (r.right > r.left && r.bottom > r.top)
        setGeometry(r.left, r.top, r.right - r.left, r.bottom - r.top);
    else
        resize(420, 480);
}

void PropertiesPanel::showEntry(const view::ImageEntry* entry, std::int32_t page) {
    m_entry = entry;
    m_rows = {};
    m_commentsListed = 0;
    m_palette->setEnabled(false);
    m_describe->setEnabled(entry != nullptr);
    if (!entry) {
        setWindowTitle(tr("Image Properties"));
        m_page = 0;
        fillList();
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    image::ImageInfo info;
    image::ReadImageInfo(entry->path(), info, true);
    info.pageCount = image::countImagePages(entry->path());
    image::PropertiesOptions options;
    options.fileDescription = entry->description;
    {
        auto& e = const_cast<view::ImageEntry&>(*entry);
        std::lock_guard lock(e.commentsLock());
        options.comments = e.comments();
    }
    m_commentsListed = options.comments.size();
    m_rows = image::buildPropertiesReport(entry->path(), info, options);
    setWindowTitle(QString::fromStdString(m_rows.caption));
    QApplication::restoreOverrideCursor();
    showEntryPage(page);
    fillList();
}

void PropertiesPanel::showEntryPage(std::int32_t page) {
    m_page = page;
    const image::ImageDocument* doc = m_entry ? &m_entry->document() : nullptr;
    if (doc && page >= 0 && page < doc->PageCount()) {
        const image::ImagePage& p = doc->PageAt(page);
        image::setPageFacts(m_rows, p);
        m_palette->setEnabled(p.bitsPerPixel < 9);
    } else {
        m_palette->setEnabled(false);
    }
}

void PropertiesPanel::updatePage(std::int32_t page) {
    showEntryPage(page);
    // Only the page's rows change.
    for (const int row : {m_rows.widthRow, m_rows.heightRow, m_rows.colorTypeRow}) {
        if (row < 0 || row >= m_list->topLevelItemCount()) continue;
        m_list->topLevelItem(row)->setText(
            1, QString::fromStdString(m_rows.rows[static_cast<std::size_t>(row)].value));
    }
    m_report = QString::fromStdString(image::reportText(m_rows));
}

void PropertiesPanel::fillList() {
    m_list->clear();
    QList<QTreeWidgetItem*> items;
    for (const image::PropertyRow& row : m_rows.rows)
        items.push_back(
            new QTreeWidgetItem({QString::fromStdString(row.tag), QString::fromStdString(row.value),
                                 QString::fromStdString(row.meaning)}));
    m_list->addTopLevelItems(items);
    m_list->resizeColumnToContents(0);
    m_list->resizeColumnToContents(1);
    m_report = QString::fromStdString(image::reportText(m_rows));
}

void PropertiesPanel::listNewComments() {
    if (!m_entry || !isVisible()) return;
    std::vector<std::string> fresh;
    {
        auto& e = const_cast<view::ImageEntry&>(*m_entry);
        std::lock_guard lock(e.commentsLock());
        const std::vector<std::string>& all = e.comments();
        if (all.size() <= m_commentsListed) return;
        fresh.assign(all.begin() + static_cast<std::ptrdiff_t>(m_commentsListed), all.end());
        m_commentsListed = all.size();
    }
    for (const std::string& comment : fresh) image::appendCommentRows(m_rows, comment);
    fillList();
    m_list->resizeColumnToContents(1);
}

void PropertiesPanel::copyReport() {
    if (m_rows.rows.empty()) return;
    QApplication::clipboard()->setText(m_report);
}

void PropertiesPanel::showPalette() {
    const image::ImageDocument* doc = m_entry ? &m_entry->document() : nullptr;
    if (!doc || m_page < 0 || m_page >= doc->PageCount()) return;
    const image::ImagePage& p = doc->PageAt(m_page);
    PaletteDialog::showFor(shell::toQString(m_entry->path().filename()), p, this);
}

void PropertiesPanel::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        hide();
        return;
    }
    QWidget::keyPressEvent(event);
}

void PropertiesPanel::storeGeometry() {
    if (!isVisible()) return;
    const QRect g = geometry();
    m_settings.propertiesPanelRect = {g.left(), g.top(), g.right() + 1, g.bottom() + 1};
}

void PropertiesPanel::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    storeGeometry();
}

void PropertiesPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    storeGeometry();
}

}  // namespace kalder::gui
