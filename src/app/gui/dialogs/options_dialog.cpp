#include "app/gui/dialogs/options_dialog.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>
#include <functional>

#include "app/core/dialog_help_table.h"
#include "app/gui/dialogs/options_dialog_pages.h"

namespace kalder::gui {

namespace {

constexpr int kOptionsTemplate = 138;
constexpr int kViewerTemplate = 328;
constexpr int kOsdTemplate = 329;
constexpr int kMiscTemplate = 331;

QCheckBox* checkBox(const QString& text, const char* name, bool checked, QWidget* parent) {
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(QLatin1String(name));
    box->setChecked(checked);
    return box;
}

QSpinBox* spinBox(const char* name, int minimum, int maximum, int value, QWidget* parent) {
    auto* spin = new QSpinBox(parent);
    spin->setObjectName(QLatin1String(name));
    spin->setRange(minimum, maximum);
    spin->setValue(value);
    return spin;
}

// 0x00BBGGRR to and from Qt.
QColor fromColorRef(std::uint32_t value) {
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}
std::uint32_t toColorRef(const QColor& color) {
    return std::uint32_t(color.red()) | (std::uint32_t(color.green()) << 8) |
           (std::uint32_t(color.blue()) << 16);
}

}  // namespace

// A push button with a colour swatch; a click opens the colour chooser.
class ColorButton : public QPushButton {
public:
    ColorButton(const QString& text, std::uint32_t value, QWidget* parent)
        : QPushButton(text, parent), m_value(value) {
        updateSwatch();
        connect(this, &QPushButton::clicked, this, [this] {
            const QColor chosen = QColorDialog::getColor(fromColorRef(m_value), window());
            if (!chosen.isValid()) return;
            setValue(toColorRef(chosen));
            if (onPicked) onPicked();
        });
    }
    std::uint32_t value() const { return m_value; }
    // Runs when the user chose a colour in the chooser.
    std::function<void()> onPicked;
    void setValue(std::uint32_t value) {
        m_value = value;
        updateSwatch();
    }

private:
    void updateSwatch() {
        QPixmap swatch(16, 16);
        swatch.fill(fromColorRef(m_value));
        setIcon(QIcon(swatch));
    }
    std::uint32_t m_value;
};

// --- Viewer ----------------------------------------------------------------------------------

ViewerPage::ViewerPage(const app::Settings& s, QWidget* parent)
    : OptionsPage(kViewerTemplate, parent) {
    setObjectName(QStringLiteral("viewerPage"));
    m_center = checkBox(tr("&Center loaded images and reset zooming"), "centerOnLoad",
                        s.centerOnLoad, this);
    m_wallpaper = checkBox(tr("Wall&paper on the window background"), "wallpaperBackground",
                           s.wallpaperBackground, this);
    m_exifOrient = checkBox(tr("Use E&xif data to automatically orient images"), "exifAutoOrient",
                            s.exifAutoOrient, this);
    m_dither = checkBox(tr("&Enable dithering"), "ditherEnabled", s.ditherEnabled, this);
    m_progress = checkBox(tr("&Display progress indicator"), "showProgress", s.showProgress, this);
    m_copyAtWindowSize = checkBox(tr("C&opy images to the clipboard at the window's size"),
                                  "copyAtWindowSize", s.copyAtWindowSize, this);
    m_minStretch = spinBox("minStretchSize", 0, 65535, s.minStretchSize, this);
    DialogBase::setControlId(m_minStretch, 1164);
    m_transparency = new ColorButton(tr("&Transparency background..."), s.transparencyColor, this);
    m_transparency->setObjectName(QStringLiteral("transparencyColor"));
    m_background = new ColorButton(tr("&Window background color..."), s.backgroundColor, this);
    m_background->setObjectName(QStringLiteral("backgroundColor"));
    m_themeBackground = checkBox(tr("Use the desktop &theme's background colour"),
                                 "themeBackground", s.themeBackground, this);
    // A colour picked by hand is what the user wants to see.
    m_background->onPicked = [box = m_themeBackground] { box->setChecked(false); };

    auto* stretch = new QHBoxLayout;
    stretch->addWidget(
        new QLabel(tr("Minimal image size for stretching with interpolation:"), this));
    stretch->addWidget(m_minStretch);
    stretch->addStretch();
    auto* colors = new QHBoxLayout;
    colors->addWidget(m_transparency);
    colors->addWidget(m_background);
    colors->addWidget(m_themeBackground);
    colors->addStretch();
    auto* layout = new QVBoxLayout(this);
    for (QWidget* w :
         {static_cast<QWidget*>(m_center), static_cast<QWidget*>(m_wallpaper),
          static_cast<QWidget*>(m_exifOrient), static_cast<QWidget*>(m_dither),
          static_cast<QWidget*>(m_progress), static_cast<QWidget*>(m_copyAtWindowSize)}) {
        layout->addWidget(w);
    }
    layout->addLayout(stretch);
    layout->addLayout(colors);
    layout->addStretch();
}

void ViewerPage::store(app::Settings& s) const {
    s.centerOnLoad = m_center->isChecked();
    s.wallpaperBackground = m_wallpaper->isChecked();
    s.exifAutoOrient = m_exifOrient->isChecked();
    s.ditherEnabled = m_dither->isChecked();
    s.showProgress = m_progress->isChecked();
    s.copyAtWindowSize = m_copyAtWindowSize->isChecked();
    s.minStretchSize = m_minStretch->value();
    s.transparencyColor = m_transparency->value();
    s.backgroundColor = m_background->value();
    s.themeBackground = m_themeBackground->isChecked();
}

// --- OSD -------------------------------------------------------------------------------------

OsdPage::OsdPage(const app::Settings& s, QWidget* parent) : OptionsPage(kOsdTemplate, parent) {
    setObjectName(QStringLiteral("osdPage"));
    m_enable = checkBox(tr("E&nable on-screen display"), "osdEnable", s.osdSize >= 0, this);
    m_size = new QComboBox(this);
    m_size->setObjectName(QStringLiteral("osdSize"));
    m_size->addItems({tr("Auto"), tr("Small"), tr("Normal"), tr("Large")});
    m_size->setCurrentIndex(s.osdSize >= 0 && s.osdSize <= 3 ? s.osdSize : 0);
    m_size->setEnabled(m_enable->isChecked());
    connect(m_enable, &QCheckBox::toggled, m_size, &QComboBox::setEnabled);

    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(tr("On-screen display element size:"), this));
    row->addWidget(m_size);
    row->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_enable);
    layout->addLayout(row);
    layout->addStretch();
}

