#include "app/gui/tools/icon_compiler/icon_compiler_prompts.h"

#include <QColorDialog>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/gui/dialogs/progress_dialog.h"
#include "app/gui/tools/icon_compiler/icon_compiler_dialog.h"
#include "app/gui/tools/tool_context.h"
#include "app/gui/tools/tool_runner.h"
#include "view/folder_images.h"

namespace kalder::gui {
namespace {

constexpr int kSetDelayTemplate = 269;
constexpr int kDelayEditId = 1467;
constexpr int kSetHotSpotTemplate = 270;  // no help row: a plain dialog

QSpinBox* spin(QWidget* parent, int max, int value) {
    auto* box = new QSpinBox(parent);
    box->setRange(0, max);
    box->setValue(value);
    return box;
}

void addOkCancel(QDialog* dialog, QVBoxLayout* layout) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    layout->addWidget(buttons);
}

}  // namespace

SetDelayDialog::SetDelayDialog(std::uint32_t delay, QWidget* parent)
    : DialogBase(kSetDelayTemplate, parent) {
    setWindowTitle(tr("Set Delay"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    m_delay = spin(this, 999999, static_cast<int>(std::min<std::uint32_t>(delay, 999999)));
    setControlId(m_delay, kDelayEditId);
    form->addRow(tr("Delay value:"), m_delay);
    layout->addLayout(form);
    addOkCancel(this, layout);
    OnInitDialog();
}

std::uint32_t SetDelayDialog::delay() const { return static_cast<std::uint32_t>(m_delay->value()); }

SetHotSpotDialog::SetHotSpotDialog(std::int32_t x, std::int32_t y, QWidget* parent)
    : DialogBase(kSetHotSpotTemplate, parent) {
    setWindowTitle(tr("Set Hot Spot"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    // The writers keep the spot inside the image; the largest page is 256 pixels wide.
    m_x = spin(this, 255, x);
    m_y = spin(this, 255, y);
    form->addRow(tr("X:"), m_x);
    form->addRow(tr("Y:"), m_y);
    layout->addLayout(form);
    addOkCancel(this, layout);
    OnInitDialog();
}

std::int32_t SetHotSpotDialog::x() const { return m_x->value(); }
std::int32_t SetHotSpotDialog::y() const { return m_y->value(); }

bool IconCompilerPrompts::chooseColour(image::ColorRef& colour) {
    const QColor start(image::redOf(colour), image::greenOf(colour), image::blueOf(colour));
    const QColor chosen = QColorDialog::getColor(start, m_parent);
    if (!chosen.isValid()) return false;
    colour = image::makeColorRef(static_cast<std::uint8_t>(chosen.red()),
                                 static_cast<std::uint8_t>(chosen.green()),
                                 static_cast<std::uint8_t>(chosen.blue()));
    return true;
}

bool IconCompilerPrompts::askHotSpot(std::int32_t& x, std::int32_t& y) {
    SetHotSpotDialog dialog(x, y, m_parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    x = dialog.x();
    y = dialog.y();
    return true;
}

bool IconCompilerPrompts::askDelay(std::uint32_t& delay) {
    SetDelayDialog dialog(delay, m_parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    delay = dialog.delay();
    return true;
}

void runIconCompiler(ToolContext& context) {
    const std::vector<std::filesystem::path> files = context.chosenFiles();
    if (files.empty()) return;
    QWidget* window = context.dialogParent();
    // The tool's own loading and its dialog get the machine; thumbnails wait.
    context.pauseThumbnails();
    struct Resume {
        ToolContext& context;
        ~Resume() { context.resumeThumbnails(); }
    } resume{context};

    // The button flows are short and wait for the user: the engine stays on this thread.
    GuiToolHost host(window);
    IconCompilerPrompts prompts(window);
    tools::IconCompiler compiler(host, prompts);
    const auto parentAll = [&](QWidget* parent) {
        host.setParent(parent);
        prompts.setParent(parent);
    };
    bool opened = false;
    {
        ProgressDialog progress;
        progress.Create(window);
        progress.SetStage(QCoreApplication::translate("kalder::gui::IconCompilerDialog",
                                                      "Loading image files ..."),
                          1, 0);
        progress.Step(1, 0, false);
        if (progress.window()) parentAll(progress.window());
        // One picture too large for an icon page gives the sides desktops look for.
        opened = files.size() == 1 && tools::IconCompiler::isLargeSquare(files.front())
                     ? compiler.openResized(files.front(),
                                            {std::begin(tools::kStandardIconSizes),
                                             std::end(tools::kStandardIconSizes)},
                                            true)
                     : compiler.open(files);
        progress.Close();
        parentAll(window);
    }
    if (!opened) return;
    IconCompilerDialog dialog(compiler, window);
    parentAll(&dialog);
    dialog.exec();
}

}  // namespace kalder::gui
