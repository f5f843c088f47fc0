#include "app/gui/tools/batch_convertor/batch_convertor_dialog.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <array>

#include "app/core/batch_settings_binding.h"
#include "app/core/dialog_help_table.h"
#include "app/core/settings.h"
#include "app/gui/dialogs/dialog_buttons.h"
#include "app/gui/dialogs/gif_options_dialog.h"
#include "app/gui/dialogs/jpeg_options_dialog.h"
#include "app/gui/dialogs/png_options_dialog.h"
#include "app/gui/dialogs/rle_options_dialog.h"
#include "app/gui/dialogs/tiff_options_dialog.h"
#include "app/gui/dialogs/transparency_options_dialog.h"
#include "app/gui/tools/batch_convertor/batch_effects_page.h"
#include "app/gui/tools/batch_convertor/batch_overlay_page.h"
#include "app/gui/tools/batch_convertor/batch_run.h"
#include "app/gui/tools/tool_context.h"
#include "shell/qt/qt_path.h"

namespace kalder::gui {

namespace {

constexpr int kDialogTemplate = 233;
constexpr int kGeneralTemplate = 234;
constexpr int kFormatTemplate = 235;
constexpr int kRotateTemplate = 252;
constexpr int kResampleTemplate = 250;
constexpr int kOverlayTemplate = 253;
constexpr char kTemplateProperty[] = "kalderTemplate";
// The size fields' and depth list's entry for "as the source has it".
QString originalText() {
    return QCoreApplication::translate("kalder::gui::BatchConvertorDialog", "[original]");
}
constexpr int kPrefixControl = 1527;
constexpr int kSuffixControl = 1540;

using tools::BatchFormat;

// The colour depths offered per output format: those its writer can hold (JPEG keeps its own).
std::vector<int> depthsFor(BatchFormat format) {
    if (format == BatchFormat::Jpeg) return {};
    const auto depths = tools::batchFormatDepths(format);
    return {depths.begin(), depths.end()};
}

QString depthText(int bits) {
    if (bits == 1) return QStringLiteral("1 bit (2 colors)");
    if (bits <= 8) return QStringLiteral("%1 bits (%2 colors)").arg(bits).arg(1 << bits);
    if (bits == 24) return QStringLiteral("24 bits (True Color)");
    return QStringLiteral("32 bits (True Color + Alpha)");
}

QComboBox* comboBox(const char* name, const QStringList& items, QWidget* parent) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    box->addItems(items);
    return box;
}

QCheckBox* checkBox(const QString& text, const char* name, QWidget* parent) {
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(QLatin1String(name));
    return box;
}

// An editable size field whose first entry is "[original]".
QComboBox* sizeField(const char* name, QWidget* parent) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setEditable(true);
    box->addItem(originalText());
    box->setInsertPolicy(QComboBox::NoInsert);
    return box;
}

// The small "d" button beside a field: back to the default.
QPushButton* defaultButton(QWidget* parent) {
    auto* button = new QPushButton(
        QCoreApplication::translate("kalder::gui::BatchConvertorDialog", "d"), parent);
    button->setFixedWidth(button->fontMetrics().horizontalAdvance(button->text()) + 16);
    return button;
}

// A size text as a value: "[original]" and empty are "not given" (0).
double sizeValue(const QString& text) {
    if (text.isEmpty() || text == originalText()) return 0;
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok && value > 0 ? value : 0;
}

void tagPage(QWidget* page, int templateNumber) {
    page->setProperty(kTemplateProperty, templateNumber);
}

}  // namespace

