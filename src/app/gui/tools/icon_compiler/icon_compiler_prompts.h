#pragma once

#include <QWidget>

#include "app/gui/dialogs/dialog_base.h"
#include "tools/icon_compiler/icon_compiler.h"

class QSpinBox;

namespace kalder::gui {

class ToolContext;

// "Set Delay": one number, hundredths of a second.
class SetDelayDialog : public DialogBase {
    Q_OBJECT
public:
    SetDelayDialog(std::uint32_t delay, QWidget* parent);
    std::uint32_t delay() const;

private:
    QSpinBox* m_delay = nullptr;
};

// "Set Hot Spot": the pixel of the cursor that points.
class SetHotSpotDialog : public DialogBase {
    Q_OBJECT
public:
    SetHotSpotDialog(std::int32_t x, std::int32_t y, QWidget* parent);
    std::int32_t x() const;
    std::int32_t y() const;

private:
    QSpinBox* m_x = nullptr;
    QSpinBox* m_y = nullptr;
};

// The compiler's own questions as small dialogs over `parent`; its messages and yes/no
// questions go through a GuiToolHost.
class IconCompilerPrompts final : public tools::IconQuestions {
public:
    explicit IconCompilerPrompts(QWidget* parent) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }
    bool chooseColour(image::ColorRef& colour) override;
    bool askHotSpot(std::int32_t& x, std::int32_t& y) override;
    bool askDelay(std::uint32_t& delay) override;

private:
    QWidget* m_parent;
};

// Command 706: the browser's selection (or the file on screen) into the compiler and its dialog,
// with the folder's thumbnail loading held until the dialog closes.
void runIconCompiler(ToolContext& context);

}  // namespace kalder::gui
