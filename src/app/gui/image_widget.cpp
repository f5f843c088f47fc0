#include "app/gui/image_widget.h"

#include <mutex>

#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QTimerEvent>

#include "image/bitmap32.h"

namespace kalder::gui {

namespace {
constexpr int kRepaintIntervalMs = 100;
}

ImageWidget::ImageWidget(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_timer = startTimer(kRepaintIntervalMs);
}

void ImageWidget::setBitmap(image::Bitmap32* bitmap) {
    m_bitmap = bitmap;
    if (m_bitmap) m_bitmap->takeDirtyRect();
    update();
}

void ImageWidget::setBackground(const QColor& colour) {
    m_background = colour;
    update();
}

QRect ImageWidget::imageRect() const {
    if (!m_bitmap || m_bitmap->isEmpty()) return {};
    const int w = m_bitmap->width(), h = m_bitmap->height();
    return {(width() - w) / 2, (height() - h) / 2, w, h};
}

void ImageWidget::timerEvent(QTimerEvent* event) {
    if (event->timerId() != m_timer || !m_bitmap) return;
    const image::PixelRect dirty = m_bitmap->takeDirtyRect();
    if (dirty.isEmpty()) return;
    const QRect r = imageRect();
    update(QRect(r.left() + dirty.left, r.top() + dirty.top, dirty.right - dirty.left,
                 dirty.bottom - dirty.top));
}

void ImageWidget::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QRect r = imageRect();
    const QRegion margins = QRegion(event->rect()) - QRegion(r);
    for (const QRect& m : margins) painter.fillRect(m, m_background);
    if (r.isEmpty()) return;
    // Our pixels are blue, green, red, unused: the byte order of Qt's RGB32 on little-endian.
    std::lock_guard lock(m_bitmap->pixelLock());
    const QImage view(m_bitmap->pixels(), m_bitmap->width(), m_bitmap->height(),
                      static_cast<qsizetype>(m_bitmap->stride()), QImage::Format_RGB32);
    const QRect source = event->rect().intersected(r).translated(-r.topLeft());
    painter.drawImage(source.topLeft() + r.topLeft(), view, source);
}

}  // namespace kalder::gui
