#include "app/gui/tools/batch_convertor/batch_overlay_page.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QStringList>
#include <QVBoxLayout>
#include <algorithm>
#include <array>

#include "app/core/translatable.h"
#include "app/gui/translations.h"
#include "image/format_table.h"
#include "shell/qt/qt_path.h"

namespace kalder::gui {

namespace {

constexpr int kTextEffectsTemplate = 359;
constexpr int kAnchorControl = 1385;
constexpr int kBox = 18;
constexpr int kGap = 4;
constexpr int kMaxSpacing = 32767;

QColor fromColorRef(std::uint32_t value) {
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}
std::uint32_t toColorRef(const QColor& color) {
    return std::uint32_t(color.red()) | (std::uint32_t(color.green()) << 8) |
           (std::uint32_t(color.blue()) << 16);
}

QSpinBox* spinBox(const char* name, int minimum, int maximum, QWidget* parent) {
    auto* spin = new QSpinBox(parent);
    spin->setObjectName(QLatin1String(name));
    spin->setRange(minimum, maximum);
    return spin;
}

QRadioButton* radio(const QString& text, const char* name, QButtonGroup* group, int id,
                    QWidget* parent) {
    auto* button = new QRadioButton(text, parent);
    button->setObjectName(QLatin1String(name));
    group->addButton(button, id);
    return button;
}

}  // namespace

QString qtFileFilter(std::string_view filter) {
    QStringList parts =
        QString::fromUtf8(filter.data(), qsizetype(filter.size())).split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString name = coreText(app::kFiltersContext, parts[i].toStdString()).trimmed();
        if (name.isEmpty()) break;
        // The name may already show its pattern ("All files (*.*)").
        if (name.endsWith(QLatin1Char(')')) && name.contains(QLatin1Char('(')))
            name = name.left(name.lastIndexOf(QLatin1Char('('))).trimmed();
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        // "*.*" would leave out the files without a dot here.
        for (QString& p : patterns)
            if (p == QLatin1String("*.*")) p = QStringLiteral("*");
        out << QStringLiteral("%1 (%2)").arg(name, patterns.join(QLatin1Char(' ')));
    }
    return out.join(QStringLiteral(";;"));
}

tools::OverlayFont overlayFontFrom(const QFont& font) {
    tools::OverlayFont out;
    out.family = font.family().toStdString();
    if (font.pointSizeF() > 0)
        out.pointSize = font.pointSizeF();
    else if (font.pixelSize() > 0)
        out.pointSize = font.pixelSize() * 72.0 / 96.0;
    out.weight = std::clamp(static_cast<int>(font.weight()), 100, 900);
    out.italic = font.italic();
    return out;
}

QFont qtFontFrom(const tools::OverlayFont& font) {
    QFont out(QString::fromStdString(font.family));
    if (font.pointSize > 0) out.setPointSizeF(font.pointSize);
    out.setWeight(static_cast<QFont::Weight>(std::clamp(font.weight, 100, 900)));
    out.setItalic(font.italic);
    return out;
}

// --- nine boxes ------------------------------------------------------------------------------

AnchorSelector::AnchorSelector(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("anchor"));
    DialogBase::setControlId(this, kAnchorControl);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void AnchorSelector::setAnchor(std::int32_t horizontal, std::int32_t vertical) {
    const std::int32_t h = std::clamp(horizontal, 0, 2);
    const std::int32_t v = std::clamp(vertical, 0, 2);
    if (h == m_horizontal && v == m_vertical) return;
    m_horizontal = h;
    m_vertical = v;
    update();
    emit anchorChanged();
}

QString AnchorSelector::caption() const {
    static const std::array<const char*, 3> rows = {"top", "middle", "bottom"};
    static const std::array<const char*, 3> columns = {"left", "center", "right"};
    return tr("Align: %1 %2")
        .arg(QLatin1String(rows[std::size_t(m_vertical)]),
             QLatin1String(columns[std::size_t(m_horizontal)]));
}

QSize AnchorSelector::sizeHint() const { return {3 * kBox + 4 * kGap, 3 * kBox + 4 * kGap}; }

