#pragma once

#include "app/gui/dialogs/dialog_base.h"

class QCheckBox;
class QTreeWidget;

namespace kalder::app {
struct Settings;
}
namespace kalder::shell {
class Associations;
}

namespace kalder::gui {

// "File Associations": one checkable row per format; OK associates the checked rows, gives the
// unchecked ones back and records the wishes in the settings (the caller saves them).
class AssociationsDialog : public DialogBase {
    Q_OBJECT
public:
    AssociationsDialog(app::Settings& settings, shell::Associations& engine,
                       QWidget* parent = nullptr);

    QTreeWidget* list() const { return m_list; }
    QCheckBox* verifyBox() const { return m_verify; }

    // What OK does, without closing; false when a file could not be written.
    bool apply();

private:
    void setAll(int mode);  // 0 none, 1 all, 2 invert

    app::Settings& m_settings;
    shell::Associations& m_engine;
    QTreeWidget* m_list = nullptr;
    QCheckBox* m_verify = nullptr;
};

// "File Associations Changed": shown at start-up when a wanted type went elsewhere.
class AssociationsChangedDialog : public DialogBase {
    Q_OBJECT
public:
    AssociationsChangedDialog(app::Settings& settings, shell::Associations& engine,
                              QWidget* parent = nullptr);

    void setAllClicked();
    void chooseClicked();
    void doNotSetClicked();

private:
    app::Settings& m_settings;
    shell::Associations& m_engine;
};

class ToolContext;
// The "&File Associations..." command and the start-up question, on the window's settings.
void registerAssociationCommands(ToolContext& context);
void askAboutChangedAssociations(ToolContext& context);

}  // namespace kalder::gui
