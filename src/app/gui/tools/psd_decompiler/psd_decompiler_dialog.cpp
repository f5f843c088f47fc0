#include "app/gui/tools/psd_decompiler/psd_decompiler_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <memory>
#include <optional>

#include "app/core/command_ids.h"
#include "app/core/settings.h"
#include "app/gui/operation_feedback.h"
#include "app/gui/tools/tool_context.h"
#include "app/gui/tools/tool_runner.h"
#include "shell/qt/qt_path.h"

namespace kalder::gui {
namespace {

constexpr int kDialogTemplate = 285;

QString qs(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

PsdDecompilerDialog::PsdDecompilerDialog(std::vector<std::filesystem::path> files,
                                         const tools::PsdDecompileOptions& options, QWidget* parent)
    : DialogBase(kDialogTemplate, parent), m_files(std::move(files)) {
    setWindowTitle(tr("PSD Decompiler"));
    auto* layout = new QVBoxLayout(this);
    auto* format = new QGroupBox(this);
    auto* formatLayout = new QVBoxLayout(format);
    m_bmp = new QRadioButton(tr("BMP (alpha as separate file)"), format);
    m_png = new QRadioButton(tr("PNG (alpha as transparency)"), format);
    formatLayout->addWidget(m_bmp);
    formatLayout->addWidget(m_png);
    (options.format == tools::PsdLayerFormat::PngWithAlpha ? m_png : m_bmp)->setChecked(true);
    layout->addWidget(format);
    m_expand = new QCheckBox(tr("&Expand/crop layers to image size"), this);
    m_expand->setChecked(options.expandToImage);
    layout->addWidget(m_expand);

    layout->addWidget(new QLabel(tr("Output folder:"), this));
    auto* folderRow = new QHBoxLayout;
    m_folder = new QLineEdit(qs(options.outputFolder.string()), this);
    auto* browse = new QPushButton(tr("&Browse..."), this);
    connect(browse, &QPushButton::clicked, this, &PsdDecompilerDialog::browse);
    folderRow->addWidget(m_folder, 1);
    folderRow->addWidget(browse);
    layout->addLayout(folderRow);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(helpButton(), QDialogButtonBox::HelpRole);
    auto* decompile = buttons->addButton(tr("&Decompile"), QDialogButtonBox::AcceptRole);
    decompile->setDefault(true);
    buttons->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
    connect(decompile, &QPushButton::clicked, this, &PsdDecompilerDialog::Decompile);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    OnInitDialog();
}

tools::PsdDecompileOptions PsdDecompilerDialog::options() const {
    tools::PsdDecompileOptions o;
    o.format = m_png->isChecked() ? tools::PsdLayerFormat::PngWithAlpha
                                  : tools::PsdLayerFormat::BmpWithMask;
    o.expandToImage = m_expand->isChecked();
    o.outputFolder = shell::toPath(m_folder->text());
    return o;
}

void PsdDecompilerDialog::browse() {
    const QString folder =
        QFileDialog::getExistingDirectory(this, tr("Output folder"), m_folder->text());
    if (!folder.isEmpty()) m_folder->setText(folder);
}

void PsdDecompilerDialog::Decompile() {
    std::unique_ptr<tools::ToolHost> host = makeHost ? makeHost() : [this] {
        return std::unique_ptr<tools::ToolHost>(
            std::make_unique<GuiToolHost>(this, tr("PSD Decompiler")));
    }();
    bool completed = false;
    {
        WaitCursor wait;
        const tools::PsdDecompileOptions chosen = options();
        ToolRunner runner(*host);
        runner.run([&](tools::ToolHost& worker) {
            completed = tools::decompilePsdFiles(m_files, chosen, worker).completed;
        });
        host.reset();  // the progress window goes before the dialog closes
    }
    // An error or a stop leaves the dialog open with the same choices.
    if (completed) accept();
}

void registerPsdDecompiler(ToolContext& context) {
    context.commands().on(app::cmd::kPsdDecompiler, [&context](app::CommandId) {
        std::vector<std::filesystem::path> files = context.chosenFiles();
        if (files.empty()) return;
        tools::PsdDecompileOptions options = tools::loadPsdOptions(context.settings().psdOptions);
        options.outputFolder = files.front().parent_path();
        PsdDecompilerDialog dialog(std::move(files), options, context.dialogParent());
        if (dialog.exec() == QDialog::Accepted)
            tools::storePsdOptions(dialog.options(), context.settings().psdOptions);
    });
}

}  // namespace kalder::gui
