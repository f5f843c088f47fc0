#include "app/gui/viewing_area.h"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QImage>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QTimerEvent>
#include <QTransform>
#include <QUrl>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <mutex>

#include "app/gui/background_tile.h"
#include "app/gui/osd_art.h"
#include "image/bitmap32.h"
#include "shell/qt/qt_path.h"
#include "view/view_state.h"

namespace kalder::gui {

namespace {

constexpr int kTickMs = 100;

QRect toQRect(const image::PixelRect& r) {
    return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
}
image::PixelRect toPixelRect(const QRect& r) {
    return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}
QColor toQColor(image::ColorRef c) {
    return QColor(image::redOf(c), image::greenOf(c), image::blueOf(c));
}

QImage::Format qtFormat(view::DisplayFormat format) {
    switch (format) {
        case view::DisplayFormat::Bgr24:
            return QImage::Format_BGR888;
        case view::DisplayFormat::Palette8:
            return QImage::Format_Indexed8;
        case view::DisplayFormat::Rgb555:
            return QImage::Format_RGB555;
        case view::DisplayFormat::Rgb565:
            return QImage::Format_RGB16;
        case view::DisplayFormat::Bgrx32:
            return QImage::Format_RGB32;
    }
    return QImage::Format_RGB32;
}

// Draws what Paint produces with a QPainter: converted tiles 1:1, or the bitmap itself.
class PainterTarget final : public view::PaintTarget {
public:
    PainterTarget(QPainter& painter, const QVector<QRgb>& palette, view::DisplayBuffer& buffer,
                  view::Zoom zoom)
        : m_painter(painter), m_palette(palette), m_buffer(buffer), m_zoom(zoom) {}

    bool blitTile(const view::DisplayBuffer& buffer, view::PixelSize size,
                  view::Point dest) override {
        QImage tile(buffer.data(), size.width, size.height, static_cast<qsizetype>(buffer.stride()),
                    qtFormat(buffer.format()));
        if (tile.isNull()) return false;
        if (buffer.format() == view::DisplayFormat::Palette8) tile.setColorTable(m_palette);
        m_painter.drawImage(QPoint(dest.x, dest.y), tile);
        return true;
    }

    bool blitSource(const image::Bitmap32& source, const view::PixelRect& sourceRect,
                    const view::PixelRect& destRect) override {
        if (m_zoom.reduce && m_zoom.factor > 1) return reduceSource(source, sourceRect, destRect);
        // Our pixels are blue, green, red, unused: Qt's RGB32 on a little-endian machine.
        const QImage picture(source.pixels(), source.width(), source.height(),
                             static_cast<qsizetype>(source.stride()), QImage::Format_RGB32);
        if (picture.isNull()) return false;
        const QRect from = toQRect(sourceRect);
        if (m_zoom.factor == 1) {
            m_painter.drawImage(QPoint(destRect.left, destRect.top), picture, from);
        } else {
            // Integer magnification without smoothing repeats each pixel factor times.
            m_painter.drawImage(toQRect(destRect), picture, from);
        }
        return true;
    }

private:
    // Reduction takes every factor-th pixel from the rectangle's corner; Qt's own sampling
    // would pick from the middle of each block, so the tiles do the sampling instead.
    bool reduceSource(const image::Bitmap32& source, const view::PixelRect& rect,
                      const view::PixelRect& destRect) {
        const view::TileConverter converter(view::DisplayFormat::Bgrx32, false, nullptr);
        const std::int32_t f = m_zoom.factor;
        const std::int32_t step = view::DisplayBuffer::kSide * f;
        for (std::int32_t y = rect.top; y < rect.bottom; y += step) {
            for (std::int32_t x = rect.left; x < rect.right; x += step) {
                const view::PixelRect tile{x, y, std::min(rect.right, x + step),
                                           std::min(rect.bottom, y + step)};
                const view::PixelSize out =
                    converter.convert(source, tile, m_zoom, {0, 0}, m_buffer);
                if (!blitTile(
                        m_buffer, out,
                        {destRect.left + (x - rect.left) / f, destRect.top + (y - rect.top) / f}))
                    return false;
            }
        }
        return true;
    }