BatchConvertorDialog::BatchConvertorDialog(ToolContext& context)
    : DialogBase(kDialogTemplate, context.dialogParent()),
      m_context(context),
      m_settings(context.settings()) {
    setObjectName(QStringLiteral("batchConvertor"));
    setWindowTitle(tr("Batch Convertor"));
    setModal(false);
    startRun = [this](const tools::BatchSettings& settings) {
        runBatch(m_context, settings, this);
    };

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("pages"));
    m_tabs->addTab(buildGeneralPage(), tr("General"));
    m_tabs->addTab(buildFormatPage(), tr("Format"));
    m_tabs->addTab(buildResamplePage(), tr("Resample"));
    m_tabs->addTab(buildRotatePage(), tr("Rotate/Flip"));
    m_effects = new BatchEffectsPage(context, m_tabs);
    tagPage(m_effects, 0);
    m_tabs->addTab(m_effects, tr("Effects"));
    m_overlay = new BatchOverlayPage(m_tabs);
    tagPage(m_overlay, kOverlayTemplate);
    m_tabs->addTab(m_overlay, tr("Overlay"));

    auto* buttons = new QDialogButtonBox(this);
    buttons->setObjectName(QStringLiteral("buttons"));
    auto* convertButton = buttons->addButton(tr("&Convert"), QDialogButtonBox::AcceptRole);
    convertButton->setObjectName(QStringLiteral("convert"));
    convertButton->setDefault(true);
    auto* close = buttons->addButton(QDialogButtonBox::Close);
    buttons->addButton(helpButton(), QDialogButtonBox::HelpRole);
    connect(convertButton, &QPushButton::clicked, this, &BatchConvertorDialog::convert);
    connect(close, &QPushButton::clicked, this, &QDialog::hide);

    auto* right = new QVBoxLayout;
    right->addWidget(m_tabs);
    right->addWidget(buttons);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(bannerLabel());
    layout->addLayout(right, 1);

    loadFromSettings();
    OnInitDialog();
    for (int i = 0; i < m_tabs->count(); ++i) {
        QWidget* page = m_tabs->widget(i);
        applyTooltips(page, page->property(kTemplateProperty).toInt());
    }
}

BatchConvertorDialog::~BatchConvertorDialog() = default;

QWidget* BatchConvertorDialog::buildGeneralPage() {
    auto* page = new QWidget(m_tabs);
    page->setObjectName(QStringLiteral("generalPage"));
    tagPage(page, kGeneralTemplate);
    m_placeInFolder = checkBox(tr("&Place result to the following folder"), "placeInFolder", page);
    m_outputFolder = new QLineEdit(page);
    m_outputFolder->setObjectName(QStringLiteral("outputFolder"));
    m_browseFolder = new QPushButton(tr("Browse..."), page);
    m_browseFolder->setObjectName(QStringLiteral("browseFolder"));
    m_copySubfolders = checkBox(tr("Copy sub-folder structure"), "copySubfolders", page);
    m_prefix = new QLineEdit(page);
    m_prefix->setObjectName(QStringLiteral("namePrefix"));
    setControlId(m_prefix, kPrefixControl);
    m_suffix = new QLineEdit(page);
    m_suffix->setObjectName(QStringLiteral("nameSuffix"));
    setControlId(m_suffix, kSuffixControl);
    m_preserveDate = checkBox(tr("P&reserve \"last modified\" date"), "preserveDate", page);
    // In the order of tools::ApplyTo.
    m_applyTo = comboBox(
        "applyTo",
        {tr("selected only"), tr("all in the current folder"), tr("all including all sub-folders")},
        page);
    m_setComments = checkBox(tr("File comments"), "setComments", page);
    m_comments = new QLineEdit(page);
    m_comments->setObjectName(QStringLiteral("comments"));
    m_keepOriginal = checkBox(tr("&Keep original"), "keepOriginal", page);
    m_keepOriginal->setChecked(true);

    connect(m_placeInFolder, &QCheckBox::toggled, this,
            &BatchConvertorDialog::updateGeneralEnabled);
    connect(m_setComments, &QCheckBox::toggled, this, &BatchConvertorDialog::updateGeneralEnabled);
    connect(m_browseFolder, &QPushButton::clicked, this, &BatchConvertorDialog::chooseOutputFolder);

    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(m_outputFolder, 1);
    folderRow->addWidget(m_browseFolder);
    auto* names = new QFormLayout;
    names->addRow(tr("Name prefix:"), m_prefix);
    names->addRow(tr("Name suffix:"), m_suffix);
    names->addRow(tr("Apply to:"), m_applyTo);
    auto* comments = new QGroupBox(page);
    auto* commentsLayout = new QVBoxLayout(comments);
    commentsLayout->addWidget(m_setComments);
    commentsLayout->addWidget(m_comments);
    commentsLayout->addWidget(m_keepOriginal);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(m_placeInFolder);
    layout->addLayout(folderRow);
    layout->addWidget(m_copySubfolders);
    layout->addLayout(names);
    layout->addWidget(m_preserveDate);
    layout->addWidget(comments);
    layout->addStretch();
    updateGeneralEnabled();
    return page;
}

