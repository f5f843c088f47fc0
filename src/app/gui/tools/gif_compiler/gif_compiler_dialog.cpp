#include "app/gui/tools/gif_compiler/gif_compiler_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "app/core/command_ids.h"
#include "app/core/dialog_help_table.h"
#include "app/core/settings.h"
#include "app/core/translatable.h"
#include "app/gui/dialogs/transparency_options_dialog.h"
#include "app/gui/tools/tool_context.h"
#include "app/gui/tools/tool_runner.h"
#include "app/gui/translations.h"
#include "shell/qt/qt_path.h"
#include "view/folder_images.h"
#include "view/image_entry.h"

namespace kalder::gui {
namespace {

constexpr int kDialogTemplate = 222;
constexpr int kPageTemplates[] = {228, 229, 231};
constexpr int kDelayControl = 1186;
constexpr int kPreviewSize = 400;
const QString kTitle = QStringLiteral("Kalder");

const char* const kPaletteNames[] = {
    QT_TRANSLATE_NOOP("kalder::gui::GifCompilerDialog", "Optimized"),
    QT_TRANSLATE_NOOP("kalder::gui::GifCompilerDialog", "Web-safe"),
    QT_TRANSLATE_NOOP("kalder::gui::GifCompilerDialog", "Back-and-white"),
    QT_TRANSLATE_NOOP("kalder::gui::GifCompilerDialog", "Standard VGA"),
    QT_TRANSLATE_NOOP("kalder::gui::GifCompilerDialog", "Windows System")};
const char* const kDitherNames[] = {
    QT_TRANSLATE_NOOP("kalder::gui::GifCompilerDialog", "None"),
    QT_TRANSLATE_NOOP("kalder::gui::GifCompilerDialog", "Ordered"),
    QT_TRANSLATE_NOOP("kalder::gui::GifCompilerDialog", "Floyd-Steinberg"),
    QT_TRANSLATE_NOOP("kalder::gui::GifCompilerDialog", "Jarvis"),
    QT_TRANSLATE_NOOP("kalder::gui::GifCompilerDialog", "Stucki")};

QString qs(const std::string& s) { return QString::fromStdString(s); }

QPixmap previewPixmap(const image::Bitmap32* b) {
    if (!b || b->isEmpty()) return {};
    const QImage image(b->pixels(), b->width(), b->height(), static_cast<qsizetype>(b->stride()),
                       QImage::Format_RGB32);
    return QPixmap::fromImage(image);  // a deep copy: the frame may go before the label
}

}  // namespace

tools::AnimationOptions animationOptionsFrom(const std::array<std::int32_t, 16>& s) {
    tools::AnimationOptions o;
    o.palette = static_cast<image::PaletteType>(std::clamp(s[0], 0, 4));
    o.colorDepth = std::clamp(s[1], 0, 7) + 1;
    o.dither = static_cast<image::DitherType>(std::clamp(s[2], 0, 4));
    o.interlaced = s[3] != 0;
    o.minimize = s[4] != 0;
    o.separatePalettes = s[5] != 0;
    o.transparency.mode = static_cast<image::TransparencyMode>(std::clamp(s[6], 0, 3));
    o.transparency.color = static_cast<std::uint32_t>(s[7]) & 0x00FFFFFF;
    o.transparency.paletteIndex = std::clamp(s[8], 0, 255);
    o.plays = s[9] != 0 ? 1 : 0;  // stored as "plays once", so older settings loop
    return o;
}

void storeAnimationOptions(const tools::AnimationOptions& o, std::array<std::int32_t, 16>& s) {
    s[0] = static_cast<std::int32_t>(o.palette);
    s[1] = std::clamp(o.colorDepth, 1, 8) - 1;
    s[2] = static_cast<std::int32_t>(o.dither);
    s[3] = o.interlaced;
    s[4] = o.minimize;
    s[5] = o.separatePalettes;
    s[6] = static_cast<std::int32_t>(o.transparency.mode);
    s[7] = static_cast<std::int32_t>(o.transparency.color & 0x00FFFFFF);
    s[8] = o.transparency.paletteIndex;
    s[9] = o.plays == 1;
}

GifCompilerDialog::GifCompilerDialog(std::vector<tools::AnimationFrame> frames,
                                     const tools::AnimationOptions& options, QWidget* parent)
    : DialogBase(kDialogTemplate, parent), m_frames(std::move(frames)), m_options(options) {
    setWindowTitle(tr("GIF Animation Compiler"));
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("pages"));
    m_tabs->addTab(buildGeneral(), tr("General"));
    m_tabs->addTab(buildFrames(), tr("Frames"));
    m_tabs->addTab(buildFormat(), tr("Format"));