void OsdPage::store(app::Settings& s) const {
    s.osdSize = m_enable->isChecked() ? m_size->currentIndex() : -1;
}

// --- Misc. -----------------------------------------------------------------------------------

MiscPage::MiscPage(const app::Settings& s, QWidget* parent) : OptionsPage(kMiscTemplate, parent) {
    setObjectName(QStringLiteral("miscPage"));
    m_exitWithEsc = checkBox(tr("Ex&it with ESC key"), "exitWithEsc", s.exitWithEsc, this);
    m_exifThumbnails =
        checkBox(tr("Use E&xif data for thumbnails"), "exifThumbnails", s.exifThumbnails, this);
    m_rotateThumbnails = checkBox(tr("&Rotate Exif thumbnails clockwise"), "rotateExifThumbnails",
                                  s.rotateExifThumbnails, this);
    m_sharedCache = checkBox(tr("Share thumbnails with other programs (thumbnail &cache)"),
                             "sharedThumbnailCache", s.sharedThumbnailCache, this);
    m_cacheRemovable = checkBox(tr("Cache thumbnails of files on removable &media too"),
                                "cacheRemovableMedia", s.cacheRemovableMedia, this);
    m_cacheRemovable->setEnabled(s.sharedThumbnailCache);
    connect(m_sharedCache, &QCheckBox::toggled, m_cacheRemovable, &QWidget::setEnabled);
    m_fileTooltips =
        checkBox(tr("&Show file information tooltips"), "fileTooltips", s.fileTooltips, this);
    m_enhancedLayout =
        checkBox(tr("Enhanced &window layout"), "enhancedLayout", s.enhancedLayout, this);
    m_statusBar = checkBox(tr("Show file information in the status &bar"), "statusBarFileInfo",
                           s.statusBarFileInfo, this);
    m_toolbarText = checkBox(tr("Show &text under icons"), "toolbarTextUnderIcons",
                             s.toolbarTextUnderIcons, this);
    m_scrollBar = spinBox("browserScrollBarSize", 1, 1000, s.browserScrollBarSize, this);
    m_resolutionX = spinBox("defaultResolutionX", 1, 100000, s.defaultResolutionX, this);
    m_resolutionY = spinBox("defaultResolutionY", 1, 100000, s.defaultResolutionY, this);

    auto* form = new QFormLayout;
    form->addRow(tr("File browser's scroll bar size:"), m_scrollBar);
    form->addRow(tr("Default horizontal resolution:"), m_resolutionX);
    form->addRow(tr("Default vertical resolution:"), m_resolutionY);
    auto* layout = new QVBoxLayout(this);
    for (QWidget* w :
         {static_cast<QWidget*>(m_exitWithEsc), static_cast<QWidget*>(m_exifThumbnails),
          static_cast<QWidget*>(m_rotateThumbnails), static_cast<QWidget*>(m_sharedCache),
          static_cast<QWidget*>(m_cacheRemovable), static_cast<QWidget*>(m_fileTooltips),
          static_cast<QWidget*>(m_enhancedLayout), static_cast<QWidget*>(m_statusBar),
          static_cast<QWidget*>(m_toolbarText)}) {
        layout->addWidget(w);
    }
    layout->addLayout(form);
    layout->addStretch();
}

