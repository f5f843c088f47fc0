#include "app/gui/tools/icon_compiler/icon_compiler_dialog.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "image/image_document.h"
#include "shell/qt/qt_path.h"

namespace kalder::gui {
namespace {

constexpr int kTemplate = 266;
constexpr int kPreviewId = 1452;
constexpr int kPreviewBox = 128;

// The three selection buttons under a list.
QHBoxLayout* selectionButtons(QWidget* parent, const std::function<void(int)>& act) {
    auto* row = new QHBoxLayout;
    const char* captions[] = {QT_TRANSLATE_NOOP("kalder::gui::IconCompilerDialog", "All"),
                              QT_TRANSLATE_NOOP("kalder::gui::IconCompilerDialog", "None"),
                              QT_TRANSLATE_NOOP("kalder::gui::IconCompilerDialog", "Invert")};
    for (int i = 0; i < 3; ++i) {
        auto* b = new QPushButton(
            QCoreApplication::translate("kalder::gui::IconCompilerDialog", captions[i]), parent);
        QObject::connect(b, &QPushButton::clicked, parent, [act, i] { act(i); });
        row->addWidget(b);
    }
    row->addStretch();
    return row;
}

// The page's pixels with their opacity, as Qt draws them.
QImage toImage(const image::ImagePage& page) {
    const image::Bitmap32& b = page.bitmap;
    QImage out(b.width(), b.height(), QImage::Format_ARGB32);
    const bool alpha = page.alphaPlane.size() == static_cast<std::size_t>(b.width()) * b.height();
    for (int y = 0; y < b.height(); ++y) {
        const std::uint8_t* s = b.row(y);
        auto* d = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < b.width(); ++x, s += 4) {
            const int a =
                alpha ? page.alphaPlane[static_cast<std::size_t>(y) * b.width() + x] : 255;
            d[x] = qRgba(s[2], s[1], s[0], a);
        }
    }
    return out;
}

}  // namespace

IconPreview::IconPreview(QWidget* parent) : QLabel(parent) {
    setFixedSize(kPreviewBox + 4, kPreviewBox + 4);
    setAlignment(Qt::AlignCenter);
    setFrameStyle(QFrame::Box | QFrame::Sunken);
}

void IconPreview::showPage(const image::ImagePage* page) {
    if (!page || page->bitmap.isEmpty()) {
        clear();
        m_imageSize = {};
        return;
    }
    const QImage image = toImage(*page);
    m_imageSize = image.size();
    // Small icons are enlarged by a whole factor so every pixel can be aimed at.
    m_scale = std::max(1, kPreviewBox / std::max(image.width(), image.height()));
    QImage shown(image.size() * m_scale, QImage::Format_ARGB32);
    shown.fill(palette().color(QPalette::Window));
    QPainter painter(&shown);
    painter.drawImage(shown.rect(), image);
    painter.end();
    if (shown.width() > kPreviewBox) shown = shown.scaled(kPreviewBox, kPreviewBox);
    setPixmap(QPixmap::fromImage(shown));
}

void IconPreview::mouseDoubleClickEvent(QMouseEvent* event) {
    if (m_imageSize.isEmpty()) return;
    const QSize shown = pixmap().size();
    const QPoint origin((width() - shown.width()) / 2, (height() - shown.height()) / 2);
    const QPoint at = event->position().toPoint() - origin;
    if (at.x() < 0 || at.y() < 0 || at.x() >= shown.width() || at.y() >= shown.height()) return;
    emit pixelDoubleClicked(at.x() * m_imageSize.width() / shown.width(),
                            at.y() * m_imageSize.height() / shown.height());
}

