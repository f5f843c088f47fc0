#pragma once

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

#include "image/sinks.h"

namespace kalder::tools {

// What the user may answer a tool's question. For "the file exists", Yes overwrites and No
// skips; the "ToAll" forms answer the same for every later file of the run, which the engine
// (not the host) remembers.
enum class ToolAnswer : std::uint8_t { Yes, YesToAll, No, NoToAll, Rename, Cancel };

// The answers a question offers.
class ToolAnswers {
public:
    constexpr ToolAnswers(std::initializer_list<ToolAnswer> answers) {
        for (ToolAnswer a : answers) m_bits |= bit(a);
    }
    constexpr bool has(ToolAnswer answer) const { return (m_bits & bit(answer)) != 0; }

private:
    static constexpr unsigned bit(ToolAnswer a) { return 1u << static_cast<unsigned>(a); }
    unsigned m_bits = 0;
};

inline constexpr ToolAnswers kYesNo{ToolAnswer::Yes, ToolAnswer::No};
// Overwrite, skip, the same for all the others, or stop.
inline constexpr ToolAnswers kExistingFileAnswers{
    ToolAnswer::Yes, ToolAnswer::YesToAll, ToolAnswer::No, ToolAnswer::NoToAll, ToolAnswer::Cancel};

struct ToolQuestion {
    // A yes/no question.
    ToolQuestion(std::string question) : text(std::move(question)) {}
    ToolQuestion(std::string line, std::filesystem::path existing, ToolAnswers answers,
                 std::filesystem::path* renamedTo = nullptr)
        : text(std::move(line)), file(std::move(existing)), allowed(answers), renamed(renamedTo) {}

    std::string text;            // the question, or the line above `file`
    std::filesystem::path file;  // set: the question is whether to replace this file
    ToolAnswers allowed = kYesNo;
    // Where a Rename answer puts the new path; Rename is offered only with it.
    std::filesystem::path* renamed = nullptr;
};

// How far a run has come: stage `stageIndex` of `stageCount` named `stage`, within it `done` of
// `total`, working on item `item` of `items` (the file `file`); item -1 names none.
struct ToolProgress {
    std::string_view stage;
    std::int32_t stageIndex = 0;
    std::int32_t stageCount = 1;
    std::filesystem::path file;
    std::int32_t item = -1;
    std::int32_t items = 0;
    std::int64_t done = 0;
    std::int64_t total = 1;
};

// How every tool engine talks to its user. Engines show nothing themselves; they call their host
// only on the thread they run on, so a host that runs them on a worker passes each call on to
// the user-interface thread. Questions wait for their answer.
class ToolHost {
public:
    virtual ~ToolHost() = default;
    // One file's problem or the reason the run ended.
    virtual void error(const std::string& text) = 0;
    // Done, but perhaps not as the user expects.
    virtual void warning(const std::string& text) = 0;
    // Neither: something the user should know before going on.
    virtual void information(const std::string& text) { warning(text); }
    virtual ToolAnswer ask(const ToolQuestion& question) = 0;
    virtual void progress(const ToolProgress& progress) = 0;
    // True once the user asked the run to stop; polled often.
    virtual bool cancelled() = 0;
};

inline bool isYes(ToolAnswer answer) {
    return answer == ToolAnswer::Yes || answer == ToolAnswer::YesToAll;
}

// One question asked for many files of a run: after a "ToAll" answer the host is not asked
// again. Answers Yes, No, Rename or Cancel.
class RememberedAnswer {
public:
    ToolAnswer ask(ToolHost& host, const ToolQuestion& question);

private:
    bool m_yesToAll = false;
    bool m_noToAll = false;
};

// The host's stop request as the readers poll it.
class HostCancel final : public image::CancelSink {
public:
    explicit HostCancel(ToolHost& host) : m_host(host) {}
    bool isCancelled() const override { return m_host.cancelled(); }

private:
    ToolHost& m_host;
};

}  // namespace kalder::tools
