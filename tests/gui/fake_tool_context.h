// A tool's host without a main window: the state a test sets, and a record of what the tool
// asked the window to do.
#pragma once

#include <QWidget>
#include <memory>
#include <vector>

#include "app/core/commands.h"
#include "app/core/settings.h"
#include "app/gui/tools/tool_context.h"
#include "view/image_entry.h"
#include "view/view_state.h"

namespace kalder::test {

class FakeToolContext : public gui::ToolContext {
public:
    app::Settings options;
    app::CommandDispatcher dispatcher;
    bool viewer = false;
    std::filesystem::path folder;
    std::vector<std::unique_ptr<view::ImageEntry>> entries;  // the folder's list
    const view::ImageEntry* current = nullptr;
    int refreshes = 0;

    // Adds an entry of `folder` to the list; `selected` marks it in the browser.
    const view::ImageEntry* add(const std::string& name, bool selected) {
        entries.push_back(std::make_unique<view::ImageEntry>(folder, name));
        entries.back()->selected = selected;
        return entries.back().get();
    }

    QWidget* dialogParent() override { return &m_parent; }
    app::Settings& settings() override { return options; }
    app::CommandDispatcher& commands() override { return dispatcher; }
    bool runCommand(app::CommandId id) override { return dispatcher.dispatch(id); }
    bool viewerMode() const override { return viewer; }
    std::filesystem::path currentFolder() const override { return folder; }
    std::filesystem::path treeFolder() const override { return folder; }
    std::filesystem::path currentFile() const override {
        return current ? current->path() : std::filesystem::path();
    }
    const view::ImageEntry* currentEntry() const override { return current; }
    std::vector<const view::ImageEntry*> selectedEntries() const override {
        std::vector<const view::ImageEntry*> chosen;
        for (const auto& e : entries)
            if (e->selected) chosen.push_back(e.get());
        return chosen;
    }
    view::DisplayRequest displayRequest() const override { return {}; }
    std::int32_t shownPage() const override { return 0; }
    const image::Bitmap32* shownBitmap() const override { return nullptr; }
    double viewerGamma() const override { return 1.0; }
    void onImageShown(std::function<void()>) override {}
    bool pauseThumbnails() override { return false; }
    void resumeThumbnails() override {}
    void resumeShownThumbnails() override {}
    void stopLoaders() override {}
    void restartLoaders() override {}
    void refreshFolder() override { ++refreshes; }
    void refreshRewrittenFiles() override { ++refreshes; }
    void setToolPanel(QWidget*) override {}
    void commandStatesChanged() override {}

private:
    QWidget m_parent;
};

}  // namespace kalder::test