IconCompilerDialog::IconCompilerDialog(tools::IconCompiler& compiler, QWidget* parent)
    : DialogBase(kTemplate, parent), m_compiler(compiler) {
    setWindowTitle(tr("Icon/Cursor Compiler"));
    // The tall banner stands beside everything else.
    auto* root = new QHBoxLayout(this);
    root->addWidget(bannerLabel(), 0, Qt::AlignTop);
    auto* layout = new QVBoxLayout;
    root->addLayout(layout, 1);

    auto* lists = new QGridLayout;
    lists->addWidget(new QLabel(tr("Source images:"), this), 0, 0);
    lists->addWidget(new QLabel(tr("Pages:"), this), 0, 1);
    m_sources = new QListWidget(this);
    m_sources->setSelectionMode(QAbstractItemView::ExtendedSelection);
    for (const tools::IconSource& s : compiler.sources())
        m_sources->addItem(shell::toQString(s.path.filename()));
    lists->addWidget(m_sources, 1, 0);
    m_pages = new QTreeWidget(this);
    m_pages->setRootIsDecorated(false);
    m_pages->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_pages->setHeaderLabels({tr("Images"), tr("Masks")});
    m_pages->header()->setSectionResizeMode(QHeaderView::Stretch);
    lists->addWidget(m_pages, 1, 1);
    auto selectIn = [](QAbstractItemView* view, int how) {
        if (how == 0) view->selectAll();
        if (how == 1) view->clearSelection();
        if (how == 2) {
            QItemSelectionModel* model = view->selectionModel();
            const QAbstractItemModel* items = view->model();
            const int rows = items->rowCount();
            if (rows == 0) return;
            QItemSelection all(items->index(0, 0),
                               items->index(rows - 1, items->columnCount() - 1));
            model->select(all, QItemSelectionModel::Toggle);
        }
    };
    lists->addLayout(selectionButtons(this, [=, this](int how) { selectIn(m_sources, how); }), 2,
                     0);
    lists->addLayout(selectionButtons(this, [=, this](int how) { selectIn(m_pages, how); }), 2, 1);
    m_sourceInfo = new QLabel(this);
    lists->addWidget(m_sourceInfo, 3, 0);
    lists->setColumnStretch(1, 3);
    lists->setColumnStretch(0, 2);
    layout->addLayout(lists);

    auto* middle = new QHBoxLayout;
    m_preview = new IconPreview(this);
    setControlId(m_preview, kPreviewId);
    middle->addWidget(m_preview);
    m_pageFacts = new QLabel(this);
    m_pageFacts->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    middle->addWidget(m_pageFacts);
    auto* buttons = new QGridLayout;
    auto button = [&](const char* caption, int row, int column, auto slot) {
        auto* b = new QPushButton(tr(caption), this);
        connect(b, &QPushButton::clicked, this, slot);
        buttons->addWidget(b, row, column);
        return b;
    };
    button(QT_TR_NOOP("&Add Page(s)"), 0, 0, [this] { addPages(); });
    button(QT_TR_NOOP("De&lete Page(s)"), 1, 0, [this] { deletePages(); });
    button(QT_TR_NOOP("Move Page(s) &Up"), 2, 0, [this] { movePages(true); });
    button(QT_TR_NOOP("Move Page(s) &Down"), 3, 0, [this] { movePages(false); });
    button(QT_TR_NOOP("Set Transparent C&olor"), 0, 1, [this] {
        const auto rows = selectedPages();
        if (m_compiler.setTransparentColour(rows)) refreshPages(rows);
    });
    button(QT_TR_NOOP("Set Transparent &Image"), 1, 1, [this] {
        const auto rows = selectedPages();
        if (m_compiler.setMaskImage(rows, selectedSources())) refreshPages(rows);
    });
    button(QT_TR_NOOP("Set D&elay"), 2, 1, [this] {
        const auto rows = selectedPages();
        if (m_compiler.setDelay(rows)) refreshPages(rows);
    });
    button(QT_TR_NOOP("Set Hot &Spot"), 3, 1, [this] {
        const auto rows = selectedPages();
        if (m_compiler.setHotSpot(rows)) refreshPages(rows);
    });
    auto* sizes = button(QT_TR_NOOP("Add Standard Si&zes"), 4, 0, [this] { addStandardSizes(); });
    sizes->setToolTip(
        tr("Makes the sizes desktops look for (16 to 256 pixels) from the selected "
           "picture and adds them as pages"));
    m_animate = button(QT_TR_NOOP("A&nimate"), 4, 1, [this] { toggleAnimation(); });
    middle->addLayout(buttons);
    layout->addLayout(middle);

    auto* output = new QHBoxLayout;
    output->addWidget(new QLabel(tr("Output file:"), this));
    m_output = new QLineEdit(shell::toQString(compiler.defaultOutput()), this);
    output->addWidget(m_output, 1);
    auto* browseButton = new QPushButton(tr("&Browse..."), this);
    connect(browseButton, &QPushButton::clicked, this, &IconCompilerDialog::browse);
    output->addWidget(browseButton);
    layout->addLayout(output);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(helpButton());
    bottom->addStretch();
    auto* compileButton = new QPushButton(tr("&Compile"), this);
    compileButton->setDefault(true);
    connect(compileButton, &QPushButton::clicked, this, &IconCompilerDialog::compile);
    bottom->addWidget(compileButton);
    auto* close = new QPushButton(tr("Close"), this);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    bottom->addWidget(close);
    layout->addLayout(bottom);

    connect(m_sources, &QListWidget::itemSelectionChanged, this,
            &IconCompilerDialog::showSourceInfo);
    connect(m_pages, &QTreeWidget::currentItemChanged, this, [this] {
        if (!animating()) showCurrentPage();
    });
    connect(m_preview, &IconPreview::pixelDoubleClicked, this,
            &IconCompilerDialog::previewDoubleClicked);
    connect(&m_timer, &QTimer::timeout, this, &IconCompilerDialog::nextFrame);
    connect(this, &QDialog::finished, this, &IconCompilerDialog::stopAnimation);
    m_timer.setSingleShot(true);

    OnInitDialog();
    // The template's caption names the button for its tooltip; at run time it tells what a
    // click does.
    m_animate->setText(tr("Play Animation"));
    reportWritten = [this](const QString& path) {
        QMessageBox::information(this, windowTitle(), tr("The file was written to %1.").arg(path));
    };
    // The files the tool was opened on are the ones to compile.
    if (m_compiler.pages().empty()) {
        m_sources->selectAll();
        addPages();
    }
    if (m_sources->count() > 0) m_sources->setCurrentRow(0);
}

