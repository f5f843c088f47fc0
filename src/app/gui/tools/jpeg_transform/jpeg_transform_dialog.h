#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include "app/gui/dialogs/dialog_base.h"
#include "app/gui/dialogs/file_exists_dialog.h"
#include "tools/jpeg_transform/jpeg_transform.h"

class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace kalder::app {
struct Settings;
}

namespace kalder::gui {

// "JPEG Transformations": turns or mirrors the selected JPEG files losslessly, or turns each as
// its Exif orientation says, in place or into another folder. It stays open between runs; each
// "&Transform" is one run over the selection.
class JpegTransformDialog : public DialogBase {
    Q_OBJECT
public:
    JpegTransformDialog(app::Settings& settings, QWidget* parent = nullptr);

    // The chosen turn or mirror; nothing for "as the Exif orientation says".
    std::optional<tools::JpegOperation> operation() const;
    void setOperation(std::optional<tools::JpegOperation> operation);
    void setOutputFolder(const QString& folder, bool enabled);
    void setPreserveDate(bool on);
    // Cut the edge pixels a transformation cannot keep without asking for each file.
    void setTrim(bool on);

    // The "&Transform" button: one run over selectedFiles().
    void transform();

    // What the dialog asks its owner and the user; the program's versions are set up by the
    // constructor, tests replace them.
    std::function<std::vector<std::filesystem::path>()> selectedFiles;
    // After a run: whether the user stopped it and whether any file was written elsewhere.
    std::function<void(bool stopped, bool wroteElsewhere)> runFinished;
    std::function<bool(const QString& question)> askYesNo;
    std::function<FileExistsDialog::Answer(const QString& message, const QString& path)>
        askReadOnly;
    std::function<void(const QString& text)> reportError;

private:
    enum class Outcome { Next, EndRun };
    void browse();
    // One file into `target` with the trimming question; EndRun when the user stopped.
    // `overwrite`: the user agreed to replace a read-only target.
    Outcome transformOne(const std::filesystem::path& source, const std::filesystem::path& target,
                         bool overwrite, class ProgressDialog& progress);
    Outcome inPlace(const std::filesystem::path& source, ProgressDialog& progress);
    Outcome intoFolder(const std::filesystem::path& source, const std::filesystem::path& folder,
                       ProgressDialog& progress);

    app::Settings& m_settings;
    QRadioButton* m_choices[8] = {};
    QCheckBox* m_place = nullptr;
    QLineEdit* m_folder = nullptr;
    QCheckBox* m_preserve = nullptr;
    QCheckBox* m_trim = nullptr;
    // Per run: the "all" answers of the read-only prompt and what happened.
    bool m_overwriteAll = false;
    bool m_skipAll = false;
    bool m_wroteElsewhere = false;
    bool m_stopped = false;
};

}  // namespace kalder::gui
