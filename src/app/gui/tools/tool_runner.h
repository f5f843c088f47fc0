#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/gui/dialogs/progress_dialog.h"
#include "tools/tool_host.h"

class QWidget;

namespace kalder::gui {

// A tool run's user interface, on the user-interface thread: message boxes over the parent, the
// file-exists dialog for questions about a file and a Yes/No box for the others, the progress
// window. The wait cursor is lifted while the user is asked or told something. Used directly by
// the short interactive flows, and through ToolRunner by the long runs.
class GuiToolHost : public tools::ToolHost {
public:
    // How errors reach the user: a box each (critical or warning), or gathered for a report at
    // the end, since a box per file would hold a long run up until someone clicks it away.
    enum class Errors { Critical, Warning, Collect };

    explicit GuiToolHost(QWidget* parent, QString title = QStringLiteral("Kalder"));
    ~GuiToolHost() override;

    void setParent(QWidget* parent) { m_parent = parent; }
    void setErrors(Errors errors) { m_errors = errors; }
    // Warnings gathered (to be shown with the result) instead of a box each.
    void setCollectWarnings(bool collect) { m_collectWarnings = collect; }
    // A progress window the caller owns and keeps over several runs, instead of one of its own.
    void useProgress(ProgressDialog* progress) { m_progress = progress; }

    void error(const std::string& text) override;
    void warning(const std::string& text) override;
    void information(const std::string& text) override;
    tools::ToolAnswer ask(const tools::ToolQuestion& question) override;
    void progress(const tools::ToolProgress& progress) override;
    // Looks for ESC in the progress window (for an engine on this thread).
    bool cancelled() override;

    const std::vector<std::string>& problems() const { return m_problems; }
    const std::vector<std::string>& warnings() const { return m_warnings; }
    ProgressDialog& progressDialog() { return *m_progress; }

private:
    QWidget* m_parent;
    QString m_title;
    Errors m_errors = Errors::Critical;
    bool m_collectWarnings = false;
    ProgressDialog m_ownProgress;
    ProgressDialog* m_progress = &m_ownProgress;
    std::vector<std::string> m_problems;
    std::vector<std::string> m_warnings;
    std::int32_t m_item = -1;
    std::filesystem::path m_file;
    std::string m_stage;
    std::int32_t m_stageIndex = -1;
    std::int64_t m_total = 1;
    std::int64_t m_done = 0;
    bool m_stop = false;
};

// Runs a tool engine on a worker thread while the user-interface thread keeps painting. The
// engine's host calls reach `ui` on the user-interface thread: errors, warnings and questions
// wait for it (a question waits for the user's answer), progress is passed on without waiting,
// the latest report replacing one not yet shown. ESC asks the engine to stop. Meanwhile other
// input is held back, except in the boxes the run shows, so that no other command starts
// underneath it.
class ToolRunner : public QObject {
    Q_OBJECT
public:
    explicit ToolRunner(tools::ToolHost& ui);
    ~ToolRunner() override;

    // Runs `job` with the worker's host and returns when it is done; an exception it throws is
    // thrown again here.
    void run(const std::function<void(tools::ToolHost&)>& job);
    // What ESC does.
    void cancel() { m_cancel.store(true); }
    bool isCancelled() const { return m_cancel.load(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class WorkerHost;
    struct PendingProgress;

    // Calls `call` on the user-interface thread and waits for it.
    void onUi(const std::function<void()>& call);
    void postProgress(const tools::ToolProgress& progress);
    void deliverProgress();

    tools::ToolHost& m_ui;
    std::atomic<bool> m_cancel{false};
    int m_asking = 0;  // boxes the run shows get their input
    bool m_running = false;
    std::unique_ptr<PendingProgress> m_pending;
};

}  // namespace kalder::gui
