#include "app/gui/tools/tool_runner.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QMessageBox>
#include <exception>
#include <mutex>
#include <thread>

#include "app/core/translatable.h"
#include "app/gui/dialogs/file_exists_dialog.h"
#include "app/gui/translations.h"
#include "shell/qt/qt_path.h"

namespace kalder::gui {
namespace {

// Lets the user answer with the normal pointer while a run shows the wait cursor.
class CursorBreak {
public:
    CursorBreak() : m_had(QApplication::overrideCursor() != nullptr) {
        if (m_had) QApplication::restoreOverrideCursor();
    }
    ~CursorBreak() {
        if (m_had) QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    CursorBreak(const CursorBreak&) = delete;
    CursorBreak& operator=(const CursorBreak&) = delete;

private:
    bool m_had;
};

// A message of an engine in the user's language: each line the engines mark is looked up, the
// rest (file names, reasons from libraries) stays as it is.
QString messageText(const std::string& text) {
    QStringList lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines << coreText(app::kMessagesContext, std::string_view(text).substr(start, end - start));
    lines << coreText(app::kMessagesContext, std::string_view(text).substr(start));
    return lines.join(QLatin1Char('\n'));
}

tools::ToolAnswer fromChoice(FileExistsDialog::Choice choice) {
    switch (choice) {
        case FileExistsDialog::Overwrite:
            return tools::ToolAnswer::Yes;
        case FileExistsDialog::OverwriteAll:
            return tools::ToolAnswer::YesToAll;
        case FileExistsDialog::Skip:
            return tools::ToolAnswer::No;
        case FileExistsDialog::SkipAll:
            return tools::ToolAnswer::NoToAll;
        case FileExistsDialog::Rename:
            return tools::ToolAnswer::Rename;
        case FileExistsDialog::Cancel:
            break;
    }
    return tools::ToolAnswer::Cancel;
}

}  // namespace

GuiToolHost::GuiToolHost(QWidget* parent, QString title)
    : m_parent(parent), m_title(std::move(title)) {}

GuiToolHost::~GuiToolHost() { m_ownProgress.Close(); }

void GuiToolHost::error(const std::string& text) {
    if (m_errors == Errors::Collect) {
        m_problems.push_back(text);
        return;
    }
    // The run ends with this message; its progress window goes first.
    m_progress->Close();
    CursorBreak pointer;
    if (m_errors == Errors::Critical)
        QMessageBox::critical(m_parent, m_title, messageText(text));
    else
        QMessageBox::warning(m_parent, m_title, messageText(text));
}

void GuiToolHost::warning(const std::string& text) {
    if (m_collectWarnings) {
        m_warnings.push_back(text);
        return;
    }
    CursorBreak pointer;
    QMessageBox::warning(m_parent, m_title, messageText(text));
}

void GuiToolHost::information(const std::string& text) {
    CursorBreak pointer;
    QMessageBox::information(m_parent, m_title, messageText(text));
}

tools::ToolAnswer GuiToolHost::ask(const tools::ToolQuestion& question) {
    CursorBreak pointer;
    if (question.file.empty())
        return QMessageBox::question(m_parent, m_title, messageText(question.text),
                                     QMessageBox::Yes | QMessageBox::No,
                                     QMessageBox::Yes) == QMessageBox::Yes
                   ? tools::ToolAnswer::Yes
                   : tools::ToolAnswer::No;
    const bool rename =
        question.renamed != nullptr && question.allowed.has(tools::ToolAnswer::Rename);
    const FileExistsDialog::Answer answer = FileExistsDialog::ask(
        m_parent, messageText(question.text), shell::toQString(question.file), rename);
    const tools::ToolAnswer a = fromChoice(answer.choice);
    if (a == tools::ToolAnswer::Rename && rename) *question.renamed = shell::toPath(answer.path);
    return a;
}

void GuiToolHost::progress(const tools::ToolProgress& p) {
    if (!m_progress->window()) {
        m_progress->Create(m_parent);
        m_item = -1;
        m_stageIndex = -1;
        m_stage.clear();
    }
    if (p.item >= 0 && (p.item != m_item || p.file != m_file)) {
        m_item = p.item;
        m_file = p.file;
        m_progress->SetItem(shell::toQString(p.file), p.item, p.items);
    }
    if (p.stage != m_stage || p.stageIndex != m_stageIndex) {
        m_stage = p.stage;
        m_stageIndex = p.stageIndex;
        m_progress->SetStage(coreText(app::kMessagesContext, p.stage), p.stageCount, p.stageIndex);
    }
    m_total = p.total;
    m_done = p.done;
    // Paints only: ESC is looked for by cancelled(), or by the runner.
    m_progress->Step(p.total, p.done, false);
}

bool GuiToolHost::cancelled() {
    if (!m_stop && m_progress->window() && m_progress->Step(m_total, m_done, true)) m_stop = true;
    return m_stop;
}

// The engine's side: every call is passed to the user-interface thread.
class ToolRunner::WorkerHost final : public tools::ToolHost {
public:
    explicit WorkerHost(ToolRunner& runner) : m_r(runner) {}
    void error(const std::string& text) override {
        m_r.onUi([&] { m_r.m_ui.error(text); });
    }
    void warning(const std::string& text) override {
        m_r.onUi([&] { m_r.m_ui.warning(text); });
    }
    void information(const std::string& text) override {
        m_r.onUi([&] { m_r.m_ui.information(text); });
    }
    tools::ToolAnswer ask(const tools::ToolQuestion& question) override {
        tools::ToolAnswer answer = tools::ToolAnswer::Cancel;
        m_r.onUi([&] { answer = m_r.m_ui.ask(question); });
        return answer;
    }
    void progress(const tools::ToolProgress& progress) override { m_r.postProgress(progress); }
    bool cancelled() override { return m_r.isCancelled(); }

private:
    ToolRunner& m_r;
};

// The latest report not yet shown; the stage text is copied, as the engine's may not outlive
// the call.
struct ToolRunner::PendingProgress {
    std::mutex lock;
    tools::ToolProgress progress;
    std::string stage;
    bool posted = false;
};

ToolRunner::ToolRunner(tools::ToolHost& ui)
    : m_ui(ui), m_pending(std::make_unique<PendingProgress>()) {}

ToolRunner::~ToolRunner() = default;

void ToolRunner::onUi(const std::function<void()>& call) {
    QMetaObject::invokeMethod(
        this,
        [this, &call] {
            // Reports made before this call are shown first.
            deliverProgress();
            ++m_asking;
            call();
            --m_asking;
        },
        Qt::BlockingQueuedConnection);
}

void ToolRunner::postProgress(const tools::ToolProgress& progress) {
    {
        std::lock_guard hold(m_pending->lock);
        m_pending->progress = progress;
        m_pending->stage.assign(progress.stage);
        if (m_pending->posted) return;
        m_pending->posted = true;
    }
    QMetaObject::invokeMethod(
        this, [this] { deliverProgress(); }, Qt::QueuedConnection);
}

void ToolRunner::deliverProgress() {
    tools::ToolProgress p;
    std::string stage;
    {
        std::lock_guard hold(m_pending->lock);
        if (!m_pending->posted) return;
        m_pending->posted = false;
        p = m_pending->progress;
        stage = m_pending->stage;
    }
    if (!m_running) return;
    p.stage = stage;
    m_ui.progress(p);
}

void ToolRunner::run(const std::function<void(tools::ToolHost&)>& job) {
    m_cancel.store(false);
    m_running = true;
    WorkerHost host(*this);
    std::exception_ptr failure;
    QEventLoop loop;
    qApp->installEventFilter(this);
    std::thread worker([&] {
        try {
            job(host);
        } catch (...) {
            failure = std::current_exception();
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    qApp->removeEventFilter(this);
    m_running = false;
    if (failure) std::rethrow_exception(failure);
}

bool ToolRunner::eventFilter(QObject* watched, QEvent* event) {
    // The boxes the run shows take their input as usual.
    bool escape = false;
    if (m_asking == 0 && holdForJob(event, escape)) {
        if (escape) cancel();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace kalder::gui
