#include "app/gui/name_bar.h"

#include <QMouseEvent>
#include <QPainter>

#include "app/core/file_info_text.h"

namespace kalder::gui {
namespace {
QColor fromColorRef(std::uint32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }
}  // namespace

NameBar::NameBar(QWidget* parent) : QWidget(parent) {
    setFixedHeight(fontMetrics().height() + 1);
    setCursor(Qt::ArrowCursor);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void NameBar::setBackgroundColor(std::optional<std::uint32_t> colour) {
    m_background = colour;
    update();
}

void NameBar::setFile(const QString& fileName, const QString& description) {
    const QByteArray name = fileName.toUtf8();
    const QByteArray desc = description.toUtf8();
    m_text =
        QString::fromStdString(app::nameBarText(std::string_view(name.constData(), name.size()),
                                                std::string_view(desc.constData(), desc.size())));
    update();
}

QColor NameBar::textColor() const {
    if (!m_background) return palette().color(QPalette::WindowText);
    return fromColorRef(app::nameBarTextColor(*m_background));
}
QColor NameBar::backgroundColor() const {
    return m_background ? fromColorRef(*m_background) : palette().color(QPalette::Window);
}

void NameBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), backgroundColor());
    p.setPen(textColor());
    p.drawText(rect().adjusted(4, 0, -4, 0), Qt::AlignLeft | Qt::AlignVCenter, m_text);
}

void NameBar::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) emit clicked();
}

}  // namespace kalder::gui
