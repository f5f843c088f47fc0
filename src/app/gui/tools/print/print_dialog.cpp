#include "app/gui/tools/print/print_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "app/core/settings.h"
#include "app/core/translatable.h"
#include "app/gui/dialogs/progress_dialog.h"
#include "app/gui/tools/print/custom_size_dialog.h"
#include "app/gui/tools/tool_runner.h"
#include "app/gui/translations.h"
#include "image/image_document.h"
#include "image/resample.h"
#include "shell/qt/qt_path.h"
#include "tools/print_layout/print_preparer.h"

namespace kalder::gui {

namespace {

constexpr int kPrintTemplate = 258;
constexpr int kRepeatControl = 1419;

QImage previewImage(const image::Bitmap32* bitmap, bool grey) {
    if (!bitmap || bitmap->isEmpty()) return {};
    image::Bitmap32 copy;
    if (!bitmap->CopyTo(copy)) return {};
    if (grey) tools::toGreyPreview(copy);
    return QImage(copy.pixels(), copy.width(), copy.height(), static_cast<qsizetype>(copy.stride()),
                  QImage::Format_RGB32)
        .copy();
}

}  // namespace

PrintPreview::PrintPreview(QWidget* parent) : QWidget(parent) { setMinimumSize(240, 240); }

void PrintPreview::setPage(const shell::PrinterGeometry& geometry,
                           const std::vector<tools::PrintCell>* cells,
                           const std::vector<QImage>* previews, std::int32_t page, bool zoom) {
    m_geometry = geometry;
    m_cells = cells;
    m_previews = previews;
    m_page = page;
    m_zoom = zoom;
    update();
}

void PrintPreview::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Button));
    // A printer without geometry leaves the preview empty.
    if (!m_geometry.valid()) return;
    const double pageW = m_geometry.pageWidthPx / m_geometry.pixelsPerMmX;
    const double pageH = m_geometry.pageHeightPx / m_geometry.pixelsPerMmY;
    const double s = std::min(width(), height()) / std::max(pageW, pageH);
    const double left = (width() - pageW * s) / 2;
    const double top = (height() - pageH * s) / 2;
    p.fillRect(QRectF(left, top, pageW * s, pageH * s), Qt::white);
    const double areaX = left + m_geometry.offsetXPx / m_geometry.pixelsPerMmX * s;
    const double areaY = top + m_geometry.offsetYPx / m_geometry.pixelsPerMmY * s;
    p.setPen(QPen(Qt::black, 1, Qt::DotLine));
    p.drawRect(
        QRectF(areaX, areaY, m_geometry.printableWidthMm * s, m_geometry.printableHeightMm * s));
    if (!m_cells || !m_previews) return;
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    for (const tools::PrintCell& c : *m_cells) {
        if (c.page != m_page || c.item >= m_previews->size()) continue;
        const QImage& img = (*m_previews)[c.item];
        if (img.isNull()) continue;
        const auto cw = static_cast<std::int32_t>(std::lround(c.width * s));
        const auto ch = static_cast<std::int32_t>(std::lround(c.height * s));
        const tools::CellPlacement pl =
            tools::placeInCell(img.width(), img.height(), cw, ch, m_zoom);
        if (pl.width <= 0) continue;
        p.drawImage(QRectF(areaX + c.x * s, areaY + c.y * s, pl.width, pl.height), img,
                    QRectF(pl.sourceX, pl.sourceY, pl.sourceWidth, pl.sourceHeight));
    }
}