QString IconCompilerDialog::outputFile() const { return m_output->text(); }
void IconCompilerDialog::setOutputFile(const QString& path) { m_output->setText(path); }

std::vector<std::int32_t> IconCompilerDialog::selectedSources() const {
    std::vector<std::int32_t> out;
    for (int i = 0; i < m_sources->count(); ++i)
        if (m_sources->item(i)->isSelected()) out.push_back(i);
    return out;
}

std::vector<std::int32_t> IconCompilerDialog::selectedPages() const {
    std::vector<std::int32_t> out;
    for (int i = 0; i < m_pages->topLevelItemCount(); ++i)
        if (m_pages->topLevelItem(i)->isSelected()) out.push_back(i);
    return out;
}

void IconCompilerDialog::selectPages(const std::vector<std::int32_t>& rows) {
    m_pages->clearSelection();
    for (std::int32_t r : rows)
        if (QTreeWidgetItem* item = m_pages->topLevelItem(r)) item->setSelected(true);
    if (!rows.empty()) {
        if (QTreeWidgetItem* item = m_pages->topLevelItem(rows.front()))
            m_pages->setCurrentItem(item, 0, QItemSelectionModel::NoUpdate);
    }
}

void IconCompilerDialog::refreshPages(const std::vector<std::int32_t>& selection) {
    const std::vector<tools::IconPage>& pages = m_compiler.pages();
    m_pages->clear();
    for (std::size_t i = 0; i < pages.size(); ++i) {
        auto* item = new QTreeWidgetItem(m_pages);
        item->setText(0, QString::fromStdString(pages[i].name));
        item->setText(1, QString::fromStdString(m_compiler.maskText(static_cast<int>(i))));
    }
    selectPages(selection);
    showCurrentPage();
}

void IconCompilerDialog::showSourceInfo() {
    const int row = m_sources->currentRow();
    m_sourceInfo->setText(QString::fromStdString(m_compiler.sourceInfo(row)));
}

void IconCompilerDialog::showCurrentPage() {
    const int row = m_pages->indexOfTopLevelItem(m_pages->currentItem());
    if (row < 0 || static_cast<std::size_t>(row) >= m_compiler.pages().size()) {
        m_preview->showPage(nullptr);
        m_pageFacts->clear();
        return;
    }
    for (const tools::IconFrame& f : m_compiler.frames()) {
        if (f.row == row) {
            showFrame(f);
            return;
        }
    }
}

void IconCompilerDialog::showFrame(const tools::IconFrame& frame) {
    const tools::IconPage& page = m_compiler.pages()[static_cast<std::size_t>(frame.row)];
    const tools::IconSource& source = m_compiler.sources()[static_cast<std::size_t>(frame.source)];
    m_preview->showPage(&source.page(frame.page));
    m_pageFacts->setText(
        tr("Delay: %1\nHot Spot: %2,%3").arg(page.delay).arg(page.hotSpotX).arg(page.hotSpotY));
}