    auto* buttons = new QDialogButtonBox(this);
    buttons->setObjectName(QStringLiteral("buttons"));
    auto* compile = buttons->addButton(tr("&Compile"), QDialogButtonBox::AcceptRole);
    compile->setObjectName(QStringLiteral("compile"));
    buttons->addButton(QDialogButtonBox::Cancel);
    buttons->addButton(helpButton(), QDialogButtonBox::HelpRole);
    connect(compile, &QPushButton::clicked, this, &GifCompilerDialog::Compile);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    // The banner is a tall strip beside the pages.
    auto* layout = new QVBoxLayout(this);
    auto* body = new QHBoxLayout;
    body->addWidget(bannerLabel(), 0, Qt::AlignTop);
    body->addWidget(m_tabs, 1);
    layout->addLayout(body);
    layout->addWidget(buttons);

    // The timer only wakes the dialog; the time that really passed moves the animation.
    m_timer = new QTimer(this);
    m_timer->setInterval(10);
    connect(m_timer, &QTimer::timeout, this, [this] { advanceAnimation(m_clock.restart()); });
    connect(m_animate, &QPushButton::clicked, this, &GifCompilerDialog::toggleAnimation);

    OnInitDialog();
    for (int i = 0; i < m_tabs->count(); ++i) applyTooltips(m_tabs->widget(i), kPageTemplates[i]);
    showFrame(0);
}

GifCompilerDialog::~GifCompilerDialog() = default;

QWidget* GifCompilerDialog::buildGeneral() {
    auto* page = new QWidget(m_tabs);
    auto* form = new QFormLayout(page);
    m_output = new QLineEdit(qs(m_options.output.string()), page);
    m_output->setObjectName(QStringLiteral("output"));
    auto* browse = new QPushButton(tr("&Browse..."), page);
    connect(browse, &QPushButton::clicked, this, &GifCompilerDialog::browse);
    auto* row = new QHBoxLayout;
    row->addWidget(m_output, 1);
    row->addWidget(browse);
    form->addRow(tr("Output file:"), row);
    m_comments = new QPlainTextEdit(qs(m_options.comments), page);
    m_comments->setObjectName(QStringLiteral("comments"));
    form->addRow(tr("File comments:"), m_comments);
    return page;
}