PrintDialog::PrintDialog(app::Settings& settings, std::vector<shell::PrinterEntry> printers,
                         std::vector<tools::PrintItem> items, QWidget* parent)
    : DialogBase(kPrintTemplate, parent),
      m_settings(settings),
      m_printers(std::move(printers)),
      m_items(std::move(items)) {
    setWindowTitle(tr("Print"));
    m_device = new QComboBox(this);
    for (const shell::PrinterEntry& e : m_printers)
        m_device->addItem(QString::fromStdString(e.name));
    m_where = new QLabel(this);
    m_properties = new QPushButton(tr("P&roperties..."), this);
    m_layout = new QComboBox(this);
    for (std::string_view name : tools::kPrintLayoutNames)
        m_layout->addItem(coreText(app::kChoicesContext, name));
    m_customSize = new QPushButton(tr("Custom size..."), this);
    m_repeat = new QLineEdit(QStringLiteral("1"), this);
    setControlId(m_repeat, kRepeatControl);
    m_zoom = new QCheckBox(tr("&Zoom to maximize"), this);
    m_method = new QComboBox(this);
    for (std::string_view name : image::kResampleMethodNames)
        m_method->addItem(coreText(app::kChoicesContext, name));
    m_resX = new QLineEdit(this);
    m_resY = new QLineEdit(this);
    m_identical = new QCheckBox(tr("Identical values"), this);
    auto* defaultX = new QToolButton(this);
    auto* defaultY = new QToolButton(this);
    defaultX->setText(tr("d"));
    defaultY->setText(tr("d"));
    m_preview = new PrintPreview(this);
    m_pageBar = new QScrollBar(Qt::Horizontal, this);
    m_caption = new QLabel(this);
    m_caption->setAlignment(Qt::AlignCenter);

    auto* printer = new QGridLayout;
    printer->addWidget(new QLabel(tr("Device:"), this), 0, 0);
    printer->addWidget(m_device, 0, 1);
    printer->addWidget(m_properties, 0, 2);
    printer->addWidget(new QLabel(tr("Where:"), this), 1, 0);
    printer->addWidget(m_where, 1, 1, 1, 2);
    auto* options = new QGridLayout;
    options->addWidget(new QLabel(tr("Layout:"), this), 0, 0);
    options->addWidget(m_layout, 0, 1);
    options->addWidget(m_customSize, 0, 2, 1, 2);
    options->addWidget(new QLabel(tr("Copies:"), this), 1, 0);
    options->addWidget(m_repeat, 1, 1);
    options->addWidget(m_zoom, 1, 2, 1, 2);
    options->addWidget(new QLabel(tr("Resampling:"), this), 2, 0);
    options->addWidget(m_method, 2, 1);
    options->addWidget(new QLabel(tr("Horizontal resolution:"), this), 3, 0);
    options->addWidget(m_resX, 3, 1);
    options->addWidget(defaultX, 3, 2);
    options->addWidget(new QLabel(tr("Vertical resolution:"), this), 4, 0);
    options->addWidget(m_resY, 4, 1);
    options->addWidget(defaultY, 4, 2);
    options->addWidget(m_identical, 5, 1, 1, 2);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* print = buttons->addButton(tr("&Print"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QDialogButtonBox::Cancel);
    buttons->addButton(helpButton(), QDialogButtonBox::HelpRole);
    print->setDefault(true);
    auto* left = new QVBoxLayout;
    left->addLayout(printer);
    left->addLayout(options);
    left->addStretch(1);
    auto* right = new QVBoxLayout;
    right->addWidget(m_preview, 1);
    right->addWidget(m_pageBar);
    right->addWidget(m_caption);
    auto* top = new QHBoxLayout;
    top->addLayout(left);
    top->addLayout(right, 1);
    auto* all = new QVBoxLayout(this);
    all->addLayout(top);
    all->addWidget(buttons);

    const auto showResolution = [](QLineEdit* field, std::int32_t v) {
        field->setText(v == tools::kDefaultResolution ? tr("[default]") : QString::number(v));
    };
    showResolution(m_resX, m_settings.printOptions[0]);
    showResolution(m_resY, m_settings.printOptions[1]);
    m_identical->setChecked(m_settings.printOptions[0] == m_settings.printOptions[1]);

    connect(m_device, &QComboBox::currentIndexChanged, this, &PrintDialog::choosePrinter);
    connect(m_properties, &QPushButton::clicked, this, &PrintDialog::onProperties);
    connect(m_layout, &QComboBox::currentIndexChanged, this, [this](int) { relayout(); });
    connect(m_customSize, &QPushButton::clicked, this, &PrintDialog::onCustomSize);
    connect(m_repeat, &QLineEdit::editingFinished, this, &PrintDialog::onRepeatFinished);
    connect(m_zoom, &QCheckBox::toggled, this, [this](bool) { showPage(m_page); });
    connect(m_pageBar, &QScrollBar::valueChanged, this, &PrintDialog::showPage);
    connect(m_resX, &QLineEdit::textEdited, this,
            [this](const QString& t) { onResolutionEdited(m_resX, t); });
    connect(m_resY, &QLineEdit::textEdited, this,
            [this](const QString& t) { onResolutionEdited(m_resY, t); });
    connect(m_resX, &QLineEdit::editingFinished, this, [this] {
        if (m_resX->text().trimmed().isEmpty()) setDefault(m_resX);
    });
    connect(m_resY, &QLineEdit::editingFinished, this, [this] {
        if (m_resY->text().trimmed().isEmpty()) setDefault(m_resY);
    });
    connect(defaultX, &QToolButton::clicked, this, [this] { setDefault(m_resX); });
    connect(defaultY, &QToolButton::clicked, this, [this] { setDefault(m_resY); });
    connect(print, &QPushButton::clicked, this, [this] { printAll(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &PrintDialog::reject);

    makePreviews();
    // The default queue is listed first.
    choosePrinter(m_device->count() > 0 ? 0 : -1);
    OnInitDialog();
}

PrintDialog::~PrintDialog() = default;

void PrintDialog::makePreviews() {
    m_previews.clear();
    m_previewsGrey = m_geometry.monochrome;
    for (tools::PrintItem& item : m_items) {
        if (!item.preview || item.preview->isEmpty()) {
            auto bitmap = std::make_shared<image::Bitmap32>();
            if (tools::loadPrintPreview(item.path, *bitmap, m_settings.exifAutoOrient))
                item.preview = std::move(bitmap);
        }
        m_previews.push_back(previewImage(item.preview.get(), m_geometry.monochrome));
    }
}

void PrintDialog::choosePrinter(int index) {
    m_session.reset();
    m_geometry = {};
    if (index >= 0 && static_cast<std::size_t>(index) < m_printers.size()) {
        m_where->setText(QString::fromStdString(m_printers[static_cast<std::size_t>(index)].where));
        m_session = shell::PrinterSession::open(m_printers[static_cast<std::size_t>(index)].name);
        if (m_session) m_geometry = m_session->geometry();
    }
    if (m_previewsGrey != m_geometry.monochrome) makePreviews();
    relayout();
}

void PrintDialog::relayout() {
    const auto layout = static_cast<tools::PrintLayout>(std::clamp(m_layout->currentIndex(), 0, 4));
    m_customSize->setEnabled(layout == tools::PrintLayout::One);
    const tools::PrintPage page{m_geometry.printableWidthMm, m_geometry.printableHeightMm,
                                m_geometry.landscape};
    m_cells = tools::layoutCells(layout, page, m_items.size(),
                                 tools::clampRepeatText(m_repeat->text().toStdString()));
    const int pages = std::max(1, tools::pageCount(m_cells));
    m_pageBar->blockSignals(true);
    m_pageBar->setRange(0, pages - 1);
    m_pageBar->setValue(0);
    m_pageBar->setEnabled(pages >= 2);
    m_pageBar->blockSignals(false);
    showPage(0);
}

void PrintDialog::showPage(int page) {
    m_page = page;
    const int pages = std::max(1, tools::pageCount(m_cells));
    m_caption->setText(tr("page %1 of %2").arg(page + 1).arg(pages));
    m_preview->setPage(m_geometry, &m_cells, &m_previews, page, m_zoom->isChecked());
}

void PrintDialog::onRepeatFinished() {
    const std::int32_t repeat = tools::clampRepeatText(m_repeat->text().toStdString());
    if (m_repeat->text() != QString::number(repeat)) m_repeat->setText(QString::number(repeat));
    relayout();
}

bool PrintDialog::setCustomSize(double widthMm, double heightMm, bool original) {
    const tools::PrintPage page{m_geometry.printableWidthMm, m_geometry.printableHeightMm,
                                m_geometry.landscape};
    if (original) {
        for (tools::PrintItem& item : m_items)
            tools::readOriginalSize(item, m_settings.exifAutoOrient);
        tools::applyOriginalSizes(m_cells, m_items, page);
        showPage(m_page);
        return true;
    }
    const tools::LimitedSize s = tools::limitCustomSize(widthMm, heightMm, page);
    if (s.truncated)
        QMessageBox::warning(this, tr("Print"),
                             coreText(app::kMessagesContext, tools::kPrintCustomSizeTruncated));
    tools::applyCellSize(m_cells, s.width, s.height);
    showPage(m_page);
    return !s.truncated;
}

void PrintDialog::onCustomSize() {
    const double w = m_cells.empty() ? m_geometry.printableWidthMm : m_cells.front().width;
    const double h = m_cells.empty() ? m_geometry.printableHeightMm : m_cells.front().height;
    CustomSizeDialog dialog(m_geometry.landscape ? h : w, m_geometry.landscape ? w : h, this);
    if (dialog.exec() != QDialog::Accepted) return;
    setCustomSize(dialog.widthMm(), dialog.heightMm(), dialog.originalSize());
}

void PrintDialog::onProperties() {
    if (!m_session) return;
    if (!m_session->editProperties(this)) return;
    // The dialog may have switched queues.
    const int index = m_device->findText(QString::fromStdString(m_session->name()));
    if (index >= 0 && index != m_device->currentIndex()) {
        m_device->blockSignals(true);
        m_device->setCurrentIndex(index);
        m_device->blockSignals(false);
        m_where->setText(QString::fromStdString(m_printers[static_cast<std::size_t>(index)].where));
    }
    m_geometry = m_session->geometry();
    makePreviews();
    relayout();
}

void PrintDialog::onResolutionEdited(QLineEdit* field, const QString& text) {
    if (m_syncing || !m_identical->isChecked()) return;
    m_syncing = true;
    (field == m_resX ? m_resY : m_resX)->setText(text);
    m_syncing = false;
}

void PrintDialog::setDefault(QLineEdit* field) {
    field->setText(tr("[default]"));
    if (m_identical->isChecked()) (field == m_resX ? m_resY : m_resX)->setText(tr("[default]"));
}

std::int32_t PrintDialog::fieldValue(const QLineEdit* field) const {
    const QString text = field->text().trimmed();
    if (text.isEmpty() || text == tr("[default]")) return tools::kDefaultResolution;
    bool ok = false;
    const int v = text.toInt(&ok);
    return ok ? v : 0;  // not a number: not positive, so printing takes the default
}

void PrintDialog::storeResolution() {
    m_settings.printOptions[0] = fieldValue(m_resX);
    m_settings.printOptions[1] = fieldValue(m_resY);
}

void PrintDialog::reject() {
    storeResolution();
    DialogBase::reject();
}

bool PrintDialog::printAll() {
    const std::int32_t rx = fieldValue(m_resX);
    const std::int32_t ry = fieldValue(m_resY);
    if (!tools::resolutionFieldsConsistent(rx, ry)) {
        QMessageBox::critical(this, tr("Print"),
                              coreText(app::kMessagesContext, tools::kPrintResolutionMismatch));
        return false;
    }
    storeResolution();
    if (m_items.empty() || m_cells.empty()) return false;
    if (!m_session || !m_session->stillAvailable()) {
        QMessageBox::warning(
            this, tr("Print"),
            tr("The printer \"%1\" is not available.").arg(m_device->currentText()));
        return false;
    }

    tools::PrintOptions options;
    options.upright = m_settings.exifAutoOrient;
    options.dpi = tools::effectiveResolution(
        rx, ry, {m_settings.defaultResolutionX, m_settings.defaultResolutionY});
    options.zoom = m_zoom->isChecked();
    options.method = image::resampleMethodFromIndex(m_method->currentIndex())
                         .value_or(image::ResampleMethod::Lanczos);

    ProgressDialog progress;
    progress.Create(this);
    GuiToolHost host(this, tr("Print"));
    host.setErrors(GuiToolHost::Errors::Warning);
    host.useProgress(&progress);
    ToolRunner runner(host);
    shell::PrintJob job(*m_session);
    const auto failed = [&](const QString& message) {
        job.abort();
        progress.Close();
        if (!message.isEmpty()) QMessageBox::warning(this, tr("Print"), message);
        return false;
    };
    if (!job.begin(m_items.front().path.string()))
        return failed(
            tr("The print job could not be started on \"%1\".").arg(m_device->currentText()));
    const int pages = tools::pageCount(m_cells);
    for (int page = 0; page < pages; ++page) {
        // One page's pictures at a time keeps memory to a page, whatever the job's length.
        // Decoding and resampling run off the user-interface thread; drawing stays on it.
        tools::PrepareOutcome outcome = tools::PrepareOutcome::Failed;
        runner.run([&](tools::ToolHost& worker) {
            outcome = tools::preparePage(m_cells, page, m_items, options, worker);
        });
        if (outcome != tools::PrepareOutcome::Done) return failed(QString());
        if (page > 0 && !job.newPage()) {
            tools::releasePage(m_cells, page);
            return failed(tr("The printer refused a new page."));
        }
        for (const tools::PrintCell& cell : m_cells) {
            if (cell.page != page || !cell.bitmap) continue;
            const image::Bitmap32& b = *cell.bitmap;
            const auto cw =
                static_cast<std::int32_t>(std::lround(cell.width * m_geometry.pixelsPerMmX));
            const auto ch =
                static_cast<std::int32_t>(std::lround(cell.height * m_geometry.pixelsPerMmY));
            const tools::CellPlacement pl =
                tools::placeInCell(b.width(), b.height(), cw, ch, options.zoom);
            const shell::DeviceRect target{
                static_cast<std::int32_t>(std::lround(cell.x * m_geometry.pixelsPerMmX)),
                static_cast<std::int32_t>(std::lround(cell.y * m_geometry.pixelsPerMmY)), pl.width,
                pl.height};
            job.drawBitmap(b, target, {pl.sourceX, pl.sourceY, pl.sourceWidth, pl.sourceHeight});
        }
        tools::releasePage(m_cells, page);
    }
    progress.Close();
    if (!job.end()) {
        QMessageBox::warning(this, tr("Print"), tr("The print job could not be finished."));
        return false;
    }
    accept();
    return true;
}

}  // namespace kalder::gui