void MiscPage::store(app::Settings& s) const {
    s.exitWithEsc = m_exitWithEsc->isChecked();
    s.exifThumbnails = m_exifThumbnails->isChecked();
    s.rotateExifThumbnails = m_rotateThumbnails->isChecked();
    s.sharedThumbnailCache = m_sharedCache->isChecked();
    s.cacheRemovableMedia = m_cacheRemovable->isChecked();
    s.toolbarTextUnderIcons = m_toolbarText->isChecked();
    s.fileTooltips = m_fileTooltips->isChecked();
    s.enhancedLayout = m_enhancedLayout->isChecked();
    s.statusBarFileInfo = m_statusBar->isChecked();
    s.browserScrollBarSize = m_scrollBar->value();
    s.defaultResolutionX = m_resolutionX->value();
    s.defaultResolutionY = m_resolutionY->value();
}

// --- the dialog ------------------------------------------------------------------------------

OptionsDialog::OptionsDialog(app::Settings& settings, QWidget* parent)
    : DialogBase(kOptionsTemplate, parent), m_settings(settings), m_work(settings) {
    setWindowTitle(tr("Options"));
    if (m_work.shortcuts.empty()) app::ensureShortcuts(m_work);

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("pages"));
    m_tabs->addTab(new ViewerPage(m_work, m_tabs), tr("Viewer"));
    m_tabs->addTab(new OsdPage(m_work, m_tabs), tr("OSD"));
    m_tabs->addTab(new ColorPage(m_work, m_tabs), tr("Color Management"));
    m_tabs->addTab(new ControlsPage(m_work, m_tabs), tr("Controls"));
    m_tabs->addTab(new MiscPage(m_work, m_tabs), tr("Misc."));

    QDialogButtonBox* buttons = standardButtons(false);
    connect(buttons, &QDialogButtonBox::accepted, this, &OptionsDialog::onOk);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(buttons);

    OnInitDialog();
    for (int i = 0; i < m_tabs->count(); ++i) {
        auto* page = static_cast<OptionsPage*>(m_tabs->widget(i));
        applyTooltips(page, page->templateNumber());
    }
}

OptionsDialog::~OptionsDialog() = default;

QString OptionsDialog::helpTopic() const {
    if (auto* page = dynamic_cast<OptionsPage*>(m_tabs->currentWidget())) {
        if (const auto* entry = app::findDialogHelp(page->templateNumber())) {
            return QString::fromUtf8(entry->helpTopic.data(), qsizetype(entry->helpTopic.size()));
        }
    }
    return DialogBase::helpTopic();
}

void OptionsDialog::onOk() {
    for (int i = 0; i < m_tabs->count(); ++i) {
        static_cast<OptionsPage*>(m_tabs->widget(i))->store(m_work);
    }
    const app::Settings before = m_settings;
    copyOptions(m_work, m_settings);
    m_changes = compareOptions(before, m_settings);
    accept();
    emit settingsApplied();
}