QWidget* BatchConvertorDialog::buildFormatPage() {
    auto* page = new QWidget(m_tabs);
    page->setObjectName(QStringLiteral("formatPage"));
    tagPage(page, kFormatTemplate);
    m_format =
        comboBox("format",
                 {tr("Windows Bitmap"), tr("CompuServe GIF"), tr("JPEG"), tr("PNG"), tr("TIFF"),
                  tr("TGA (Truevision Targa Image)"), tr("PCX (ZSoft Paintbrush Image)")},
                 page);
    m_format->setCurrentIndex(static_cast<int>(BatchFormat::Png));
    m_formatOptionsButton = new QPushButton(tr("&Format Options..."), page);
    m_formatOptionsButton->setObjectName(QStringLiteral("formatOptions"));
    m_transparencyButton = new QPushButton(tr("&Transparency Options..."), page);
    m_transparencyButton->setObjectName(QStringLiteral("transparencyOptions"));
    m_palette = comboBox("palette",
                         {tr("Original/Optimized"), tr("Web-safe"), tr("Back-and-white"),
                          tr("Standard VGA"), tr("Windows System")},
                         page);
    m_depth = comboBox("colorDepth", {}, page);
    m_dithering = comboBox(
        "dithering", {tr("None"), tr("Ordered"), tr("Floyd-Steinberg"), tr("Jarvis"), tr("Stucki")},
        page);

    connect(m_format, &QComboBox::currentIndexChanged, this, [this] {
        fillDepths();
        updateFormatEnabled();
    });
    connect(m_palette, &QComboBox::currentIndexChanged, this,
            &BatchConvertorDialog::updateFormatEnabled);
    connect(m_formatOptionsButton, &QPushButton::clicked, this,
            &BatchConvertorDialog::editFormatOptions);
    connect(m_transparencyButton, &QPushButton::clicked, this,
            &BatchConvertorDialog::editTransparency);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_formatOptionsButton);
    buttons->addWidget(m_transparencyButton);
    buttons->addStretch();
    auto* colours = new QFormLayout;
    colours->addRow(tr("Palette:"), m_palette);
    colours->addRow(tr("Color depth:"), m_depth);
    colours->addRow(tr("Dithering:"), m_dithering);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(m_format);
    layout->addLayout(buttons);
    layout->addLayout(colours);
    layout->addStretch();
    fillDepths();
    updateFormatEnabled();
    return page;
}