    QPainter& m_painter;
    const QVector<QRgb>& m_palette;
    view::DisplayBuffer& m_buffer;
    view::Zoom m_zoom;
};

}  // namespace

ViewingArea::ViewingArea(QWidget* parent)
    : QWidget(parent), m_gammaPosition(view::GammaScale::neutral()) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAcceptDrops(true);
    setCursor(Qt::OpenHandCursor);
    m_wallpaper = makeBackgroundTile();
    setDisplayFormat(view::DisplayFormat::Bgrx32, true);
    syncClientSize();
    m_timer = startTimer(kTickMs);
}

ViewingArea::~ViewingArea() {
    if (m_timer) killTimer(m_timer);
}

// --- the image ---

void ViewingArea::SetImage(image::Bitmap32* bitmap, bool centerAndReset) {
    if (!bitmap || bitmap->isEmpty()) {
        Clear();
        return;
    }
    m_geometry.SetImage({bitmap->width(), bitmap->height()}, centerAndReset);
    m_image = bitmap;
    // Everything is repainted now, so only rows written after this point count as new.
    m_shownRect = bitmap->dirtyRect();
    m_progress = -1;
    update();
}

void ViewingArea::Clear() {
    m_image = nullptr;
    m_geometry.Clear();
    m_shownRect = {};
    m_progress = -1;
    m_dragging = false;
    update();
}

// --- zoom and scroll ---

bool ViewingArea::SetZoom(view::Zoom zoom, bool anchorAtCursor) {
    if (anchorAtCursor) {
        m_idle.moved();
        m_cursorHidden = false;
        updateCursorShape();
    }
    if (!m_geometry.SetZoom(zoom, anchorAtCursor)) return false;
    update();
    return true;
}

void ViewingArea::ScrollTo(int x, int y) {
    if (!m_image) return;
    // Repainting the client costs less than a frame even with a table, and keeps the OSD,
    // the lens and the strip in place without scrolling them along.
    if (m_geometry.ScrollTo(x, y).changed) update();
}

void ViewingArea::SetPanoramaOffset(int offset) {
    if (offset == m_geometry.panoramaOffset()) return;
    m_geometry.SetPanoramaOffset(offset);
    if (m_image) update();
}

// --- what is drawn ---

void ViewingArea::SetGamma(double value, int scalePosition) {
    const bool changed = value != m_gamma || scalePosition != m_gammaPosition;
    m_gamma = value;
    m_gammaPosition = scalePosition;
    rebuildLut();
    if (changed) update();
}

void ViewingArea::SetInvert(bool invert) {
    if (invert == m_invert) return;
    m_invert = invert;
    rebuildLut();
    update();
}

void ViewingArea::rebuildLut() { m_lut = view::BuildLut(m_invert, m_gamma); }

void ViewingArea::SetBackground(std::optional<image::ColorRef> colour) {
    const bool theme = !colour;
    const image::ColorRef value = colour.value_or(m_background);
    if (theme == m_themeBackground && value == m_background) return;
    m_themeBackground = theme;
    m_background = value;
    update();
}

QColor ViewingArea::backgroundColour() const {
    return m_themeBackground ? palette().color(QPalette::Window) : toQColor(m_background);
}

void ViewingArea::SetWallpaper(bool on) {
    if (on == m_useWallpaper) return;
    m_useWallpaper = on && m_wallpaper;
    update();
}

void ViewingArea::SetOsdSize(view::OsdSize size) {
    m_osdSize = size;
    update();
}

void ViewingArea::ShowOsdIcon(int k) {
    const int icon = (k >= 0 && k <= 3) ? k : -1;
    if (icon == m_osdIcon) return;
    m_osdIcon = icon;
    update(toQRect(osdLayout().rotation));
}

