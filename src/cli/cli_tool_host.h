#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <set>
#include <string>

#include "cli/cli_args.h"
#include "tools/tool_host.h"

namespace kalder::cli {

// --yes and --no: the answer to every question of the run; giving both is an error.
Option answerOption(std::optional<bool>& answer);
// The same for the verbs that read their words themselves: true when `word` is one of them,
// with `error` set when it contradicts an earlier one.
bool takeAnswerWord(const std::string& word, std::optional<bool>& answer, std::string& error);

// The command line's side of a tool run. Errors go to standard error as "kalder-cli: TEXT",
// warnings as "kalder-cli: warning: TEXT". Nobody is there to answer a question: --yes and --no
// answer it (the "all" form where it is offered); without either, `unanswered` decides, by
// default Yes.
class CliToolHost final : public tools::ToolHost {
public:
    // With `showProgress` (and standard error a terminal), a "[N/COUNT] FILE" line as each file
    // starts.
    CliToolHost(std::ostream& err, std::optional<bool> answer, bool showProgress = false);

    void error(const std::string& text) override;
    void warning(const std::string& text) override;
    // Said like an error and counted as one: a script cannot act on a hint.
    void information(const std::string& text) override;
    tools::ToolAnswer ask(const tools::ToolQuestion& question) override;
    void progress(const tools::ToolProgress& progress) override;
    // After catchInterrupts(), true once Ctrl+C (or SIGTERM) came.
    bool cancelled() override;

    // Ctrl+C and SIGTERM ask the run to stop instead of ending the process, so that its
    // temporary files go away. The handlers stay until the process ends: a late Ctrl+C must
    // not kill it while it finishes.
    void catchInterrupts();

    // Errors (and notes) told so far.
    int errors() const { return m_errors; }

    // Asked first, for the questions the verb's own options already answer.
    std::function<std::optional<tools::ToolAnswer>(const tools::ToolQuestion&)> settled;
    std::function<tools::ToolAnswer(const tools::ToolQuestion&)> unanswered;

private:
    std::ostream& m_err;
    std::optional<bool> m_answer;
    bool m_showProgress;
    bool m_interruptible = false;
    int m_errors = 0;
    std::set<std::int64_t> m_started;
};

}  // namespace kalder::cli