QWidget* BatchConvertorDialog::buildResamplePage() {
    auto* page = new QWidget(m_tabs);
    page->setObjectName(QStringLiteral("resamplePage"));
    tagPage(page, kResampleTemplate);
    m_width = sizeField("width", page);
    m_height = sizeField("height", page);
    m_unit = comboBox("unit",
                      {tr("Pixels"), tr("Inches"), tr("Millimeters"), tr("Centimeters"),
                       tr("Meters"), tr("Feet"), tr("Yards"), tr("Points"), tr("Picas")},
                      page);
    m_percents = new QRadioButton(tr("&Percents"), page);
    m_percents->setObjectName(QStringLiteral("percents"));
    m_units = new QRadioButton(tr("&Units"), page);
    m_units->setObjectName(QStringLiteral("units"));
    m_units->setChecked(true);
    m_keepAspect = checkBox(tr("&Maintain aspect ratio/maximize"), "keepAspect", page);
    m_swapForVertical =
        checkBox(tr("&Swap width/height for vertical images"), "swapForVertical", page);
    m_method = comboBox(
        "method", {tr("Lanczos"), tr("Bicubic"), tr("Bilinear"), tr("Cosine"), tr("Box")}, page);
    m_dpiX = new QLineEdit(page);
    m_dpiX->setObjectName(QStringLiteral("dpiX"));
    m_dpiY = new QLineEdit(page);
    m_dpiY->setObjectName(QStringLiteral("dpiY"));
    connect(m_units, &QRadioButton::toggled, m_unit, &QComboBox::setEnabled);

    auto* size = new QGridLayout;
    auto addSizeRow = [&](int row, const QString& label, QComboBox* field) {
        size->addWidget(new QLabel(label, page), row, 0);
        size->addWidget(field, row, 1);
        QPushButton* reset = defaultButton(page);
        connect(reset, &QPushButton::clicked, field,
                [field] { field->setCurrentText(originalText()); });
        size->addWidget(reset, row, 2);
    };
    addSizeRow(0, tr("Width:"), m_width);
    addSizeRow(1, tr("Height:"), m_height);
    auto* units = new QHBoxLayout;
    units->addWidget(m_percents);
    units->addWidget(m_units);
    units->addWidget(m_unit);
    units->addStretch();
    auto* method = new QFormLayout;
    method->addRow(tr("Method:"), m_method);

    auto* resolution = new QGroupBox(tr("Resolution"), page);
    auto* dpi = new QGridLayout(resolution);
    auto addDpiRow = [&](int row, const QString& label, QLineEdit* field) {
        dpi->addWidget(new QLabel(label, resolution), row, 0);
        dpi->addWidget(field, row, 1);
        dpi->addWidget(new QLabel(tr("dpi"), resolution), row, 2);
        QPushButton* reset = defaultButton(resolution);
        connect(reset, &QPushButton::clicked, field, &QLineEdit::clear);
        dpi->addWidget(reset, row, 3);
    };
    addDpiRow(0, tr("Horizontal:"), m_dpiX);
    addDpiRow(1, tr("Vertical:"), m_dpiY);

    auto* layout = new QVBoxLayout(page);
    layout->addLayout(size);
    layout->addLayout(units);
    layout->addWidget(m_keepAspect);
    layout->addWidget(m_swapForVertical);
    layout->addLayout(method);
    layout->addWidget(resolution);
    layout->addStretch();
    m_unit->setEnabled(m_units->isChecked());
    return page;
}

QWidget* BatchConvertorDialog::buildRotatePage() {
    auto* page = new QWidget(m_tabs);
    page->setObjectName(QStringLiteral("rotatePage"));
    tagPage(page, kRotateTemplate);
    m_rotation = new QButtonGroup(page);
    auto* layout = new QVBoxLayout(page);
    // Checked as the viewer's automatic orientation is: the results then look as shown.
    m_autoOrient = checkBox(tr("Turn upright by the Exif orientation &first"), "autoOrient", page);
    layout->addWidget(m_autoOrient);
    layout->addSpacing(8);
    const std::array<QString, 4> turns = {tr("&Do not rotate"), tr("90 &degrees clockwise"),
                                          tr("&180 degrees"), tr("&90 degrees counterclockwise")};
    for (int i = 0; i < 4; ++i) {
        auto* button = new QRadioButton(turns[static_cast<std::size_t>(i)], page);
        button->setObjectName(QStringLiteral("rotation%1").arg(i));
        m_rotation->addButton(button, i);
        layout->addWidget(button);
    }
    m_rotation->button(0)->setChecked(true);
    m_mirrorH = checkBox(tr("Flip (mirror) h&orizontally"), "mirrorH", page);
    m_mirrorV = checkBox(tr("Flip (mirror) &vertically"), "mirrorV", page);
    layout->addSpacing(8);
    layout->addWidget(m_mirrorH);
    layout->addWidget(m_mirrorV);
    layout->addStretch();
    return page;
}

