#include "cli/cli_tool_host.h"

#include <signal.h>

#include <csignal>

#include "cli/cli_usage.h"

namespace kalder::cli {
namespace {

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void onInterrupt(int) { g_interrupted = 1; }

}  // namespace

bool takeAnswerWord(const std::string& word, std::optional<bool>& answer, std::string& error) {
    if (word != "--yes" && word != "--no") return false;
    const bool yes = word == "--yes";
    if (answer && *answer != yes) error = "--yes and --no exclude each other";
    answer = yes;
    return true;
}

Option answerOption(std::optional<bool>& answer) {
    return {{"--yes", "--no"}, false, [&answer](const std::string& word, const std::string&) {
                std::string error;
                takeAnswerWord(word, answer, error);
                return error;
            }};
}

CliToolHost::CliToolHost(std::ostream& err, std::optional<bool> answer, bool showProgress)
    : m_err(err), m_answer(answer), m_showProgress(showProgress && progressWanted()) {}

void CliToolHost::error(const std::string& text) {
    ++m_errors;
    m_err << "kalder-cli: " << text << "\n";
}

void CliToolHost::warning(const std::string& text) {
    m_err << "kalder-cli: warning: " << text << "\n";
}

void CliToolHost::information(const std::string& text) { error(text); }

tools::ToolAnswer CliToolHost::ask(const tools::ToolQuestion& question) {
    using tools::ToolAnswer;
    if (settled)
        if (const auto answer = settled(question)) return *answer;
    if (m_answer) {
        const ToolAnswer all = *m_answer ? ToolAnswer::YesToAll : ToolAnswer::NoToAll;
        if (question.allowed.has(all)) return all;
        return *m_answer ? ToolAnswer::Yes : ToolAnswer::No;
    }
    return unanswered ? unanswered(question) : ToolAnswer::Yes;
}

void CliToolHost::progress(const tools::ToolProgress& p) {
    if (!m_showProgress || p.file.empty()) return;
    // A file is a run's item, or a step of a stage that goes file by file.
    const bool item = p.item >= 0;
    const std::int64_t index = item ? p.item : p.done;
    const std::int64_t count = item ? p.items : p.total;
    if (index < 0 || index >= count || !m_started.insert(index).second) return;
    m_err << "[" << index + 1 << "/" << count << "] " << p.file.string() << "\n";
}

bool CliToolHost::cancelled() { return m_interruptible && g_interrupted != 0; }

void CliToolHost::catchInterrupts() {
    g_interrupted = 0;
    m_interruptible = true;
    struct sigaction sa {};
    sa.sa_handler = onInterrupt;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
}

}  // namespace kalder::cli
