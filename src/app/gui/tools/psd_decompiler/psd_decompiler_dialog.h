#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/gui/dialogs/dialog_base.h"
#include "tools/psd_decompiler/psd_decompiler.h"

class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace kalder::gui {

class ToolContext;

// "PSD Decompiler": the format, the expand option and the output folder; "&Decompile" writes
// the layers of the selected files and closes the dialog once every file is done.
class PsdDecompilerDialog : public DialogBase {
    Q_OBJECT
public:
    PsdDecompilerDialog(std::vector<std::filesystem::path> files,
                        const tools::PsdDecompileOptions& options, QWidget* parent = nullptr);

    tools::PsdDecompileOptions options() const;
    // The "&Decompile" button.
    void Decompile();

    // Replaces the engine's user interface (message boxes, progress window, file-exists
    // question), for tests.
    std::function<std::unique_ptr<tools::ToolHost>()> makeHost;

private:
    void browse();

    std::vector<std::filesystem::path> m_files;
    QRadioButton* m_bmp = nullptr;
    QRadioButton* m_png = nullptr;
    QCheckBox* m_expand = nullptr;
    QLineEdit* m_folder = nullptr;
};

// Command 707 on the browser's selection.
void registerPsdDecompiler(ToolContext& context);

}  // namespace kalder::gui