void BatchConvertorDialog::updateGeneralEnabled() {
    const bool folder = m_placeInFolder->isChecked();
    m_outputFolder->setEnabled(folder);
    m_browseFolder->setEnabled(folder);
    m_copySubfolders->setEnabled(folder);
    m_comments->setEnabled(m_setComments->isChecked());
}

tools::BatchFormat BatchConvertorDialog::currentFormat() const {
    return static_cast<BatchFormat>(std::max(0, m_format->currentIndex()));
}

void BatchConvertorDialog::fillDepths() {
    const int previous = m_depth->currentData().toInt();
    m_depth->clear();
    m_depth->addItem(originalText(), 0);
    for (int bits : depthsFor(currentFormat())) m_depth->addItem(depthText(bits), bits);
    const int again = m_depth->findData(previous);
    m_depth->setCurrentIndex(again >= 0 ? again : 0);
}

bool BatchConvertorDialog::depthChoosable() const {
    // The other palettes fix their own depth; JPEG has none to choose.
    return m_palette->currentIndex() == 0 && currentFormat() != BatchFormat::Jpeg;
}

void BatchConvertorDialog::updateFormatEnabled() {
    const BatchFormat format = currentFormat();
    m_depth->setEnabled(depthChoosable());
    m_formatOptionsButton->setEnabled(format != BatchFormat::Pcx);
    m_transparencyButton->setEnabled(format == BatchFormat::Gif || format == BatchFormat::Png);
}

void BatchConvertorDialog::editFormatOptions() {
    tools::WriterOptionsSet& o = m_formatOptions;
    switch (currentFormat()) {
        case BatchFormat::Bmp: {
            RleOptionsDialog d(tr("BMP Options"), o.bmp.rle, this);
            if (d.exec() == QDialog::Accepted) o.bmp.rle = d.rle();
            break;
        }
        case BatchFormat::Gif: {
            GifOptionsDialog d(o.gif, this);
            if (d.exec() == QDialog::Accepted) o.gif = d.options();
            break;
        }
        case BatchFormat::Jpeg: {
            JpegOptionsDialog d(o.jpeg, this);
            if (d.exec() == QDialog::Accepted) o.jpeg = d.options();
            break;
        }
        case BatchFormat::Png: {
            PngOptionsDialog d(o.png, this);
            if (d.exec() == QDialog::Accepted) o.png = d.options();
            break;
        }
        case BatchFormat::Tiff: {
            // The compressions offered depend on the depth written; "[original]" offers the
            // full-colour list.
            const int bits = m_depth->currentData().toInt();
            TiffOptionsDialog d(o.tiff, bits > 0 ? bits : 24, this);
            if (d.exec() == QDialog::Accepted) o.tiff = d.options();
            break;
        }
        case BatchFormat::Tga: {
            RleOptionsDialog d(tr("TGA Options"), o.tga.rle, this);
            if (d.exec() == QDialog::Accepted) o.tga.rle = d.rle();
            break;
        }
        default:
            break;
    }
}

void BatchConvertorDialog::editTransparency() {
    const BatchFormat format = currentFormat();
    if (format != BatchFormat::Gif && format != BatchFormat::Png) return;
    image::TransparencyOptions& t = format == BatchFormat::Gif ? m_formatOptions.gif.transparency
                                                               : m_formatOptions.png.transparency;
    TransparencyOptionsDialog d(t, this);
    if (d.exec() == QDialog::Accepted) t = d.options();
}

void BatchConvertorDialog::chooseOutputFolder() {
    const QString chosen = QFileDialog::getExistingDirectory(
        this, tr("Choose the output folder"), m_outputFolder->text(), QFileDialog::ShowDirsOnly);
    if (!chosen.isEmpty()) m_outputFolder->setText(chosen);
}

