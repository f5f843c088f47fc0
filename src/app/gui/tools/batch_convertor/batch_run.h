#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "app/gui/dialogs/progress_dialog.h"
#include "tools/convert/batch_convertor.h"

class QWidget;

namespace kalder::gui {

class ToolContext;

// The files a run converts, by the "Apply to:" choice. Image files are known by their
// extension, as the browser knows them; the root is the current folder.
tools::BatchFileList batchFileList(const ToolContext& context, tools::ApplyTo applyTo);
// The image files under `folder`, sorted by path; with `recursive` also those of every
// sub-folder (symbolic links to folders are not followed, so a loop cannot trap the walk).
std::vector<std::filesystem::path> imageFilesIn(const std::filesystem::path& folder,
                                                bool recursive);

// The run's window side: the file-exists question, the progress window with ESC to stop, and
// the errors gathered for the report at the end (a message box per file would hold the run up
// until someone clicks it away).
class BatchRunHost : public tools::BatchHost {
public:
    explicit BatchRunHost(QWidget* parent) : m_parent(parent) {}
    // Shows the progress window; the destructor closes it.
    void begin();

    void error(const std::string& message) override { m_problems.push_back(message); }
    // Every error and damaged file of the run, in the order they were reported.
    const std::vector<std::string>& problems() const { return m_problems; }
    tools::ExistingAnswer askExisting(const std::string& message, const std::filesystem::path& path,
                                      std::filesystem::path& renamed) override;
    void progress(std::int32_t index, std::int32_t count, const std::filesystem::path& file,
                  std::int32_t stage) override;
    bool stopRequested() override;

    ProgressDialog& progressDialog() { return m_progress; }

private:
    QWidget* m_parent;
    ProgressDialog m_progress;
    std::vector<std::string> m_problems;
    std::int32_t m_index = -1;
    bool m_stop = false;
};

// The end of a run that had problems: the counts, and one line per file that failed or was
// converted with damage.
class BatchReportDialog : public QDialog {
    Q_OBJECT
public:
    BatchReportDialog(const tools::BatchResult& result, const std::vector<std::string>& problems,
                      QWidget* parent = nullptr);
    // "19 converted (1 with damage), 2 failed, 0 skipped".
    static QString summary(const tools::BatchResult& result);
};

// Converts the files "Apply to:" names with `settings`: the loaders are held meanwhile, under a
// wait cursor, and the browser lists the folder again afterwards; problems are reported at the
// end in one BatchReportDialog. Nothing happens for an empty list.
tools::BatchResult runBatch(ToolContext& context, const tools::BatchSettings& settings,
                            QWidget* parent);

}  // namespace kalder::gui
