#pragma once

#include <QPointer>
#include <QWidget>

#include "app/gui/tools/tool_context.h"

namespace kalder::gui {

class MainWindow;
struct WindowParts;

// The tools' side of the main window: it registers every tool's commands and answers the
// tools' questions about the window, so no tool code sees the window itself.
class ToolLauncher final : public ToolContext {
public:
    ToolLauncher(MainWindow& window, WindowParts& parts) : m_window(window), m_p(parts) {}

    // Registers the tools' commands in the window's dispatcher.
    void registerCommands();
    // The modeless tool panel once a tool made one (the Batch Convertor's); nullptr before.
    QWidget* toolPanel() const { return m_panel; }

    QWidget* dialogParent() override;
    app::Settings& settings() override;
    app::CommandDispatcher& commands() override;
    bool runCommand(app::CommandId id) override;
    bool viewerMode() const override;
    std::filesystem::path currentFolder() const override;
    std::filesystem::path treeFolder() const override;
    std::filesystem::path currentFile() const override;
    const view::ImageEntry* currentEntry() const override;
    std::vector<const view::ImageEntry*> selectedEntries() const override;
    view::DisplayRequest displayRequest() const override;
    std::int32_t shownPage() const override;
    const image::Bitmap32* shownBitmap() const override;
    double viewerGamma() const override;
    void onImageShown(std::function<void()> callback) override;
    bool pauseThumbnails() override;
    void resumeThumbnails() override;
    void resumeShownThumbnails() override;
    void stopLoaders() override;
    void restartLoaders() override;
    void refreshFolder() override;
    void refreshRewrittenFiles() override;
    void setToolPanel(QWidget* panel) override { m_panel = panel; }
    void commandStatesChanged() override;

private:
    MainWindow& m_window;
    WindowParts& m_p;
    QPointer<QWidget> m_panel;
};

}  // namespace kalder::gui