QWidget* GifCompilerDialog::buildFrames() {
    auto* page = new QWidget(m_tabs);
    auto* layout = new QVBoxLayout(page);
    m_view = new QLabel(page);
    m_view->setObjectName(QStringLiteral("frameView"));
    m_view->setAlignment(Qt::AlignCenter);
    m_view->setMinimumSize(kPreviewSize, kPreviewSize * 3 / 4);
    layout->addWidget(m_view, 1);
    m_position = new QLabel(page);
    m_position->setObjectName(QStringLiteral("position"));
    layout->addWidget(m_position);

    auto* nav = new QHBoxLayout;
    const struct {
        const char* text;
        std::function<int()> target;
    } moves[] = {
        {QT_TR_NOOP("&First"), [] { return 0; }},
        {QT_TR_NOOP("<< &Previous"), [this] { return std::max(0, m_current - 1); }},
        {QT_TR_NOOP("&Next >>"),
         [this] { return std::min(int(m_frames.size()) - 1, m_current + 1); }},
        {QT_TR_NOOP("&Last"), [this] { return int(m_frames.size()) - 1; }},
    };
    for (const auto& m : moves) {
        auto* b = new QPushButton(tr(m.text), page);
        connect(b, &QPushButton::clicked, this, [this, target = m.target] { showFrame(target()); });
        nav->addWidget(b);
    }
    m_animate = new QPushButton(tr("&Animate"), page);
    m_animate->setObjectName(QStringLiteral("animate"));
    m_animate->setCheckable(true);
    nav->addWidget(m_animate);
    layout->addLayout(nav);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(tr("Current frame's delay:"), page), 0, 0);
    m_delay = new QSpinBox(page);
    m_delay->setObjectName(QStringLiteral("delay"));
    m_delay->setRange(0, 65535);
    setControlId(m_delay, kDelayControl);
    grid->addWidget(m_delay, 0, 1);
    auto* delayAll = new QPushButton(tr("Apply &to all"), page);
    delayAll->setObjectName(QStringLiteral("delayToAll"));
    grid->addWidget(delayAll, 0, 2);
    grid->addWidget(new QLabel(tr("Current frame's disposal method:"), page), 1, 0);
    m_disposal = new QComboBox(page);
    m_disposal->setObjectName(QStringLiteral("disposal"));
    for (int d = tools::kDisposalLeave; d <= tools::kDisposalPrevious; ++d)
        m_disposal->addItem(coreText(app::kChoicesContext, tools::disposalName(d)), d);
    grid->addWidget(m_disposal, 1, 1);
    auto* disposalAll = new QPushButton(tr("Apply to all"), page);
    disposalAll->setObjectName(QStringLiteral("disposalToAll"));
    grid->addWidget(disposalAll, 1, 2);
    layout->addLayout(grid);

    connect(m_delay, &QSpinBox::valueChanged, this, [this] { storeCurrentFrame(); });
    connect(m_disposal, &QComboBox::currentIndexChanged, this, [this] { storeCurrentFrame(); });
    connect(delayAll, &QPushButton::clicked, this, &GifCompilerDialog::applyDelayToAll);
    connect(disposalAll, &QPushButton::clicked, this, &GifCompilerDialog::applyDisposalToAll);
    return page;
}

QWidget* GifCompilerDialog::buildFormat() {
    auto* page = new QWidget(m_tabs);
    auto* form = new QFormLayout(page);
    m_palette = new QComboBox(page);
    m_palette->setObjectName(QStringLiteral("palette"));
    for (const char* name : kPaletteNames) m_palette->addItem(tr(name));
    m_depth = new QComboBox(page);
    m_depth->setObjectName(QStringLiteral("depth"));
    for (int bits = 1; bits <= 8; ++bits)
        m_depth->addItem(bits == 1 ? tr("2 colors (1 bit)")
                                   : tr("%1 colors (%2 bits)").arg(1 << bits).arg(bits));
    m_dither = new QComboBox(page);
    m_dither->setObjectName(QStringLiteral("dither"));
    for (const char* name : kDitherNames) m_dither->addItem(tr(name));
    form->addRow(tr("Palette:"), m_palette);
    form->addRow(tr("Color depth:"), m_depth);
    form->addRow(tr("Dithering:"), m_dither);
    m_interlaced = new QCheckBox(tr("&Interlaced"), page);
    m_minimize = new QCheckBox(tr("&Use transparency to minimize file size"), page);
    m_minimize->setObjectName(QStringLiteral("minimize"));
    m_separate = new QCheckBox(tr("&Create separate palette for each frame"), page);
    m_separate->setObjectName(QStringLiteral("separate"));
    // Without the loop block browsers play the animation once.
    m_loop = new QCheckBox(tr("&Loop"), page);
    m_loop->setObjectName(QStringLiteral("loop"));
    form->addRow(m_interlaced);
    form->addRow(m_minimize);
    form->addRow(m_separate);
    form->addRow(m_loop);
    auto* transparency = new QPushButton(tr("&Transparency Options..."), page);
    form->addRow(transparency);

    m_updating = true;
    m_palette->setCurrentIndex(static_cast<int>(m_options.palette));
    m_depth->setCurrentIndex(std::clamp(m_options.colorDepth, 1, 8) - 1);
    m_dither->setCurrentIndex(static_cast<int>(m_options.dither));
    m_interlaced->setChecked(m_options.interlaced);
    m_minimize->setChecked(m_options.minimize);
    m_separate->setChecked(m_options.separatePalettes);
    m_loop->setChecked(m_options.plays != 1);
    m_updating = false;
    paletteChanged();
    ditherChanged();

    connect(m_palette, &QComboBox::currentIndexChanged, this, [this] {
        paletteChanged();
        ditherChanged();
    });
    connect(m_dither, &QComboBox::currentIndexChanged, this, &GifCompilerDialog::ditherChanged);
    connect(m_separate, &QCheckBox::toggled, this, &GifCompilerDialog::separateChanged);
    connect(transparency, &QPushButton::clicked, this, &GifCompilerDialog::transparencyOptions);
    return page;
}