bool ViewingArea::SetLens(bool on) {
    if (on == m_geometry.lens()) return true;
    if (!m_geometry.setLens(on)) return false;
    if (on) {
        const view::Point c = m_geometry.cursor();
        const view::PixelSize client = clientSize();
        if (c.x < 0 || c.y < 0 || c.x >= client.width || c.y >= client.height) {
            const QPoint p = mapFromGlobal(QCursor::pos());
            m_geometry.setCursor(rect().contains(p)
                                     ? toDevice(QPointF(p))
                                     : view::Point{client.width / 2, client.height / 2});
        }
    }
    updateCursorShape();
    update();
    return true;
}

void ViewingArea::SetProgress(int percent) {
    if (percent == m_progress) return;
    const QRect before = toLogical(progressStrip().area);
    m_progress = percent;
    update(before.united(toLogical(progressStrip().area)));
}

void ViewingArea::setDisplayFormat(view::DisplayFormat format, bool dither) {
    m_buffer = std::make_unique<view::DisplayBuffer>(format, dither);
    m_palette.clear();
    if (format == view::DisplayFormat::Palette8)
        for (const view::PaletteColour& c : view::displayPalette())
            m_palette.push_back(qRgb(c.red, c.green, c.blue));
    update();
}

// --- OSD facts ---

int ViewingArea::osdIconSide() const {
    const QScreen* s = screen();
    return view::osdIconSide(m_osdSize, s ? s->geometry().width() : 1024);
}

view::OsdLayout ViewingArea::osdLayout() const {
    const int side = osdIconSide();
    const QSize g = gammaScaleSize(side, view::GammaScale::last() + 1);
    return view::layoutOsd({width(), height()}, side, {g.width(), g.height()});
}

int ViewingArea::deviceOsdSide() const {
    return static_cast<int>(std::lround(osdIconSide() * m_ratio));
}

view::OsdVisibility ViewingArea::osdVisibility() const {
    // The icons keep their logical size; the arrows compare device-pixel scroll positions, so
    // everything is measured in device pixels here.
    view::OsdInputs in;
    in.iconSide = deviceOsdSide();
    in.osdOn = in.iconSide > 0;
    in.hasImage = m_image != nullptr;
    in.client = clientSize();
    const QSize g = gammaScaleSize(osdIconSide(), view::GammaScale::last() + 1);
    in.gammaScale = {static_cast<int>(std::lround(g.width() * m_ratio)),
                     static_cast<int>(std::lround(g.height() * m_ratio))};
    in.zoom = m_geometry.zoom();
    in.scroll = m_geometry.scroll();
    in.displayed = m_geometry.DisplayedSize();
    return view::osdVisibility(in);
}

bool ViewingArea::gammaScaleShown() const {
    // The scale tells the user the picture is not shown at its own gamma.
    return osdIconSide() > 0 && m_gammaPosition != view::GammaScale::neutral() &&
           osdVisibility().rotation;
}

// --- device pixels ---

view::PixelSize ViewingArea::deviceSize(QSize logical, double ratio) {
    if (!(ratio > 0.0)) ratio = 1.0;
    // Rounded down: a partial device pixel at the edge is not client area.
    return {static_cast<int>(std::floor(logical.width() * ratio + 1e-6)),
            static_cast<int>(std::floor(logical.height() * ratio + 1e-6))};
}

bool ViewingArea::syncClientSize() {
    const double ratio = devicePixelRatioF();
    m_ratio = ratio > 0.0 ? ratio : 1.0;
    const view::PixelSize client = deviceSize(size(), m_ratio);
    if (client == m_geometry.clientSize()) return false;
    m_geometry.setClientSize(client);
    return true;
}

view::Point ViewingArea::toDevice(const QPointF& logical) const {
    return {static_cast<int>(std::floor(logical.x() * m_ratio + 1e-6)),
            static_cast<int>(std::floor(logical.y() * m_ratio + 1e-6))};
}

