#pragma once

#include <QString>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "app/gui/dialogs/dialog_base.h"
#include "shell/scanner.h"
#include "tools/scan/scan_save.h"

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QSpinBox;

namespace kalder::gui {

class ToolContext;

// What "Select Source..." chose and how the save step counts, for the life of the window.
struct ScanState {
    std::string device;  // empty: the first device
    tools::ScanSaveSession saves;
};

// "Select Source...": the scanners the library finds, or a word that it found none.
class SelectSourceDialog : public DialogBase {
    Q_OBJECT
public:
    SelectSourceDialog(const std::string& current, QWidget* parent = nullptr);
    std::string device() const;

private:
    QListWidget* m_list;
    std::vector<shell::ScannerDevice> m_devices;
};

// "Acquire...": device, mode, resolution and source; a preview; Scan hands every page to the
// save step, which asks once per run. Scans run on a worker thread; Cancel stops a running
// scan, else closes; cancelling the Save dialog stops the run too.
class AcquireDialog : public DialogBase {
    Q_OBJECT
public:
    AcquireDialog(ScanState& state, QWidget* parent = nullptr);
    ~AcquireDialog() override;

    // The Save dialog; tests answer it themselves.
    tools::ScanSaveAsk askSave;
    // Error messages ("Error acquiring image(s)." and "Cannot save the acquired image.").
    std::function<void(const QString&)> reportError;

    bool scanning() const { return m_worker.joinable(); }
    // Starts a scan (preview: one low-resolution page shown in the dialog).
    void startScan(bool preview);
    void cancelScan();

signals:
    void scanFinished();

private:
    void openDevice();
    void applySettings(shell::ScanStatus& status);
    void pageArrived(std::shared_ptr<shell::ScannedImage> page, bool preview);
    void workerDone(shell::ScanStatus status);
    void saveQueued();
    void updateControls();
    void reject() override;

    ScanState& m_state;
    std::unique_ptr<shell::Scanner> m_scanner;
    std::vector<shell::ScannerDevice> m_devices;
    std::thread m_worker;
    std::deque<std::shared_ptr<shell::ScannedImage>> m_queue;
    bool m_saving = false;

    QComboBox* m_device;
    QComboBox* m_mode;
    QSpinBox* m_resolution;
    QComboBox* m_source;
    QLabel* m_preview;
    QLabel* m_status;
    QPushButton* m_previewButton;
    QPushButton* m_scanButton;
    QPushButton* m_cancelButton;
};

// The Save dialog of the save step: the type filter, "Output" names, the type switching the
// extension of the name being typed.
std::optional<tools::ScanSaveChoice> askScanSavePath(QWidget* parent,
                                                     const tools::ScanSaveRequest& request);

void registerScanCommands(ToolContext& context);

}  // namespace kalder::gui