QString GifCompilerDialog::helpTopic() const {
    const int page = m_tabs ? m_tabs->currentIndex() : -1;
    if (page >= 0 && page < 3) {
        if (const auto* entry = app::findDialogHelp(kPageTemplates[page]))
            return QString::fromUtf8(entry->helpTopic.data(), qsizetype(entry->helpTopic.size()));
    }
    return DialogBase::helpTopic();
}

tools::AnimationOptions GifCompilerDialog::options() const {
    tools::AnimationOptions o = m_options;
    o.output = shell::toPath(m_output->text().trimmed());
    o.comments = m_comments->toPlainText().toStdString();
    o.palette = static_cast<image::PaletteType>(m_palette->currentIndex());
    o.colorDepth = m_depth->currentIndex() + 1;
    o.dither = static_cast<image::DitherType>(m_dither->currentIndex());
    o.interlaced = m_interlaced->isChecked();
    o.minimize = m_minimize->isChecked();
    o.separatePalettes = m_separate->isChecked();
    o.plays = m_loop->isChecked() ? 0 : 1;
    return o;
}

void GifCompilerDialog::showFrame(int index) {
    if (m_frames.empty()) return;
    m_current = std::clamp(index, 0, int(m_frames.size()) - 1);
    m_elapsed = 0;
    const tools::AnimationFrame& f = m_frames[static_cast<std::size_t>(m_current)];
    // Previews are made no larger than the view's box.
    m_view->setPixmap(previewPixmap(f.preview.get()));
    m_position->setText(tr("Frame %1 of %2").arg(m_current + 1).arg(m_frames.size()));
    m_updating = true;
    m_delay->setValue(static_cast<int>(f.delay));
    m_disposal->setCurrentIndex(std::max(0, m_disposal->findData(f.disposal)));
    m_updating = false;
}

void GifCompilerDialog::storeCurrentFrame() {
    if (m_updating || m_frames.empty()) return;
    auto& f = m_frames[static_cast<std::size_t>(m_current)];
    f.delay = static_cast<std::uint32_t>(m_delay->value());
    f.disposal = m_disposal->currentData().toInt();
}

bool GifCompilerDialog::animating() const { return m_timer->isActive(); }

void GifCompilerDialog::toggleAnimation() {
    if (m_timer->isActive()) {
        m_timer->stop();
        m_animate->setChecked(false);
    } else {
        m_elapsed = 0;
        m_clock.start();
        m_timer->start();
        m_animate->setChecked(true);
    }
}

void GifCompilerDialog::advanceAnimation(qint64 ms) {
    if (m_frames.empty()) return;
    m_elapsed += ms;
    // Delays are hundredths of a second; a zero delay still shows the frame for one tick.
    const qint64 shown =
        std::max<qint64>(10, qint64(m_frames[static_cast<std::size_t>(m_current)].delay) * 10);
    if (m_elapsed < shown) return;
    showFrame((m_current + 1) % int(m_frames.size()));
}

void GifCompilerDialog::applyDelayToAll() {
    const int delay = m_delay->value();
    const auto text = tools::fillInsert(
        tr("Do you want to set delay value to %1!i! for all frames?").toStdString().c_str(),
        std::to_string(delay));
    if (QMessageBox::question(this, kTitle, qs(text), QMessageBox::Yes | QMessageBox::No) !=
        QMessageBox::Yes)
        return;
    for (auto& f : m_frames) f.delay = static_cast<std::uint32_t>(delay);
}

void GifCompilerDialog::applyDisposalToAll() {
    const int disposal = m_disposal->currentData().toInt();
    const auto text = tools::fillInsert(
        tr("Do you want to set disposal method to \"%1!s!\" for all frames?").toStdString().c_str(),
        coreText(app::kChoicesContext, tools::disposalName(disposal)).toStdString());
    if (QMessageBox::question(this, kTitle, qs(text), QMessageBox::Yes | QMessageBox::No) !=
        QMessageBox::Yes)
        return;
    for (auto& f : m_frames) f.disposal = disposal;
}

