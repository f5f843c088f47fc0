#include "app/gui/tools/batch_convertor/batch_run.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "app/core/command_ids.h"
#include "app/gui/operation_feedback.h"
#include "app/gui/tools/tool_context.h"
#include "app/gui/tools/tool_runner.h"
#include "image/format_table.h"
#include "view/folder_images.h"

namespace kalder::gui {
namespace fs = std::filesystem;

namespace {

const QString kTitle = QStringLiteral("Kalder");

bool isImageFile(const fs::directory_entry& entry) {
    std::error_code ec;
    if (!entry.is_regular_file(ec)) return false;
    return image::DetectFormat(entry.path(), image::DetectMode::ByExtension) >= 0;
}

}  // namespace

std::vector<fs::path> imageFilesIn(const fs::path& folder, bool recursive) {
    std::vector<fs::path> files;
    std::error_code ec;
    if (recursive) {
        fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied,
                                            ec);
        for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
            if (isImageFile(*it)) files.push_back(it->path());
    } else {
        fs::directory_iterator it(folder, ec);
        for (; !ec && it != fs::directory_iterator(); it.increment(ec))
            if (isImageFile(*it)) files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

tools::BatchFileList batchFileList(const ToolContext& context, tools::ApplyTo applyTo) {
    tools::BatchFileList list;
    list.root = context.currentFolder();
    if (applyTo != tools::ApplyTo::Selection) {
        if (!list.root.empty())
            list.files = imageFilesIn(list.root, applyTo == tools::ApplyTo::FolderTree);
        return list;
    }
    list.files = context.chosenFiles();
    return list;
}

BatchReportDialog::BatchReportDialog(const tools::BatchResult& result,
                                     const std::vector<std::string>& problems, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("batchReport"));
    setWindowTitle(kTitle);
    auto* counts = new QLabel(summary(result), this);
    counts->setObjectName(QStringLiteral("summary"));
    auto* list = new QListWidget(this);
    list->setObjectName(QStringLiteral("problems"));
    list->setAccessibleName(tr("Files with problems"));
    for (const std::string& p : problems) list->addItem(QString::fromStdString(p));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(counts);
    layout->addWidget(list);
    layout->addWidget(buttons);
    resize(560, 320);
}

QString BatchReportDialog::summary(const tools::BatchResult& result) {
    return tr("%1 converted (%2 with damage), %3 failed, %4 skipped")
        .arg(result.converted)
        .arg(result.damaged)
        .arg(result.failed)
        .arg(result.skipped);
}

tools::BatchResult runBatch(ToolContext& context, const tools::BatchSettings& settings,
                            QWidget* parent) {
    const tools::BatchFileList list = batchFileList(context, settings.applyTo);
    if (list.files.empty()) return {};
    tools::BatchResult result;
    std::vector<std::string> problems;
    {
        WaitCursor wait;
        // The loaders must not read a file while the run replaces it.
        context.stopLoaders();
        GuiToolHost host(parent);
        host.setErrors(GuiToolHost::Errors::Collect);
        ToolRunner runner(host);
        runner.run([&](tools::ToolHost& worker) {
            result = tools::BatchConvertor::Run(settings, list, worker);
        });
        problems = host.problems();
    }
    context.restartLoaders();
    context.refreshFolder();
    if (!problems.empty()) {
        BatchReportDialog report(result, problems, parent);
        report.exec();
    }
    return result;
}

}  // namespace kalder::gui