std::optional<tools::BatchSettings> BatchConvertorDialog::collectSettings() {
    auto fail = [this](QWidget* page, const std::string& message) {
        m_tabs->setCurrentWidget(page);
        showError(this, QString::fromStdString(message));
        return std::nullopt;
    };
    const QString widthText = m_width->currentText().trimmed();
    const QString heightText = m_height->currentText().trimmed();
    QWidget* resamplePage = m_width->parentWidget();
    std::string message = tools::BatchConvertor::checkResampleTexts(
        widthText.toStdString(), heightText.toStdString(), m_unit->currentIndex(),
        m_percents->isChecked(), m_keepAspect->isChecked());
    if (!message.empty()) return fail(resamplePage, message);
    const QString dpiXText = m_dpiX->text().trimmed();
    const QString dpiYText = m_dpiY->text().trimmed();
    message =
        tools::BatchConvertor::checkResolutionTexts(dpiXText.toStdString(), dpiYText.toStdString());
    if (!message.empty()) return fail(resamplePage, message);
    if (m_placeInFolder->isChecked() && m_outputFolder->text().trimmed().isEmpty()) {
        // An empty folder would put the results at the root of the file system.
        return fail(m_placeInFolder->parentWidget(),
                    tr("Please specify the output folder.").toStdString());
    }
    const int palette = m_palette->currentIndex();
    if (m_dithering->currentIndex() == 1 && (palette == 0 || palette == 4)) {
        m_tabs->setCurrentWidget(m_palette->parentWidget());
        QMessageBox::information(this, QStringLiteral("Kalder"),
                                 tr("The ordered dithering cannot be used with this palette."));
        m_dithering->setCurrentIndex(0);
        return std::nullopt;
    }

    tools::BatchSettings s = pageSettings();
    s.effects.setViewerGamma(m_context.viewerGamma());
    return s;
}

tools::BatchSettings BatchConvertorDialog::pageSettings() const {
    tools::BatchSettings s;
    s.placeInFolder = m_placeInFolder->isChecked();
    s.outputFolder = shell::toPath(m_outputFolder->text().trimmed());
    s.copySubfolders = m_copySubfolders->isChecked();
    s.namePrefix = m_prefix->text().trimmed().toStdString();
    s.nameSuffix = m_suffix->text().trimmed().toStdString();
    s.preserveDate = m_preserveDate->isChecked();
    s.applyTo = static_cast<tools::ApplyTo>(m_applyTo->currentIndex());
    s.setComments = m_setComments->isChecked();
    s.comments = m_comments->text().toStdString();
    s.keepOriginal = m_keepOriginal->isChecked();

    s.format = currentFormat();
    s.palette = m_palette->currentIndex();
    s.colorDepth = depthChoosable() ? m_depth->currentData().toInt() : 0;
    s.dithering = m_dithering->currentIndex();
    s.formatOptions = m_formatOptions;

    s.width = sizeValue(m_width->currentText().trimmed());
    s.height = sizeValue(m_height->currentText().trimmed());
    s.unit = m_unit->currentIndex();
    s.percents = m_percents->isChecked();
    s.keepAspect = m_keepAspect->isChecked();
    s.swapForVertical = m_swapForVertical->isChecked();
    s.method = m_method->currentIndex();
    const QString dpiX = m_dpiX->text().trimmed();
    const QString dpiY = m_dpiY->text().trimmed();
    s.originalResolution = dpiX.isEmpty() && dpiY.isEmpty();
    if (!s.originalResolution) {
        s.dpiX = dpiX.toInt();
        s.dpiY = dpiY.toInt();
    }
    s.defaultDpiX = m_settings.defaultResolutionX;
    s.defaultDpiY = m_settings.defaultResolutionY;

    s.autoOrient = m_autoOrient->isChecked();
    s.rotation = std::max(0, m_rotation->checkedId());
    s.mirrorH = m_mirrorH->isChecked();
    s.mirrorV = m_mirrorV->isChecked();

    s.effects = m_effects->effects();
    s.overlay = m_overlay->overlaySettings();
    return s;
}