QRect AnchorSelector::boxRect(std::int32_t column, std::int32_t row) const {
    return {kGap + column * (kBox + kGap), kGap + row * (kBox + kGap), kBox, kBox};
}

bool AnchorSelector::boxAt(const QPoint& point, std::int32_t& column, std::int32_t& row) const {
    for (std::int32_t r = 0; r < 3; ++r)
        for (std::int32_t c = 0; c < 3; ++c)
            if (boxRect(c, r).contains(point)) {
                column = c;
                row = r;
                return true;
            }
    return false;
}

void AnchorSelector::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    for (std::int32_t r = 0; r < 3; ++r)
        for (std::int32_t c = 0; c < 3; ++c) {
            const QRect box = boxRect(c, r);
            const bool chosen = c == m_horizontal && r == m_vertical;
            painter.fillRect(box, chosen ? palette().highlight() : palette().base());
            painter.drawRect(box.adjusted(0, 0, -1, -1));
        }
}

void AnchorSelector::mousePressEvent(QMouseEvent* event) {
    std::int32_t column = 0;
    std::int32_t row = 0;
    if (event->button() == Qt::LeftButton && boxAt(event->position().toPoint(), column, row))
        setAnchor(column, row);
}

// --- colour button ---------------------------------------------------------------------------

ColorPickButton::ColorPickButton(const QString& text, std::uint32_t value, QWidget* parent)
    : QPushButton(text, parent), m_value(value) {
    setValue(value);
    connect(this, &QPushButton::clicked, this, [this] {
        const QColor chosen = QColorDialog::getColor(fromColorRef(m_value), window());
        if (chosen.isValid()) setValue(toColorRef(chosen));
    });
}

void ColorPickButton::setValue(std::uint32_t value) {
    m_value = value & 0x00FFFFFFu;
    QPixmap swatch(16, 16);
    swatch.fill(fromColorRef(m_value));
    setIcon(QIcon(swatch));
}

// --- "Text Overlay Effects" ------------------------------------------------------------------

TextOverlayEffectsDialog::TextOverlayEffectsDialog(const tools::OverlaySettings& s, QWidget* parent)
    : DialogBase(kTextEffectsTemplate, parent) {
    setObjectName(QStringLiteral("textOverlayEffects"));
    setWindowTitle(tr("Text Overlay Effects"));
    m_background = new QButtonGroup(this);
    QRadioButton* none = radio(tr("&No background"), "noBackground", m_background,
                               int(tools::TextBackground::None), this);
    QRadioButton* box =
        radio(tr("&Box"), "box", m_background, int(tools::TextBackground::Box), this);
    QRadioButton* shadow =
        radio(tr("&Shadow"), "shadow", m_background, int(tools::TextBackground::Shadow), this);
    if (QAbstractButton* chosen = m_background->button(int(s.background)))
        chosen->setChecked(true);
    else
        none->setChecked(true);
    m_textColor = new ColorPickButton(tr("&Text color..."), s.textColor, this);
    m_textColor->setObjectName(QStringLiteral("textColor"));
    m_boxColor = new ColorPickButton(tr("Box &color..."), s.boxColor, this);
    m_boxColor->setObjectName(QStringLiteral("boxColor"));
    m_opacity = spinBox("boxOpacity", 0, 100, this);
    m_opacity->setSuffix(QStringLiteral(" %"));
    m_opacity->setValue(std::clamp(s.boxOpacity, 0, 100));
    m_margin = spinBox("boxMargin", 0, 1000, this);
    m_margin->setValue(std::clamp(s.boxMargin, 0, 1000));
    m_shadowOffset = spinBox("shadowOffset", 0, 1000, this);
    m_shadowOffset->setValue(std::clamp(s.shadowOffset, 0, 1000));
    connect(m_background, &QButtonGroup::idToggled, this, &TextOverlayEffectsDialog::updateEnabled);

    auto* form = new QFormLayout;
    form->addRow(tr("Opacity:"), m_opacity);
    form->addRow(tr("Margin:"), m_margin);
    form->addRow(tr("Shadow offset:"), m_shadowOffset);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(none);
    layout->addWidget(box);
    layout->addWidget(shadow);
    layout->addWidget(m_textColor);
    layout->addWidget(m_boxColor);
    layout->addLayout(form);
    layout->addWidget(standardButtons());
    updateEnabled();
    OnInitDialog();
}