QRect ViewingArea::toLogical(const image::PixelRect& device) const {
    if (device.isEmpty()) return {};
    if (m_ratio == 1.0) return toQRect(device);
    // The smallest logical rectangle holding every device pixel of the rectangle.
    const int left = static_cast<int>(std::floor(device.left / m_ratio));
    const int top = static_cast<int>(std::floor(device.top / m_ratio));
    const int right = static_cast<int>(std::ceil(device.right / m_ratio));
    const int bottom = static_cast<int>(std::ceil(device.bottom / m_ratio));
    return QRect(left, top, right - left, bottom - top);
}

// --- painting ---

view::ProgressStrip ViewingArea::progressStrip() const {
    return view::layoutProgressStrip(clientSize(), m_progressAtTop, m_progress, m_background);
}

bool ViewingArea::lensShown() const { return m_image && m_geometry.lens() && !m_dragging; }

bool ViewingArea::paintBitmap(QPainter& painter, const view::PaintJob& job) {
    PainterTarget target(painter, m_palette, *m_buffer, job.zoom);
    return view::Paint(job, *m_buffer, target);
}

void ViewingArea::fillBackground(QPainter& painter, const QRect& rect) {
    if (rect.isEmpty()) return;
    if (!m_useWallpaper) {
        painter.fillRect(rect, backgroundColour());
        return;
    }
    view::forEachWallpaperPiece(toPixelRect(rect),
                                [&](const image::PixelRect& tile, view::Point dest) {
                                    view::PaintJob job;
                                    job.source = m_wallpaper.get();
                                    job.sourceRect = tile;
                                    job.dest = dest;
                                    paintBitmap(painter, job);
                                });
}

void ViewingArea::paintEvent(QPaintEvent* event) {
    // The ratio changes without a resize when the window moves to another screen.
    if (syncClientSize()) emit clientResized();
    QPainter painter(this);
    paintArea(painter, event->rect());
}

void ViewingArea::paintArea(QPainter& painter, const QRect& update) {
    const QRect logical = rect().intersected(update);
    if (logical.isEmpty()) return;
    // Everything but the OSD is drawn in device pixels: the painter's own scaling is undone, so
    // the picture's pixels reach the screen as they are, never resampled by Qt.
    const view::PixelSize size = clientSize();
    const QRect client =
        QRect(QPoint(static_cast<int>(std::floor(logical.left() * m_ratio)),
                     static_cast<int>(std::floor(logical.top() * m_ratio))),
              QPoint(static_cast<int>(std::ceil((logical.right() + 1) * m_ratio)) - 1,
                     static_cast<int>(std::ceil((logical.bottom() + 1) * m_ratio)) - 1))
            .intersected(QRect(0, 0, size.width, size.height));
    painter.save();
    if (m_ratio != 1.0)
        painter.setWorldTransform(QTransform::fromScale(1.0 / m_ratio, 1.0 / m_ratio), true);
    // With a fractional ratio the widget may reach into one more device row and column than
    // the client counts; they get the background so nothing stale shows there.
    const QRect full(0, 0, static_cast<int>(std::ceil(width() * m_ratio)) + 1,
                     static_cast<int>(std::ceil(height() * m_ratio)) + 1);
    for (const QRect& r : QRegion(full) - QRegion(0, 0, size.width, size.height))
        painter.fillRect(r, backgroundColour());
    if (!client.isEmpty()) paintDevice(painter, client);
    painter.restore();
    paintOsd(painter);
}

