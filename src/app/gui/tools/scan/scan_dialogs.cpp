#include "app/gui/tools/scan/scan_dialogs.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <mutex>

#include "app/core/command_ids.h"
#include "app/core/translatable.h"
#include "app/gui/tools/tool_context.h"
#include "app/gui/translations.h"
#include "image/bitmap32.h"
#include "shell/qt/qt_path.h"
#include "view/folder_images.h"

namespace kalder::gui {

namespace {

constexpr char kTitle[] = "Kalder";

const char* const kModeNames[] = {QT_TRANSLATE_NOOP("kalder::gui::AcquireDialog", "Color"),
                                  QT_TRANSLATE_NOOP("kalder::gui::AcquireDialog", "Gray"),
                                  QT_TRANSLATE_NOOP("kalder::gui::AcquireDialog", "Line art")};
const shell::ScanColour kModes[] = {shell::ScanColour::Color, shell::ScanColour::Gray,
                                    shell::ScanColour::LineArt};

// "Name (*.ext)|*.ext|..." as Qt's filter list.
QStringList saveFilters() {
    const QStringList parts = QString::fromUtf8(tools::kScanSaveFilter).split('|');
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        if (!parts[i].isEmpty()) filters << coreText(app::kFiltersContext, parts[i].toStdString());
    return filters;
}

QPixmap pixmapOf(const image::Bitmap32& bitmap, QSize box) {
    std::lock_guard lock(bitmap.pixelLock());
    const QImage view(bitmap.pixels(), bitmap.width(), bitmap.height(),
                      static_cast<qsizetype>(bitmap.stride()), QImage::Format_RGB32);
    return QPixmap::fromImage(view.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

}  // namespace

std::optional<tools::ScanSaveChoice> askScanSavePath(QWidget* parent,
                                                     const tools::ScanSaveRequest& request) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    const QStringList filters = saveFilters();
    dialog.setNameFilters(filters);
    const int index = static_cast<int>(request.type) - 1;
    if (index >= 0 && index < filters.size()) dialog.selectNameFilter(filters[index]);
    if (!request.folder.empty()) dialog.setDirectory(shell::toQString(request.folder));
    dialog.selectFile(QString::fromStdString(request.defaultName));
    dialog.setDefaultSuffix(tools::scanSaveExtension(request.type));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString& filter) {
        const auto type = tools::scanSaveTypeFromIndex(filters.indexOf(filter) + 1);
        dialog.setDefaultSuffix(tools::scanSaveExtension(type));
        // Qt's own dialog shows the name as typed; a desktop dialog keeps it to itself, and the
        // extension is put right after it closes.
        if (auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
            edit->setText(QString::fromStdString(
                tools::switchScanExtension(edit->text().toStdString(), type)));
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    tools::ScanSaveChoice choice;
    choice.path = shell::toPath(dialog.selectedFiles().first());
    choice.type = tools::scanSaveTypeFromIndex(filters.indexOf(dialog.selectedNameFilter()) + 1);
    if (tools::scanSaveTypeForPath(choice.path) != choice.type)
        choice.path.replace_filename(
            tools::switchScanExtension(choice.path.filename().string(), choice.type));
    return choice;
}

SelectSourceDialog::SelectSourceDialog(const std::string& current, QWidget* parent)
    : DialogBase(0, parent), m_list(new QListWidget(this)) {
    setWindowTitle(tr("Select Source"));
    m_list->setObjectName(QStringLiteral("devices"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    (void)shell::Scanner::listDevices(m_devices);
    for (const shell::ScannerDevice& d : m_devices) {
        m_list->addItem(QString::fromStdString(d.label()));
        if (d.name == current) m_list->setCurrentRow(m_list->count() - 1);
    }
    if (m_devices.empty()) {
        // An empty list alone does not say whether the search ran at all.
        auto* none = new QLabel(
            tr("No scanner was found. Check that it is connected and switched on; scanners "
               "on the network or from some makers need their SANE backend set up first "
               "(see the files in /etc/sane.d)."),
            this);
        none->setObjectName(QStringLiteral("noScanner"));
        none->setWordWrap(true);
        layout->insertWidget(0, none);
        m_list->setAccessibleName(tr("Scanners"));
    }
    if (m_list->currentRow() < 0 && m_list->count() > 0) m_list->setCurrentRow(0);
    buttons->button(QDialogButtonBox::Ok)->setEnabled(!m_devices.empty());
    OnInitDialog();
}

std::string SelectSourceDialog::device() const {
    const int row = m_list->currentRow();
    return row >= 0 && row < static_cast<int>(m_devices.size()) ? m_devices[row].name
                                                                : std::string();
}

AcquireDialog::AcquireDialog(ScanState& state, QWidget* parent)
    : DialogBase(0, parent),
      m_state(state),
      m_device(new QComboBox(this)),
      m_mode(new QComboBox(this)),
      m_resolution(new QSpinBox(this)),
      m_source(new QComboBox(this)),
      m_preview(new QLabel(this)),
      m_status(new QLabel(this)),
      m_previewButton(new QPushButton(tr("&Preview"), this)),
      m_scanButton(new QPushButton(tr("&Scan"), this)),
      m_cancelButton(new QPushButton(tr("Cancel"), this)) {
    setWindowTitle(tr("Acquire"));
    m_device->setObjectName(QStringLiteral("device"));
    m_mode->setObjectName(QStringLiteral("mode"));
    m_resolution->setObjectName(QStringLiteral("resolution"));
    m_source->setObjectName(QStringLiteral("source"));
    m_preview->setObjectName(QStringLiteral("preview"));
    m_status->setObjectName(QStringLiteral("status"));
    m_previewButton->setObjectName(QStringLiteral("previewButton"));
    m_scanButton->setObjectName(QStringLiteral("scanButton"));
    m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
    for (const char* name : kModeNames) m_mode->addItem(tr(name));
    m_resolution->setRange(1, 9600);
    m_resolution->setValue(150);
    m_resolution->setSuffix(QStringLiteral(" dpi"));
    m_preview->setFixedSize(200, 260);
    m_preview->setAlignment(Qt::AlignCenter);
    m_preview->setFrameStyle(QFrame::Sunken | QFrame::Panel);

    auto* form = new QFormLayout;
    form->addRow(tr("&Device:"), m_device);
    form->addRow(tr("&Mode:"), m_mode);
    form->addRow(tr("&Resolution:"), m_resolution);
    form->addRow(tr("S&ource:"), m_source);
    form->addRow(m_status);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(m_previewButton);
    buttons->addWidget(m_scanButton);
    buttons->addWidget(m_cancelButton);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_preview);
    layout->addLayout(buttons);

    askSave = [this](const tools::ScanSaveRequest& r) { return askScanSavePath(this, r); };
    reportError = [this](const QString& text) {
        QMessageBox::critical(this, QString::fromUtf8(kTitle), text);
    };
    connect(m_previewButton, &QPushButton::clicked, this, [this] { startScan(true); });
    connect(m_scanButton, &QPushButton::clicked, this, [this] { startScan(false); });
    connect(m_cancelButton, &QPushButton::clicked, this, &AcquireDialog::reject);

    (void)shell::Scanner::listDevices(m_devices);
    for (const shell::ScannerDevice& d : m_devices) {
        m_device->addItem(QString::fromStdString(d.label()));
        if (d.name == m_state.device) m_device->setCurrentIndex(m_device->count() - 1);
    }
    connect(m_device, &QComboBox::currentIndexChanged, this, [this] { openDevice(); });
    openDevice();
    OnInitDialog();
}

AcquireDialog::~AcquireDialog() {
    cancelScan();
    if (m_worker.joinable()) m_worker.join();
}

void AcquireDialog::openDevice() {
    m_scanner.reset();
    m_source->clear();
    const int index = m_device->currentIndex();
    if (index < 0 || index >= static_cast<int>(m_devices.size())) {
        m_status->setText(tr("No scanner was found."));
        updateControls();
        return;
    }
    const shell::ScanStatus s = shell::Scanner::open(m_devices[index].name, m_scanner);
    m_status->setText(s ? QString() : QString::fromStdString(s.text()));
    if (m_scanner) {
        const shell::ScanOptionInfo sources = m_scanner->optionInfo("source");
        for (const std::string& choice : sources.choices)
            m_source->addItem(QString::fromStdString(choice));
        m_source->setCurrentText(QString::fromStdString(sources.current));
        const shell::ScanOptionInfo resolution = m_scanner->optionInfo("resolution");
        if (!resolution.current.empty()) m_resolution->setValue(std::stoi(resolution.current));
    }
    updateControls();
}

void AcquireDialog::updateControls() {
    const bool busy = scanning();
    const bool ready = m_scanner && !busy;
    m_device->setEnabled(!busy);
    m_mode->setEnabled(ready);
    m_resolution->setEnabled(ready);
    m_source->setEnabled(ready && m_source->count() > 0);
    m_previewButton->setEnabled(ready);
    m_scanButton->setEnabled(ready);
}

void AcquireDialog::applySettings(shell::ScanStatus& s) {
    const int mode = std::clamp(m_mode->currentIndex(), 0, 2);
    s = m_scanner->setColour(kModes[mode]);
    if (s && m_source->count() > 0) s = m_scanner->setSource(m_source->currentText().toStdString());
    if (s) s = m_scanner->setResolution(m_resolution->value());
}

void AcquireDialog::startScan(bool preview) {
    if (scanning() || !m_scanner) return;
    shell::ScanStatus s;
    applySettings(s);
    if (!s) {
        workerDone(s);
        return;
    }
    m_state.device = m_scanner->deviceName();
    if (!preview) m_state.saves.beginRun();
    m_status->setText(tr("Scanning ..."));
    shell::Scanner* scanner = m_scanner.get();
    m_worker = std::thread([this, scanner, preview] {
        shell::ScanStatus status;
        if (preview) {
            auto page = std::make_shared<shell::ScannedImage>();
            status = scanner->preview(*page);
            if (status)
                QMetaObject::invokeMethod(
                    this, [this, page] { pageArrived(page, true); }, Qt::QueuedConnection);
        } else {
            status = scanner->scanPages(0, [this](shell::ScannedImage& image) {
                auto page = std::make_shared<shell::ScannedImage>(std::move(image));
                QMetaObject::invokeMethod(
                    this, [this, page] { pageArrived(page, false); }, Qt::QueuedConnection);
                return true;
            });
        }
        QMetaObject::invokeMethod(
            this, [this, status] { workerDone(status); }, Qt::QueuedConnection);
    });
    updateControls();
}

void AcquireDialog::cancelScan() {
    if (scanning() && m_scanner) m_scanner->cancel();
}

void AcquireDialog::reject() {
    // Cancel stops a running scan first; the dialog closes on the next press.
    if (scanning()) {
        cancelScan();
        return;
    }
    DialogBase::reject();
}

void AcquireDialog::pageArrived(std::shared_ptr<shell::ScannedImage> page, bool preview) {
    if (!page->bitmap) return;
    m_preview->setPixmap(pixmapOf(*page->bitmap, m_preview->size()));
    if (preview) return;
    m_queue.push_back(std::move(page));
    saveQueued();
}

void AcquireDialog::saveQueued() {
    // Save dialogs run nested event loops; pages arriving meanwhile wait in the queue.
    if (m_saving) return;
    m_saving = true;
    while (!m_queue.empty()) {
        std::shared_ptr<shell::ScannedImage> page = m_queue.front();
        m_queue.pop_front();
        const auto outcome = m_state.saves.save(*page, askSave);
        if (outcome == tools::ScanSaveSession::Outcome::Failed) {
            reportError(coreText(app::kMessagesContext, tools::kScanCannotSave));
        } else if (outcome == tools::ScanSaveSession::Outcome::Cancelled) {
            // Cancelling the Save dialog ends the run: the feeder stops, waiting pages go.
            cancelScan();
            m_queue.clear();
        }
    }
    m_saving = false;
}

void AcquireDialog::workerDone(shell::ScanStatus status) {
    if (m_worker.joinable()) m_worker.join();
    m_status->setText(status ? QString() : QString::fromStdString(status.text()));
    updateControls();
    if (!status && status.error != shell::ScanError::Cancelled)
        reportError(coreText(app::kMessagesContext, tools::kScanErrorAcquiring));
    emit scanFinished();
}

void registerScanCommands(ToolContext& context) {
    auto state = std::make_shared<ScanState>();
    context.commands().on(app::cmd::kSelectSource, [&context, state](app::CommandId) {
        SelectSourceDialog dialog(state->device, context.dialogParent());
        if (dialog.exec() == QDialog::Accepted) state->device = dialog.device();
    });
    context.commands().on(app::cmd::kAcquire, [&context, state](app::CommandId) {
        std::vector<shell::ScannerDevice> devices;
        if (!shell::Scanner::listDevices(devices) || devices.empty()) {
            QMessageBox::critical(context.dialogParent(), QString::fromUtf8(kTitle),
                                  coreText(app::kMessagesContext, tools::kScanErrorAcquiring));
            return;
        }
        state->saves.setFolder(context.currentFolder());
        AcquireDialog dialog(*state, context.dialogParent());
        dialog.exec();
    });
}

}  // namespace kalder::gui
