#include "app/gui/tools/batch_convertor/batch_run.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "app/core/command_ids.h"
#include "app/gui/dialogs/file_exists_dialog.h"
#include "app/gui/operation_feedback.h"
#include "app/gui/tools/tool_context.h"
#include "image/format_table.h"
#include "shell/qt/qt_path.h"
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

// Lets a question be answered with the normal pointer while the run shows the wait cursor.
class CursorBreak {
public:
    CursorBreak() : m_had(QApplication::overrideCursor() != nullptr) {
        if (m_had) QApplication::restoreOverrideCursor();
    }
    ~CursorBreak() {
        if (m_had) QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    CursorBreak(const CursorBreak&) = delete;
    CursorBreak& operator=(const CursorBreak&) = delete;

private:
    bool m_had;
};

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

void BatchRunHost::begin() {
    m_progress.Create(m_parent);
    m_index = -1;
    m_stop = false;
}

tools::ExistingAnswer BatchRunHost::askExisting(const std::string& message, const fs::path& path,
                                                fs::path& renamed) {
    using tools::ExistingAnswer;
    CursorBreak pointer;
    const FileExistsDialog::Answer answer = FileExistsDialog::ask(
        m_parent, QString::fromStdString(message), shell::toQString(path), true);
    switch (answer.choice) {
        case FileExistsDialog::Overwrite:
            return ExistingAnswer::Overwrite;
        case FileExistsDialog::OverwriteAll:
            return ExistingAnswer::OverwriteAll;
        case FileExistsDialog::Skip:
            return ExistingAnswer::Skip;
        case FileExistsDialog::SkipAll:
            return ExistingAnswer::SkipAll;
        case FileExistsDialog::Rename:
            renamed = shell::toPath(answer.path);
            return ExistingAnswer::Rename;
        case FileExistsDialog::Cancel:
            break;
    }
    return ExistingAnswer::Cancel;
}

void BatchRunHost::progress(std::int32_t index, std::int32_t count, const fs::path& file,
                            std::int32_t stage) {
    static const char* const kStages[] = {"Reading ...", "Resampling ...", "Converting ...",
                                          "Writing ..."};
    if (index != m_index) {
        m_index = index;
        m_progress.SetItem(shell::toQString(file), index, count);
    }
    const std::int32_t s = std::clamp(stage, 0, 3);
    m_progress.SetStage(QString::fromLatin1(kStages[s]), 4, s);
    if (m_progress.Step(1, 0, true)) m_stop = true;
}

bool BatchRunHost::stopRequested() {
    if (!m_stop && m_progress.Step(1, 0, true)) m_stop = true;
    return m_stop;
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
        BatchRunHost host(parent);
        host.begin();
        result = tools::BatchConvertor::Run(settings, list, host);
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
