#include "app/gui/status_bar.h"

#include <QLabel>
#include <QResizeEvent>

#include "app/core/file_info_text.h"

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
    m_parts[2]->setText(QString::fromLatin1(app::kStatusHelp));
    setFullScreenViewing(true);
    setFixedHeight(fontMetrics().height() + 8);
}

void StatusBar::setStatusText(const QString& text) {
    if (m_parts[0]->text() != text) m_parts[0]->setText(text);
}

QString StatusBar::statusText() const { return m_parts[0]->text(); }

void StatusBar::setFullScreenViewing(bool on) {
    const std::string_view t = app::statusModeText(on);
    m_parts[1]->setText(QString::fromLatin1(t.data(), static_cast<qsizetype>(t.size())));
}

QString StatusBar::partText(int part) const { return m_parts[part]->text(); }

int StatusBar::partRight(int part) const { return m_parts[part]->geometry().right() + 1; }

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
    m.helpTextWidth = fm.horizontalAdvance(QString::fromLatin1(app::kStatusHelp)) + pad;
    m.fullScreenTextWidth = fm.horizontalAdvance(QString::fromLatin1(app::kStatusFullScreen)) + pad;
    m.windowedTextWidth = fm.horizontalAdvance(QString::fromLatin1(app::kStatusWindowed)) + pad;
    m.horizontalBorder = kBorder;
    m.gap = kGap;
    const app::StatusBarEdges e = app::statusBarPartEdges(m);
    const int h = height() - 2 * kBorder;
    const int right0 = std::max(kBorder + 1, e.part0Right);
    const int right1 = std::max(right0 + kGap + 1, e.part1Right);
    m_parts[0]->setGeometry(kBorder, kBorder, right0 - kBorder, h);
    m_parts[1]->setGeometry(right0 + kGap, kBorder, right1 - right0 - kGap, h);
    m_parts[2]->setGeometry(right1 + kGap, kBorder, width() - kBorder - right1 - kGap, h);
}

}  // namespace kalder::gui