void TextOverlayEffectsDialog::updateEnabled() {
    const int background = m_background->checkedId();
    const bool box = background == int(tools::TextBackground::Box);
    m_boxColor->setEnabled(box);
    m_opacity->setEnabled(box);
    m_margin->setEnabled(box);
    m_shadowOffset->setEnabled(background == int(tools::TextBackground::Shadow));
}

void TextOverlayEffectsDialog::store(tools::OverlaySettings& s) const {
    s.background = static_cast<tools::TextBackground>(std::max(0, m_background->checkedId()));
    s.textColor = m_textColor->value();
    s.boxColor = m_boxColor->value();
    s.boxOpacity = m_opacity->value();
    s.boxMargin = m_margin->value();
    s.shadowOffset = m_shadowOffset->value();
}

// --- the page --------------------------------------------------------------------------------

BatchOverlayPage::BatchOverlayPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("overlayPage"));
    m_mode = new QButtonGroup(this);
    QRadioButton* none =
        radio(tr("No overlay"), "noOverlay", m_mode, int(tools::OverlayMode::None), this);
    QRadioButton* imageFile =
        radio(tr("Image file"), "imageOverlay", m_mode, int(tools::OverlayMode::ImageFile), this);
    QRadioButton* text =
        radio(tr("Text"), "textOverlay", m_mode, int(tools::OverlayMode::Text), this);
    m_path = new QLineEdit(this);
    m_path->setObjectName(QStringLiteral("overlayPath"));
    m_browse = new QPushButton(tr("&Browse..."), this);
    m_browse->setObjectName(QStringLiteral("browseOverlay"));
    m_text = new QPlainTextEdit(this);
    m_text->setObjectName(QStringLiteral("overlayText"));
    m_text->setTabChangesFocus(false);
    m_text->setFixedHeight(m_text->fontMetrics().lineSpacing() * 4 + 12);
    m_previewFont = new QCheckBox(tr("Preview font"), this);
    m_previewFont->setObjectName(QStringLiteral("previewFont"));
    m_font = new QPushButton(tr("&Font..."), this);
    m_font->setObjectName(QStringLiteral("font"));
    m_fontName = new QLabel(this);
    m_alignment = new QComboBox(this);
    m_alignment->setObjectName(QStringLiteral("alignment"));
    m_alignment->addItems({tr("Left"), tr("Center"), tr("Right")});
    m_anchor = new AnchorSelector(this);
    m_anchorCaption = new QLabel(this);
    m_anchorCaption->setObjectName(QStringLiteral("anchorCaption"));
    m_horizontalSpacing = spinBox("horizontalSpacing", 0, kMaxSpacing, this);
    m_verticalSpacing = spinBox("verticalSpacing", 0, kMaxSpacing, this);
    m_textEffects = new QPushButton(tr("Text Overlay Effects..."), this);
    m_textEffects->setObjectName(QStringLiteral("textEffects"));
    none->setChecked(true);

    connect(m_mode, &QButtonGroup::idToggled, this, &BatchOverlayPage::updateEnabled);
    connect(m_browse, &QPushButton::clicked, this, &BatchOverlayPage::browse);
    connect(m_font, &QPushButton::clicked, this, &BatchOverlayPage::chooseFont);
    connect(m_previewFont, &QCheckBox::toggled, this, &BatchOverlayPage::showFont);
    connect(m_textEffects, &QPushButton::clicked, this, &BatchOverlayPage::editTextEffects);
    connect(m_anchor, &AnchorSelector::anchorChanged, this,
            [this] { m_anchorCaption->setText(m_anchor->caption()); });

    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(m_path, 1);
    pathRow->addWidget(m_browse);
    auto* fontRow = new QHBoxLayout;
    fontRow->addWidget(m_font);
    fontRow->addWidget(m_fontName, 1);
    fontRow->addWidget(m_previewFont);
    auto* textForm = new QFormLayout;
    textForm->addRow(tr("Text alignment:"), m_alignment);
    auto* place = new QGridLayout;
    place->addWidget(m_anchorCaption, 0, 0, 1, 2);
    place->addWidget(m_anchor, 1, 0, 2, 1);
    auto* spacing = new QFormLayout;
    spacing->addRow(tr("Horizontal spacing:"), m_horizontalSpacing);
    spacing->addRow(tr("Vertical spacing:"), m_verticalSpacing);
    place->addLayout(spacing, 1, 1);
    place->setColumnStretch(1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(none);
    layout->addWidget(imageFile);
    layout->addLayout(pathRow);
    layout->addWidget(text);
    layout->addWidget(m_text);
    layout->addLayout(fontRow);
    layout->addLayout(textForm);
    layout->addWidget(m_textEffects);
    layout->addLayout(place);
    layout->addStretch();
    setOverlaySettings(m_settings);
}