void BatchConvertorDialog::showSettings(const tools::BatchSettings& s) {
    m_placeInFolder->setChecked(s.placeInFolder);
    m_outputFolder->setText(shell::toQString(s.outputFolder));
    m_copySubfolders->setChecked(s.copySubfolders);
    m_prefix->setText(QString::fromStdString(s.namePrefix));
    m_suffix->setText(QString::fromStdString(s.nameSuffix));
    m_preserveDate->setChecked(s.preserveDate);
    m_applyTo->setCurrentIndex(std::clamp(static_cast<int>(s.applyTo), 0, m_applyTo->count() - 1));
    m_setComments->setChecked(s.setComments);
    m_comments->setText(QString::fromStdString(s.comments));
    m_keepOriginal->setChecked(s.keepOriginal);

    m_format->setCurrentIndex(std::clamp(static_cast<int>(s.format), 0, m_format->count() - 1));
    m_palette->setCurrentIndex(std::clamp(s.palette, 0, m_palette->count() - 1));
    fillDepths();
    m_depth->setCurrentIndex(std::max(0, m_depth->findData(s.colorDepth)));
    m_dithering->setCurrentIndex(std::clamp(s.dithering, 0, m_dithering->count() - 1));
    m_formatOptions = s.formatOptions;
    updateFormatEnabled();

    auto sizeText = [](double value) {
        return value > 0 ? QString::number(value, 'g', 12) : originalText();
    };
    m_width->setCurrentText(sizeText(s.width));
    m_height->setCurrentText(sizeText(s.height));
    m_unit->setCurrentIndex(std::clamp(s.unit, 0, m_unit->count() - 1));
    (s.percents ? m_percents : m_units)->setChecked(true);
    m_keepAspect->setChecked(s.keepAspect);
    m_swapForVertical->setChecked(s.swapForVertical);
    m_method->setCurrentIndex(std::clamp(s.method, 0, m_method->count() - 1));
    m_dpiX->setText(s.originalResolution ? QString() : QString::number(s.dpiX));
    m_dpiY->setText(s.originalResolution ? QString() : QString::number(s.dpiY));

    m_autoOrient->setChecked(s.autoOrient);
    if (QAbstractButton* turn = m_rotation->button(std::clamp(s.rotation, 0, 3)))
        turn->setChecked(true);
    m_mirrorH->setChecked(s.mirrorH);
    m_mirrorV->setChecked(s.mirrorV);

    m_effects->setEffects(s.effects);
    m_overlay->setOverlaySettings(s.overlay);
    updateGeneralEnabled();
}

void BatchConvertorDialog::convert() {
    if (m_running) return;
    const std::optional<tools::BatchSettings> settings = collectSettings();
    if (!settings) return;
    storeToSettings();
    // The progress window swallows input while the run polls it; this guards the rest. The panel
    // stays enabled: its message boxes and questions would go dead with it.
    m_running = true;
    startRun(*settings);
    m_running = false;
}

void BatchConvertorDialog::setCurrentFile(const std::filesystem::path& path) {
    static_cast<void>(path);
    m_effects->refreshPreview();
}

void BatchConvertorDialog::loadFromSettings() {
    tools::BatchSettings s = app::batchSettingsFromSettings(m_settings);
    s.autoOrient = m_settings.exifAutoOrient;
    showSettings(s);
}

void BatchConvertorDialog::storeToSettings() const {
    app::storeBatchSettings(pageSettings(), m_settings);
}

QString BatchConvertorDialog::helpTopic() const {
    const int page = m_tabs->currentWidget()->property(kTemplateProperty).toInt();
    if (const auto* entry = app::findDialogHelp(page)) {
        return QString::fromUtf8(entry->helpTopic.data(), qsizetype(entry->helpTopic.size()));
    }
    return DialogBase::helpTopic();
}

void BatchConvertorDialog::showEvent(QShowEvent* event) {
    DialogBase::showEvent(event);
    emit visibilityChanged(true);
}

void BatchConvertorDialog::hideEvent(QHideEvent* event) {
    storeToSettings();
    m_effects->hidePreview();
    DialogBase::hideEvent(event);
    emit visibilityChanged(false);
}

}  // namespace kalder::gui
