#include "app/gui/status_bar.h"

#include <QLabel>
#include <QResizeEvent>
#include <QStringList>

#include "app/core/file_info_text.h"
#include "app/core/translatable.h"
#include "app/gui/translations.h"

namespace kalder::gui {
namespace {
constexpr int kGap = 2;
constexpr int kBorder = 2;
}  // namespace

StatusBar::StatusBar(QWidget* parent) : QFrame(parent) {
    for (QLabel*& part : m_parts) {
        part = new QLabel(this);
        part->setFrameShape(QFrame::StyledPanel);
        part->setFrameShadow(QFrame::Sunken);
        part->setContentsMargins(3, 0, 3, 0);
        part->setTextFormat(Qt::PlainText);
    }
    m_parts[0]->setAccessibleName(tr("Status"));
    m_parts[1]->setAccessibleName(tr("Viewing mode"));
    m_parts[2]->setAccessibleName(tr("Help"));
    m_facts = new QLabel(this);
    m_facts->setFrameShape(QFrame::StyledPanel);
    m_facts->setFrameShadow(QFrame::Sunken);
    m_facts->setContentsMargins(3, 0, 3, 0);
    m_facts->setTextFormat(Qt::PlainText);
    m_facts->setAccessibleName(tr("Image information"));
    m_facts->hide();
    setAccessibleName(tr("Status bar"));
    m_parts[2]->setText(coreText(app::kStatusBarContext, app::kStatusHelp));
    setFullScreenViewing(true);
    setFixedHeight(fontMetrics().height() + 8);
}

void StatusBar::setStatusText(const QString& text) {
    if (m_parts[0]->text() != text) m_parts[0]->setText(text);
}

QString StatusBar::statusText() const { return m_parts[0]->text(); }

void StatusBar::setFullScreenViewing(bool on) {
    m_parts[1]->setText(coreText(app::kStatusBarContext, app::statusModeText(on)));
}

QString StatusBar::partText(int part) const { return m_parts[part]->text(); }

void StatusBar::setImageFacts(const view::ImageFacts& facts) {
    const QString text = gui::imageFactsText(facts);
    if (text == m_facts->text()) return;
    m_facts->setText(text);
    m_facts->setHidden(text.isEmpty());
    placeParts();
}

QString StatusBar::imageFactsText() const { return m_facts->text(); }

QString imageFactsText(const view::ImageFacts& f) {
    QStringList parts;
    if (f.zoomPercent > 0) parts << StatusBar::tr("%1 %").arg(f.zoomPercent);
    if (f.width > 0 && f.height > 0)
        parts << StatusBar::tr("%1 \u00d7 %2").arg(f.width).arg(f.height);
    if (f.position > 0 && f.count > 0)
        parts << StatusBar::tr("%1 / %2").arg(f.position).arg(f.count);
    if (f.pages > 1)
        parts << (f.animation ? StatusBar::tr("frame %1 / %2") : StatusBar::tr("page %1 / %2"))
                     .arg(f.page)
                     .arg(f.pages);
    if (f.fileSize > 0) parts << QString::fromStdString(view::shortFileSize(f.fileSize));
    return parts.join(QStringLiteral("   "));
}

int StatusBar::partRight(int part) const {
    // The facts sit inside part 0's span.
    const QLabel* label = part == 0 && !m_facts->isHidden() ? m_facts : m_parts[part];
    return label->geometry().right() + 1;
}

void StatusBar::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    placeParts();
}

void StatusBar::placeParts() {
    const QFontMetrics fm = m_parts[0]->fontMetrics();
    app::StatusBarMetrics m;
    m.clientWidth = width();
    // The labels' own frame and margins count as part of each text.
    const int pad = 2 * m_parts[0]->frameWidth() + 6;
    m.helpTextWidth =
        fm.horizontalAdvance(coreText(app::kStatusBarContext, app::kStatusHelp)) + pad;
    m.fullScreenTextWidth =
        fm.horizontalAdvance(coreText(app::kStatusBarContext, app::kStatusFullScreen)) + pad;
    m.windowedTextWidth =
        fm.horizontalAdvance(coreText(app::kStatusBarContext, app::kStatusWindowed)) + pad;
    m.horizontalBorder = kBorder;
    m.gap = kGap;
    const app::StatusBarEdges e = app::statusBarPartEdges(m);
    const int h = height() - 2 * kBorder;
    const int right0 = std::max(kBorder + 1, e.part0Right);
    const int right1 = std::max(right0 + kGap + 1, e.part1Right);
    // The facts take the right end of part 0, never more than half of it: the status text and
    // the command prompts keep their place at the left.
    int factsWidth = 0;
    if (!m_facts->isHidden()) {
        factsWidth = std::min(fm.horizontalAdvance(m_facts->text()) + pad, (right0 - kBorder) / 2);
        m_facts->setGeometry(right0 - factsWidth, kBorder, factsWidth, h);
    }
    m_parts[0]->setGeometry(kBorder, kBorder, right0 - kBorder - factsWidth, h);
    m_parts[1]->setGeometry(right0 + kGap, kBorder, right1 - right0 - kGap, h);
    m_parts[2]->setGeometry(right1 + kGap, kBorder, width() - kBorder - right1 - kGap, h);
}

}  // namespace kalder::gui