void IconCompilerDialog::addPages() {
    const auto before = static_cast<std::int32_t>(m_compiler.pages().size());
    m_compiler.addPages(selectedSources());
    std::vector<std::int32_t> added;
    for (auto i = before; i < static_cast<std::int32_t>(m_compiler.pages().size()); ++i)
        added.push_back(i);
    refreshPages(added);
}

void IconCompilerDialog::addStandardSizes() {
    const std::vector<std::int32_t> added = m_compiler.addStandardSizes(m_sources->currentRow());
    if (added.empty()) return;
    m_sources->clearSelection();
    for (const std::int32_t index : added) {
        const tools::IconSource& s = m_compiler.sources()[static_cast<std::size_t>(index)];
        m_sources->addItem(shell::toQString(s.path.filename()));
        m_sources->item(index)->setSelected(true);
    }
    addPages();
}

void IconCompilerDialog::deletePages() {
    stopAnimation();
    if (m_compiler.deletePages(selectedPages())) refreshPages({});
}

void IconCompilerDialog::movePages(bool up) {
    refreshPages(m_compiler.movePages(selectedPages(), up));
}

void IconCompilerDialog::toggleAnimation() {
    if (animating()) {
        stopAnimation();
        return;
    }
    m_frames = m_compiler.frames();
    if (m_frames.empty()) return;
    m_frame = 0;
    m_animate->setText(tr("Stop Animation"));
    showFrame(m_frames[0]);
    m_timer.start(std::max<int>(10, static_cast<int>(m_frames[0].delay) * 10));
}

void IconCompilerDialog::nextFrame() {
    if (m_frames.empty()) return;
    m_frame = (m_frame + 1) % m_frames.size();
    showFrame(m_frames[m_frame]);
    m_timer.start(std::max<int>(10, static_cast<int>(m_frames[m_frame].delay) * 10));
}

void IconCompilerDialog::stopAnimation() {
    const bool was = m_timer.isActive();
    m_timer.stop();
    m_frames.clear();
    m_animate->setText(tr("Play Animation"));
    if (was) showCurrentPage();
}

void IconCompilerDialog::previewDoubleClicked(int x, int y) {
    std::vector<std::int32_t> rows = selectedPages();
    const int current = m_pages->indexOfTopLevelItem(m_pages->currentItem());
    if (rows.empty() && current >= 0) rows.push_back(current);
    if (m_compiler.setHotSpotAt(rows, x, y)) refreshPages(rows);
}

void IconCompilerDialog::browse() {
    // The filter of the Windows-style list "Icons (*.ico)|*.ico|Cursors (*.cur)|*.cur|
    // Animated Cursors (*.ani)|*.ani||" in Qt's spelling.
    const QStringList filters = {tr("Icons (*.ico)"), tr("Cursors (*.cur)"),
                                 tr("Animated Cursors (*.ani)")};
    const QStringList extensions = {QStringLiteral(".ico"), QStringLiteral(".cur"),
                                    QStringLiteral(".ani")};
    QString selected = filters[0];
    if (auto type = tools::iconOutputTypeFor(shell::toPath(m_output->text())))
        selected = filters[static_cast<int>(*type)];
    QString path = QFileDialog::getSaveFileName(this, QString(), m_output->text(),
                                                filters.join(QStringLiteral(";;")), &selected,
                                                QFileDialog::DontConfirmOverwrite);
    if (path.isEmpty()) return;
    if (!tools::iconOutputTypeFor(shell::toPath(path)))
        path += extensions[std::max<qsizetype>(0, filters.indexOf(selected))];
    m_output->setText(path);
}

void IconCompilerDialog::compile() {
    QString path = m_output->text().trimmed();
    if (path.isEmpty()) return;
    auto type = tools::iconOutputTypeFor(shell::toPath(path));
    if (!type) {
        path += QStringLiteral(".ico");
        type = tools::IconOutputType::Icon;
        m_output->setText(path);
    }
    if (!m_compiler.compile(shell::toPath(path), *type)) return;
    stopAnimation();
    reportWritten(path);
    accept();
}

}  // namespace kalder::gui