void OptionsDialog::copyOptions(const app::Settings& from, app::Settings& to) {
    to.centerOnLoad = from.centerOnLoad;
    to.wallpaperBackground = from.wallpaperBackground;
    to.exifAutoOrient = from.exifAutoOrient;
    to.ditherEnabled = from.ditherEnabled;
    to.showProgress = from.showProgress;
    to.copyAtWindowSize = from.copyAtWindowSize;
    to.minStretchSize = from.minStretchSize;
    to.transparencyColor = from.transparencyColor;
    to.backgroundColor = from.backgroundColor;
    to.themeBackground = from.themeBackground;
    to.osdSize = from.osdSize;
    to.useColorProfiles = from.useColorProfiles;
    to.useDefaultProfile = from.useDefaultProfile;
    to.colorProfilePath = from.colorProfilePath;
    to.gammaRed = from.gammaRed;
    to.gammaGreen = from.gammaGreen;
    to.gammaBlue = from.gammaBlue;
    to.gammaExtra = from.gammaExtra;
    to.shortcuts = from.shortcuts;
    to.controlOptions = from.controlOptions;
    to.keyScheme = from.keyScheme;
    to.toolbarTextUnderIcons = from.toolbarTextUnderIcons;
    to.exitWithEsc = from.exitWithEsc;
    to.exifThumbnails = from.exifThumbnails;
    to.rotateExifThumbnails = from.rotateExifThumbnails;
    to.sharedThumbnailCache = from.sharedThumbnailCache;
    to.cacheRemovableMedia = from.cacheRemovableMedia;
    to.fileTooltips = from.fileTooltips;
    to.enhancedLayout = from.enhancedLayout;
    to.statusBarFileInfo = from.statusBarFileInfo;
    to.browserScrollBarSize = from.browserScrollBarSize;
    to.defaultResolutionX = from.defaultResolutionX;
    to.defaultResolutionY = from.defaultResolutionY;
}

std::uint32_t OptionsDialog::compareOptions(const app::Settings& a, const app::Settings& b) {
    std::uint32_t changes = 0;
    auto mark = [&changes](bool differs, Change change) {
        if (differs) changes |= change;
    };
    mark(a.ditherEnabled != b.ditherEnabled || a.showProgress != b.showProgress ||
             a.minStretchSize != b.minStretchSize,
         DisplayChanged);
    mark(a.backgroundColor != b.backgroundColor || a.wallpaperBackground != b.wallpaperBackground ||
             a.themeBackground != b.themeBackground,
         BackgroundChanged);
    mark(a.centerOnLoad != b.centerOnLoad, CenterChanged);
    mark(a.osdSize != b.osdSize, OsdChanged);
    mark(a.useColorProfiles != b.useColorProfiles || a.useDefaultProfile != b.useDefaultProfile ||
             a.colorProfilePath != b.colorProfilePath || a.gammaRed != b.gammaRed ||
             a.gammaGreen != b.gammaGreen || a.gammaBlue != b.gammaBlue ||
             a.gammaExtra != b.gammaExtra,
         ColorChanged);
    mark(a.shortcuts != b.shortcuts || a.controlOptions != b.controlOptions ||
             a.keyScheme != b.keyScheme,
         ShortcutsChanged);
    mark(a.fileTooltips != b.fileTooltips, TooltipsChanged);
    mark(a.statusBarFileInfo != b.statusBarFileInfo, StatusBarChanged);
    mark(a.exifThumbnails != b.exifThumbnails || a.rotateExifThumbnails != b.rotateExifThumbnails ||
             a.sharedThumbnailCache != b.sharedThumbnailCache ||
             a.cacheRemovableMedia != b.cacheRemovableMedia,
         ExifThumbnailsChanged);
    mark(a.transparencyColor != b.transparencyColor, TransparencyChanged);
    mark(a.exifAutoOrient != b.exifAutoOrient, ExifOrientChanged);
    mark(a.enhancedLayout != b.enhancedLayout, LayoutChanged);
    mark(a.defaultResolutionX != b.defaultResolutionX ||
             a.defaultResolutionY != b.defaultResolutionY,
         ResolutionChanged);
    mark(a.browserScrollBarSize != b.browserScrollBarSize, ScrollBarChanged);
    mark(a.exitWithEsc != b.exitWithEsc, ExitWithEscChanged);
    return changes;
}

}  // namespace kalder::gui

// The pages header declares widgets of its own; have their meta-objects built here.
#include "moc_options_dialog_pages.cpp"