void ViewingArea::paintDevice(QPainter& painter, const QRect& client) {
    const view::ProgressStrip strip = progressStrip();
    const image::PixelRect updateRect = toPixelRect(client);

    const bool lensOn = lensShown();
    std::optional<view::LensLayout> lens;
    if (lensOn) lens = m_geometry.lensLayout(m_geometry.cursor());
    painter.save();
    QRegion outside(client);
    if (lens) {
        // The main picture is not drawn under the lens.
        outside -= toQRect(lens->square);
        painter.setClipRegion(outside);
    }

    const view::RectList margins = m_geometry.backgroundRects(strip.area);
    for (std::int32_t i = 0; i < margins.count; ++i)
        fillBackground(painter, toQRect(margins.rects[i]).intersected(client));

    // Held for the picture's pixels only: the decoder writing the next rows waits meanwhile.
    std::unique_lock<std::mutex> lock;
    if (m_image) lock = std::unique_lock<std::mutex>(m_image->pixelLock());
    if (m_image) {
        if (const auto region = m_geometry.imagePaintRegion(updateRect)) {
            view::PaintJob job;
            job.source = m_image;
            job.zoom = m_geometry.zoom();
            job.sourceRect = region->source;
            job.dest = region->dest;
            job.ditherPhase = m_geometry.scroll();
            job.lut = m_lut ? &*m_lut : nullptr;
            job.panoramaOffset = m_geometry.panoramaOffset();
            paintBitmap(painter, job);
        }
    }
    painter.restore();
    if (lens) paintLens(painter, *lens, client);
    lock = {};
    paintProgress(painter);
    paintFactsOverlay(painter);
}

void ViewingArea::SetFactsOverlay(const QString& text) {
    if (text == m_factsOverlay) return;
    const QRect before = factsOverlayRect();
    m_factsOverlay = text;
    update(before.united(factsOverlayRect()));
}

QRect ViewingArea::factsOverlayRect() const {
    if (m_factsOverlay.isEmpty()) return {};
    const QFontMetrics fm = fontMetrics();
    const int pad = fm.height() / 4 + 2;
    const int w = std::min(width(), fm.horizontalAdvance(m_factsOverlay) + 2 * pad);
    const int h = fm.height() + 2 * pad;
    // Above the bottom edge, clear of the progress strip when it runs along the bottom.
    const int margin = pad + view::ProgressStrip::kHeight;
    return {margin, height() - h - margin, w, h};
}

void ViewingArea::paintFactsOverlay(QPainter& painter) {
    const QRect box = factsOverlayRect();
    if (box.isEmpty()) return;
    // The tooltip colours of the desktop's palette, the box half see-through so the picture
    // under it still shows.
    QColor fill = palette().color(QPalette::ToolTipBase);
    fill.setAlpha(200);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(box, 4, 4);
    painter.setPen(palette().color(QPalette::ToolTipText));
    painter.drawText(box, Qt::AlignCenter, m_factsOverlay);
    painter.restore();
}

void ViewingArea::paintLens(QPainter& painter, const view::LensLayout& lens, const QRect& update) {
    painter.save();
    painter.setClipRect(update);
    for (std::int32_t i = 0; i < lens.background.count; ++i)
        fillBackground(painter, toQRect(lens.background.rects[i]).intersected(update));
    if (lens.picture) {
        view::PaintJob job;
        job.source = m_image;
        job.zoom = view::Zoom{false, view::LensLayout::kMagnify};
        job.sourceRect = lens.picture->source;
        job.dest = lens.picture->dest;
        job.ditherPhase = m_geometry.scroll();
        job.lut = m_lut ? &*m_lut : nullptr;
        paintBitmap(painter, job);
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(palette().color(QPalette::Mid), 1));
    painter.drawLine(lens.frameLeft, lens.frameTop, lens.frameRight, lens.frameTop);
    painter.drawLine(lens.frameLeft, lens.frameBottom, lens.frameRight, lens.frameBottom);
    painter.drawLine(lens.frameLeft, lens.frameTop, lens.frameLeft, lens.frameBottom);
    painter.drawLine(lens.frameRight, lens.frameTop, lens.frameRight, lens.frameBottom);
    painter.restore();
}

void ViewingArea::paintProgress(QPainter& painter) {
    const view::ProgressStrip strip = progressStrip();
    if (strip.area.isEmpty()) return;
    painter.fillRect(toQRect(strip.area), backgroundColour());
    if (strip.line.isEmpty()) return;
    painter.fillRect(toQRect(strip.line), m_themeBackground ? palette().color(QPalette::Highlight)
                                                            : toQColor(strip.lineColour));
}

