#pragma once

#include <QDialog>
#include <memory>

#include "app/core/toolbar_table.h"

class QListWidget;
class QPushButton;

namespace kalder::app {
struct Settings;
}

namespace kalder::gui {

// "Customize Toolbar": the available buttons on the left, the toolbar's entries on the right.
// The edits go to a working copy; OK writes it to the settings, Cancel drops it.
class CustomizeToolbarDialog : public QDialog {
    Q_OBJECT
public:
    CustomizeToolbarDialog(app::Settings& settings, QWidget* parent = nullptr);
    ~CustomizeToolbarDialog() override;

    const app::ToolbarCustomizer& customizer() const { return *m_model; }
    QListWidget* availableList() const { return m_available; }
    QListWidget* toolbarList() const { return m_toolbar; }
    QPushButton* button(const QString& text) const;

    void accept() override;

private:
    void refill();
    void addSelected();

    app::Settings& m_settings;
    std::unique_ptr<app::ToolbarCustomizer> m_model;
    QListWidget* m_available = nullptr;
    QListWidget* m_toolbar = nullptr;
};

}  // namespace kalder::gui
