#include "app/gui/tools/tool_context.h"

#include "view/image_entry.h"

namespace kalder::gui {

std::vector<const view::ImageEntry*> ToolContext::chosenEntries() const {
    if (!viewerMode()) return selectedEntries();
    std::vector<const view::ImageEntry*> entries;
    if (const view::ImageEntry* entry = currentEntry()) entries.push_back(entry);
    return entries;
}

std::vector<std::filesystem::path> ToolContext::chosenFiles() const {
    std::vector<std::filesystem::path> paths;
    for (const view::ImageEntry* entry : chosenEntries()) paths.push_back(entry->path());
    return paths;
}

}  // namespace kalder::gui