void GifCompilerDialog::paletteChanged() {
    const auto palette = static_cast<image::PaletteType>(m_palette->currentIndex());
    const bool optimized = palette == image::PaletteType::Optimized;
    m_updating = true;
    if (palette == image::PaletteType::WebSafe) m_depth->setCurrentIndex(7);
    if (palette == image::PaletteType::BlackWhite) m_depth->setCurrentIndex(0);
    if (palette == image::PaletteType::Vga) m_depth->setCurrentIndex(3);
    m_updating = false;
    m_depth->setEnabled(optimized);
    m_separate->setEnabled(optimized);
    if (!optimized) m_separate->setChecked(false);
    separateChanged();
}

void GifCompilerDialog::ditherChanged() {
    if (m_updating) return;
    const auto palette = static_cast<image::PaletteType>(m_palette->currentIndex());
    if (static_cast<image::DitherType>(m_dither->currentIndex()) != image::DitherType::Ordered ||
        image::orderedDitherAllowed(palette))
        return;
    m_dither->setCurrentIndex(static_cast<int>(image::DitherType::None));
    QMessageBox::information(this, kTitle,
                             tr("The ordered dithering cannot be used with this palette."));
}

void GifCompilerDialog::separateChanged() {
    // Separate palettes cannot be compared across frames, so minimising is off with them.
    if (m_separate->isChecked()) m_minimize->setChecked(false);
    m_minimize->setEnabled(!m_separate->isChecked());
}

void GifCompilerDialog::browse() {
    const QString path = QFileDialog::getSaveFileName(this, tr("Output file"), m_output->text(),
                                                      tr("GIF Images (*.gif)"), nullptr,
                                                      QFileDialog::DontConfirmOverwrite);
    if (!path.isEmpty()) m_output->setText(path);
}

void GifCompilerDialog::transparencyOptions() {
    TransparencyOptionsDialog dialog(m_options.transparency, this);
    if (dialog.exec() == QDialog::Accepted) m_options.transparency = dialog.options();
}

void GifCompilerDialog::Compile() {
    if (m_timer->isActive()) toggleAnimation();
    m_options = options();
    tools::CompileResult result;
    QStringList lines;
    {
        GuiToolHost host(this);         // its progress window closes before the word below
        host.setCollectWarnings(true);  // shown with the word that the file was written
        ToolRunner runner(host);
        runner.run([&](tools::ToolHost& worker) {
            result = tools::GifCompiler::Compile(m_frames, m_options, worker);
        });
        for (const std::string& w : host.warnings()) lines << qs(w);
    }
    if (result.outcome != tools::CompileOutcome::Written) return;
    lines.prepend(tr("The file was written to %1.").arg(qs(m_options.output.string())));
    QMessageBox::information(this, kTitle, lines.join(QStringLiteral("\n\n")));
    accept();
}

void GifCompilerDialog::done(int result) {
    m_timer->stop();
    DialogBase::done(result);
}

void registerGifCompiler(ToolContext& context) {
    context.commands().on(app::cmd::kGifAnimationCompiler, [&context](app::CommandId) {
        std::vector<std::filesystem::path> files;
        for (const view::ImageEntry* e : context.selectedEntries()) files.push_back(e->path());
        // The browser makes no thumbnails while the tool reads the same files.
        context.pauseThumbnails();
        std::vector<tools::AnimationFrame> frames;
        bool opened = false;
        {
            GuiToolHost host(context.dialogParent());
            ToolRunner runner(host);
            runner.run([&](tools::ToolHost& worker) {
                opened = tools::GifCompiler::Open(files, kPreviewSize, worker, frames);
            });
        }
        if (opened) {
            tools::AnimationOptions o = animationOptionsFrom(context.settings().gifCompilerOptions);
            o.output = files.front().parent_path() / "Output.gif";
            GifCompilerDialog dialog(std::move(frames), o, context.dialogParent());
            if (dialog.exec() == QDialog::Accepted)
                storeAnimationOptions(dialog.options(), context.settings().gifCompilerOptions);
        }
        context.resumeShownThumbnails();
    });
}

}  // namespace kalder::gui
