#include "tools/tool_host.h"

namespace kalder::tools {

ToolAnswer RememberedAnswer::ask(ToolHost& host, const ToolQuestion& question) {
    if (m_yesToAll) return ToolAnswer::Yes;
    if (m_noToAll) return ToolAnswer::No;
    const ToolAnswer answer = host.ask(question);
    // An answer the question did not offer is taken as no answer at all.
    if (!question.allowed.has(answer)) return ToolAnswer::Cancel;
    switch (answer) {
        case ToolAnswer::YesToAll:
            m_yesToAll = true;
            return ToolAnswer::Yes;
        case ToolAnswer::NoToAll:
            m_noToAll = true;
            return ToolAnswer::No;
        case ToolAnswer::Rename:
            return question.renamed != nullptr ? answer : ToolAnswer::Cancel;
        default:
            return answer;
    }
}

}  // namespace kalder::tools