tools::OverlaySettings BatchOverlayPage::overlaySettings() const {
    tools::OverlaySettings s = m_settings;
    s.mode = static_cast<tools::OverlayMode>(std::max(0, m_mode->checkedId()));
    s.imagePath = shell::toPath(m_path->text().trimmed());
    s.text = m_text->toPlainText().toStdString();
    s.alignment = static_cast<tools::TextAlignment>(std::max(0, m_alignment->currentIndex()));
    s.horizontalAnchor = m_anchor->horizontal();
    s.verticalAnchor = m_anchor->vertical();
    s.horizontalSpacing = static_cast<std::uint32_t>(m_horizontalSpacing->value());
    s.verticalSpacing = static_cast<std::uint32_t>(m_verticalSpacing->value());
    return s;
}

void BatchOverlayPage::setOverlaySettings(const tools::OverlaySettings& s) {
    m_settings = s;
    if (QAbstractButton* mode = m_mode->button(int(s.mode))) mode->setChecked(true);
    m_path->setText(shell::toQString(s.imagePath));
    m_text->setPlainText(QString::fromStdString(s.text));
    m_alignment->setCurrentIndex(std::clamp(int(s.alignment), 0, 2));
    m_anchor->setAnchor(s.horizontalAnchor, s.verticalAnchor);
    m_anchorCaption->setText(m_anchor->caption());
    m_horizontalSpacing->setValue(int(std::min<std::uint32_t>(s.horizontalSpacing, kMaxSpacing)));
    m_verticalSpacing->setValue(int(std::min<std::uint32_t>(s.verticalSpacing, kMaxSpacing)));
    showFont();
    updateEnabled();
}

void BatchOverlayPage::updateEnabled() {
    const int mode = m_mode->checkedId();
    const bool image = mode == int(tools::OverlayMode::ImageFile);
    const bool text = mode == int(tools::OverlayMode::Text);
    m_path->setEnabled(image);
    m_browse->setEnabled(image);
    for (QWidget* w : {static_cast<QWidget*>(m_text), static_cast<QWidget*>(m_previewFont),
                       static_cast<QWidget*>(m_font), static_cast<QWidget*>(m_alignment),
                       static_cast<QWidget*>(m_textEffects)})
        w->setEnabled(text);
    const bool any = image || text;
    m_anchor->setEnabled(any);
    m_horizontalSpacing->setEnabled(any);
    m_verticalSpacing->setEnabled(any);
}

void BatchOverlayPage::browse() {
    const QString chosen =
        QFileDialog::getOpenFileName(this, tr("Specify the overlay image"), m_path->text(),
                                     qtFileFilter(image::fileDialogFilter()));
    if (!chosen.isEmpty()) m_path->setText(chosen);
}

void BatchOverlayPage::chooseFont() {
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, qtFontFrom(m_settings.font), this);
    if (!ok) return;
    m_settings.font = overlayFontFrom(chosen);
    showFont();
}

void BatchOverlayPage::showFont() {
    const tools::OverlayFont& f = m_settings.font;
    m_fontName->setText(
        tr("%1, %2 pt").arg(QString::fromStdString(f.family)).arg(f.pointSize, 0, 'g', 4));
    m_text->setFont(m_previewFont->isChecked() ? qtFontFrom(f) : font());
}

void BatchOverlayPage::editTextEffects() {
    TextOverlayEffectsDialog dialog(m_settings, this);
    if (dialog.exec() == QDialog::Accepted) dialog.store(m_settings);
}

}  // namespace kalder::gui
