#include "app/gui/tools/jpeg_transform/jpeg_transform_dialog.h"

#include <sys/stat.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <system_error>

#include "app/core/settings.h"
#include "app/gui/dialogs/dialog_buttons.h"
#include "app/gui/dialogs/progress_dialog.h"
#include "shell/qt/qt_path.h"
#include "tools/jpeg_transform/exif_orientation.h"
#include "tools/jpeg_transform/jpeg_file_job.h"

namespace kalder::gui {
namespace {

namespace fs = std::filesystem;
using tools::JpegOperation;

constexpr int kTemplate = 206;

// The buttons in dialog order and the operations they stand for; the last one takes each file's
// operation from its Exif orientation.
struct ChoiceButton {
    const char* text;
    std::optional<JpegOperation> operation;
};
const ChoiceButton kChoiceButtons[8] = {
    {QT_TRANSLATE_NOOP("kalder::gui::JpegTransformDialog", "Rotate &90 deg. counterclockwise"),
     JpegOperation::Rotate270},
    {QT_TRANSLATE_NOOP("kalder::gui::JpegTransformDialog", "Rotate 90 deg. &clockwise"),
     JpegOperation::Rotate90},
    {QT_TRANSLATE_NOOP("kalder::gui::JpegTransformDialog", "T&urn upside-down"),
     JpegOperation::Rotate180},
    {QT_TRANSLATE_NOOP("kalder::gui::JpegTransformDialog", "Flip (mirror) h&orizontally"),
     JpegOperation::FlipH},
    {QT_TRANSLATE_NOOP("kalder::gui::JpegTransformDialog", "Flip (mirror) &vertically"),
     JpegOperation::FlipV},
    {QT_TRANSLATE_NOOP("kalder::gui::JpegTransformDialog",
                       "Tra&nspose (mirror across the top-left to bottom-right diagonal)"),
     JpegOperation::Transpose},
    {QT_TRANSLATE_NOOP("kalder::gui::JpegTransformDialog",
                       "Tran&sverse (mirror across the top-right to bottom-left diagonal)"),
     JpegOperation::Transverse},
    {QT_TRANSLATE_NOOP("kalder::gui::JpegTransformDialog", "Turn as the &Exif orientation says"),
     std::nullopt},
};

QString pathText(const fs::path& p) { return shell::toQString(p); }

}  // namespace

JpegTransformDialog::JpegTransformDialog(app::Settings& settings, QWidget* parent)
    : DialogBase(kTemplate, parent), m_settings(settings) {
    setWindowTitle(tr("JPEG Transformations"));
    auto* layout = new QVBoxLayout(this);
    for (int i = 0; i < 8; ++i) {
        m_choices[i] = new QRadioButton(tr(kChoiceButtons[i].text), this);
        layout->addWidget(m_choices[i]);
    }
    m_choices[0]->setChecked(true);

    m_place = new QCheckBox(tr("&Place result to the following folder:"), this);
    m_folder = new QLineEdit(shell::toQString(settings.jpegTransformFolder), this);
    m_folder->setMinimumWidth(300);
    auto* browseButton = new QPushButton(tr("Browse..."), this);
    browseButton->setAutoDefault(false);
    connect(browseButton, &QPushButton::clicked, this, &JpegTransformDialog::browse);
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(m_folder, 1);
    folderRow->addWidget(browseButton);
    m_preserve = new QCheckBox(tr("P&reserve \"last modified\" date"), this);
    m_preserve->setChecked(true);
    m_trim = new QCheckBox(tr("Cut o&ff the edge pixels a transformation cannot keep"), this);
    layout->addWidget(m_place);
    layout->addLayout(folderRow);
    layout->addWidget(m_preserve);
    layout->addWidget(m_trim);

    auto* buttons = new QDialogButtonBox(this);
    auto* transformButton = buttons->addButton(tr("&Transform"), QDialogButtonBox::ActionRole);
    transformButton->setDefault(true);
    buttons->addButton(helpButton(), QDialogButtonBox::HelpRole);
    auto* close = buttons->addButton(tr("Close"), QDialogButtonBox::RejectRole);
    connect(transformButton, &QPushButton::clicked, this, &JpegTransformDialog::transform);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    layout->addWidget(buttons);

    selectedFiles = [] { return std::vector<fs::path>(); };
    runFinished = [](bool, bool) {};
    askYesNo = [this](const QString& q) {
        return QMessageBox::warning(this, windowTitle(), q, QMessageBox::Yes | QMessageBox::No) ==
               QMessageBox::Yes;
    };
    askReadOnly = [this](const QString& message, const QString& path) {
        return FileExistsDialog::ask(this, message, path, true);
    };
    reportError = [this](const QString& text) { showError(this, text); };
    OnInitDialog();
}

std::optional<JpegOperation> JpegTransformDialog::operation() const {
    for (int i = 0; i < 8; ++i)
        if (m_choices[i]->isChecked()) return kChoiceButtons[i].operation;
    return kChoiceButtons[0].operation;
}

void JpegTransformDialog::setOperation(std::optional<JpegOperation> operation) {
    for (int i = 0; i < 8; ++i)
        if (kChoiceButtons[i].operation == operation) m_choices[i]->setChecked(true);
}

void JpegTransformDialog::setTrim(bool on) { m_trim->setChecked(on); }

void JpegTransformDialog::setOutputFolder(const QString& folder, bool enabled) {
    m_folder->setText(folder);
    m_place->setChecked(enabled);
}

void JpegTransformDialog::setPreserveDate(bool on) { m_preserve->setChecked(on); }

void JpegTransformDialog::browse() {
    const QString folder = QFileDialog::getExistingDirectory(this, windowTitle(), m_folder->text(),
                                                             QFileDialog::ShowDirsOnly);
    if (!folder.isEmpty()) m_folder->setText(folder);
}

void JpegTransformDialog::transform() {
    m_settings.jpegTransformFolder = shell::toPath(m_folder->text()).string();
    const std::vector<fs::path> files = selectedFiles();
    if (files.empty()) return;
    m_overwriteAll = m_skipAll = m_wroteElsewhere = m_stopped = false;

    std::optional<fs::path> folder;
    if (m_place->isChecked()) {
        // Both folders canonical, so another spelling of the source folder still means in place.
        std::error_code ec;
        const fs::path source =
            files.front().parent_path().empty() ? fs::path(".") : files.front().parent_path();
        const fs::path sourceFolder = fs::canonical(source, ec);
        const fs::path output =
            ec ? fs::path() : fs::canonical(shell::toPath(m_folder->text()), ec);
        if (ec || !fs::is_directory(output)) {
            const fs::path failing =
                sourceFolder.empty() ? source : shell::toPath(m_folder->text());
            reportError(tr("Invalid folder:") + QLatin1Char(' ') + pathText(failing));
            runFinished(false, false);
            return;
        }
        if (output != sourceFolder) folder = output;
    }

    ProgressDialog progress;
    progress.Create(this);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    for (std::size_t i = 0; i < files.size(); ++i) {
        progress.SetItem(pathText(files[i]), static_cast<int>(i), static_cast<int>(files.size()));
        const Outcome outcome =
            folder ? intoFolder(files[i], *folder, progress) : inPlace(files[i], progress);
        if (outcome == Outcome::EndRun) break;
    }
    QApplication::restoreOverrideCursor();
    progress.Close();
    runFinished(m_stopped, m_wroteElsewhere);
}

JpegTransformDialog::Outcome JpegTransformDialog::transformOne(const fs::path& source,
                                                               const fs::path& target,
                                                               bool overwrite,
                                                               ProgressDialog& progress) {
    tools::JpegTransformOptions options;
    options.allowTrim = m_trim->isChecked();
    std::optional<JpegOperation> op = operation();
    if (!op) {
        // A file without a usable tag, or already upright, has nothing to turn.
        const auto tag = tools::readOrientationTag(source);
        op = tag ? tools::operationForOrientation(tag->value) : std::nullopt;
        if (!op) return Outcome::Next;
        options.resetOrientation = true;
    }
    const auto step = [&progress](std::int64_t done, std::int64_t total) {
        return !progress.Step(total, done, true);
    };
    const tools::JpegFileOptions fileOptions{m_preserve->isChecked(), overwrite};
    tools::JpegTransformResult r =
        tools::transformJpegFile(source, target, *op, options, fileOptions, step);
    if (r.needsTrim) {
        const QString question =
            tr("The JPEG file \"%1\" cannot be transformed unless %2 pixel(s) from the right edge "
               "and %3 pixel(s) from the bottom edge are cut off. Click [Yes] to cut them off "
               "and do the transformation or [No] to skip the file.")
                .arg(pathText(source))
                .arg(r.rightCut)
                .arg(r.bottomCut);
        QApplication::restoreOverrideCursor();
        const bool yes = askYesNo(question);
        QApplication::setOverrideCursor(Qt::WaitCursor);
        if (!yes) return Outcome::Next;
        options.allowTrim = true;
        r = tools::transformJpegFile(source, target, *op, options, fileOptions, step);
    }
    if (r.stopped) {
        m_stopped = true;
        return Outcome::EndRun;
    }
    if (!r.done) {
        QApplication::restoreOverrideCursor();
        QString text = tr("Failed to convert JPEG file:") + QLatin1Char(' ') + pathText(source);
        if (!r.keptCopy.empty())
            text += QLatin1Char('\n') +
                    tr("The transformed copy is kept as %1.").arg(pathText(r.keptCopy));
        reportError(text);
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else if (target != source) {
        m_wroteElsewhere = true;
    }
    return Outcome::Next;
}

JpegTransformDialog::Outcome JpegTransformDialog::inPlace(const fs::path& source,
                                                          ProgressDialog& progress) {
    if (!tools::readFileStatus(source)) {
        reportError(tr("Can't access JPEG file:") + QLatin1Char(' ') + pathText(source));
        return Outcome::Next;
    }
    fs::path target = source;
    const bool readOnly = tools::isReadOnly(source);
    if (readOnly && !m_overwriteAll) {
        if (m_skipAll) return Outcome::Next;
        QApplication::restoreOverrideCursor();
        const FileExistsDialog::Answer answer =
            askReadOnly(tr("File is read-only:"), pathText(source));
        QApplication::setOverrideCursor(Qt::WaitCursor);
        switch (answer.choice) {
            case FileExistsDialog::Cancel:
                return Outcome::EndRun;
            case FileExistsDialog::Skip:
                return Outcome::Next;
            case FileExistsDialog::SkipAll:
                m_skipAll = true;
                return Outcome::Next;
            case FileExistsDialog::OverwriteAll:
                m_overwriteAll = true;
                break;
            case FileExistsDialog::Rename:
                target = shell::toPath(answer.path);
                break;
            case FileExistsDialog::Overwrite:
                break;
        }
    }
    return transformOne(source, target, readOnly && target == source, progress);
}

JpegTransformDialog::Outcome JpegTransformDialog::intoFolder(const fs::path& source,
                                                             const fs::path& folder,
                                                             ProgressDialog& progress) {
    if (!tools::readFileStatus(source)) {
        reportError(tr("Can't access JPEG file:") + QLatin1Char(' ') + pathText(source));
        return Outcome::Next;
    }
    const fs::path target = folder / source.filename();
    std::error_code ec;
    if (fs::exists(target, ec)) {
        QApplication::restoreOverrideCursor();
        const bool yes = askYesNo(tr("The file \"%1\" already exists. Do You want to overwrite it?")
                                      .arg(pathText(target)));
        QApplication::setOverrideCursor(Qt::WaitCursor);
        if (!yes) return Outcome::Next;
    }
    // The question above covered replacing the file, read-only or not.
    return transformOne(source, target, true, progress);
}

}  // namespace kalder::gui
