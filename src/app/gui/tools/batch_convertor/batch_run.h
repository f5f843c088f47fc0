#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

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

// Converts the files "Apply to:" names with `settings` off the user-interface thread: the
// loaders are held meanwhile, under a wait cursor, and the browser lists the folder again
// afterwards; problems are reported at the end in one BatchReportDialog. Nothing happens for an
// empty list.
tools::BatchResult runBatch(ToolContext& context, const tools::BatchSettings& settings,
                            QWidget* parent);

}  // namespace kalder::gui
