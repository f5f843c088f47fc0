#pragma once

#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tools/tool_host.h"

namespace kalder::test {

// A tool host for engine tests: records what it is told and asked, answers from a script.
class RecordingToolHost : public tools::ToolHost {
public:
    std::vector<std::string> errors, warnings, notes;
    std::vector<std::string> questions;        // each question's text
    std::vector<std::filesystem::path> asked;  // the file of each file question
    std::deque<tools::ToolAnswer> answers;     // consumed in order; `otherwise` when empty
    tools::ToolAnswer otherwise = tools::ToolAnswer::Yes;
    std::filesystem::path renameTo;            // set as the new path of a Rename answer
    std::vector<tools::ToolProgress> reports;  // stage texts not kept
    std::vector<std::string> stages;
    // Polled by cancelled(); e.g. stop after so many progress reports.
    std::function<bool(const RecordingToolHost&)> stopWhen;

    void error(const std::string& text) override { errors.push_back(text); }
    void warning(const std::string& text) override { warnings.push_back(text); }
    void information(const std::string& text) override { notes.push_back(text); }
    tools::ToolAnswer ask(const tools::ToolQuestion& q) override {
        questions.push_back(q.text);
        if (!q.file.empty()) asked.push_back(q.file);
        tools::ToolAnswer a = otherwise;
        if (!answers.empty()) {
            a = answers.front();
            answers.pop_front();
        }
        if (a == tools::ToolAnswer::Rename && q.renamed != nullptr) *q.renamed = renameTo;
        return a;
    }
    void progress(const tools::ToolProgress& p) override {
        reports.push_back(p);
        reports.back().stage = {};
        stages.emplace_back(p.stage);
    }
    bool cancelled() override { return stopWhen && stopWhen(*this); }
};

}  // namespace kalder::test