void ViewingArea::paintOsd(QPainter& painter) {
    const int side = osdIconSide();
    if (side <= 0) return;
    const view::OsdLayout layout = osdLayout();
    const view::OsdVisibility shown = osdVisibility();
    if (shown.up) drawOsdGlyph(painter, toQRect(layout.up), OsdGlyph::Up);
    if (shown.down) drawOsdGlyph(painter, toQRect(layout.down), OsdGlyph::Down);
    if (shown.left) drawOsdGlyph(painter, toQRect(layout.left), OsdGlyph::Left);
    if (shown.right) drawOsdGlyph(painter, toQRect(layout.right), OsdGlyph::Right);
    if (shown.rotation && m_osdIcon >= 0)
        drawOsdGlyph(painter, toQRect(layout.rotation), static_cast<OsdGlyph>(m_osdIcon + 4));
    if (gammaScaleShown())
        drawGammaScale(painter, toQRect(layout.gammaScale), m_gammaPosition,
                       view::GammaScale::neutral(), view::GammaScale::last());
}

// --- timer: progressive display and the idle cursor ---

void ViewingArea::timerEvent(QTimerEvent* event) {
    if (event->timerId() != m_timer) {
        QWidget::timerEvent(event);
        return;
    }
    progressiveRepaint();
    if (m_idle.tick(underMouse(), m_dragging, m_geometry.lens())) {
        m_cursorHidden = true;
        updateCursorShape();
    }
}

void ViewingArea::progressiveRepaint() {
    if (!m_image) return;
    const image::PixelRect dirty = m_image->dirtyRect();
    if (dirty == m_shownRect) return;
    // The loader grows the rectangle row by row (or column by column after a rotation): the
    // new part is what lies beyond the rectangle painted last time.
    image::PixelRect fresh = dirty;
    const image::PixelRect& old = m_shownRect;
    if (!old.isEmpty()) {
        if (old.left == dirty.left && old.right == dirty.right) {
            if (old.top == dirty.top)
                fresh.top = old.bottom;
            else if (old.bottom == dirty.bottom)
                fresh.bottom = old.top;
        } else if (old.top == dirty.top && old.bottom == dirty.bottom) {
            if (old.left == dirty.left)
                fresh.left = old.right;
            else if (old.right == dirty.right)
                fresh.right = old.left;
        }
    }
    m_shownRect = dirty;
    QRect area = toLogical(m_geometry.clientRectForImageRect(fresh));
    // With a panorama shift the columns land elsewhere; the rows are the same.
    if (m_geometry.panoramaOffset() != 0 && !area.isEmpty())
        area = QRect(0, area.top(), width(), area.height());
    if (!area.isEmpty()) repaint(area);
}

void ViewingArea::updateCursorShape() {
    if (m_dragging)
        setCursor(Qt::ClosedHandCursor);
    else if (m_geometry.lens() || m_cursorHidden)
        setCursor(Qt::BlankCursor);
    else
        setCursor(Qt::OpenHandCursor);
}

// --- events ---

void ViewingArea::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    syncClientSize();
    if (const QScreen* s = screen()) {
        const QRect screenRect = s->geometry();
        auto visible = [&](int x, int y) { return screenRect.contains(mapToGlobal(QPoint(x, y))); };
        const int r = std::max(0, width() - 1), b = std::max(0, height() - 1);
        m_progressAtTop = view::progressStripAtTop(visible(0, 0) && visible(r, 0),
                                                   visible(0, b) && visible(r, b));
    }
    emit clientResized();
}

void ViewingArea::keyPressEvent(QKeyEvent* event) {
    // Keys with modifiers are shortcuts of the window (Shift+Left scrolls the panorama, ...).
    if ((event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
        event->ignore();
        return;
    }
    using Arrow = view::ViewGeometry::Arrow;
    auto arrow = [&](Arrow a) {
        const view::Point p = m_geometry.arrowKeyTarget(a);
        ScrollTo(p.x, p.y);
    };
    switch (event->key()) {
        case Qt::Key_Left:
            arrow(Arrow::Left);
            break;
        case Qt::Key_Right:
            arrow(Arrow::Right);
            break;
        case Qt::Key_Up:
            arrow(Arrow::Up);
            break;
        case Qt::Key_Down:
            arrow(Arrow::Down);
            break;
        case Qt::Key_PageUp:
            emit pagingKey(static_cast<int>(PagingKey::PageUp));
            break;
        case Qt::Key_PageDown:
            emit pagingKey(static_cast<int>(PagingKey::PageDown));
            break;
        case Qt::Key_Home:
            emit pagingKey(static_cast<int>(PagingKey::Home));
            break;
        case Qt::Key_End:
            emit pagingKey(static_cast<int>(PagingKey::End));
            break;
        case Qt::Key_Delete:
            emit deleteRequested();
            break;
        default:
            event->ignore();
            return;
    }
    event->accept();
}

void ViewingArea::wheelEvent(QWheelEvent* event) {
    m_geometry.setCursor(toDevice(event->position()));
    const std::int32_t notches = m_wheel.add(event->angleDelta().y());
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    for (std::int32_t i = 0; i < notches; ++i) emit wheelNotch(true, shift);
    for (std::int32_t i = 0; i > notches; --i) emit wheelNotch(false, shift);
    event->accept();
}

void ViewingArea::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    m_dragging = true;
    m_dragLast = toDevice(event->position());
    updateCursorShape();
    // The lens steps aside while the image is dragged.
    if (m_geometry.lens())
        update(toLogical(view::ViewGeometry::lensRepaintRect(m_geometry.cursor())));
}

void ViewingArea::mouseMoveEvent(QMouseEvent* event) {
    const view::Point p = toDevice(event->position());
    const view::Point old = m_geometry.cursor();
    m_geometry.setCursor(p);
    m_idle.moved();
    if (m_cursorHidden) {
        m_cursorHidden = false;
        updateCursorShape();
    }
    if (m_dragging) {
        const view::Point last = m_dragLast;
        m_dragLast = p;
        const view::Point s = m_geometry.scroll();
        ScrollTo(s.x - (p.x - last.x), s.y - (p.y - last.y));
    } else if (lensShown()) {
        update(toLogical(view::ViewGeometry::lensRepaintRect(old)));
        update(toLogical(view::ViewGeometry::lensRepaintRect(m_geometry.cursor())));
    }
}

void ViewingArea::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_dragging) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    m_dragging = false;
    m_geometry.setCursor(toDevice(event->position()));
    updateCursorShape();
    if (m_geometry.lens())
        update(toLogical(view::ViewGeometry::lensRepaintRect(m_geometry.cursor())));
}

void ViewingArea::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) emit toggleBrowserRequested();
}

void ViewingArea::leaveEvent(QEvent* event) {
    m_idle.moved();
    if (m_cursorHidden) {
        m_cursorHidden = false;
        updateCursorShape();
    }
    QWidget::leaveEvent(event);
}

void ViewingArea::contextMenuEvent(QContextMenuEvent* event) {
    emit contextMenuRequested(event->globalPos());
    event->accept();
}

void ViewingArea::dragEnterEvent(QDragEnterEvent* event) {
    const QMimeData* mime = event->mimeData();
    if (mime && mime->hasUrls())
        for (const QUrl& url : mime->urls())
            if (url.isLocalFile()) {
                event->acceptProposedAction();
                return;
            }
}

void ViewingArea::dropEvent(QDropEvent* event) {
    const QMimeData* mime = event->mimeData();
    if (!mime) return;
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile()) {
            event->acceptProposedAction();
            emit fileDropped(shell::toPath(url));
            return;
        }
    }
}

}  // namespace kalder::gui
