#pragma once

#include <QRgb>
#include <QVector>
#include <QWidget>
#include <filesystem>
#include <memory>
#include <optional>

#include "view/osd_layout.h"
#include "view/render.h"
#include "view/view_geometry.h"

namespace kalder::image {
class Bitmap32;
}

namespace kalder::gui {

// The paging keys the viewing area hands to its owner.
enum class PagingKey { PageUp = 0, PageDown = 1, Home = 2, End = 3 };

// Shows one decoded Bitmap32 at an integer zoom: scrolled, centred, wrapped for panoramas,
// through the display table (gamma, negative), with the lens, the OSD and the load progress
// strip. Every number comes from view::ViewGeometry and the OSD layout; this class draws and
// routes events. It never owns the bitmap.
//
// The geometry, the zoom, the scroll position and the lens count device pixels, so on a scaled
// screen 1:1 puts one image pixel on one device pixel and a fitted image uses the screen's full
// detail. Qt's logical coordinates (events, update rectangles, the OSD icons) are converted at
// this class's boundary.
class ViewingArea : public QWidget {
    Q_OBJECT
public:
    explicit ViewingArea(QWidget* parent = nullptr);
    ~ViewingArea() override;
    // Paints the rows the loader wrote since the last paint.
    void progressiveRepaint();

    // --- the image ---
    // Shows a bitmap that must stay alive until Clear or the next SetImage.
    void SetImage(image::Bitmap32* bitmap, bool centerAndReset);
    void Clear();
    image::Bitmap32* image() const { return m_image; }

    // --- zoom and scroll ---
    // False when ignored (no image, lens on) or unchanged.
    bool SetZoom(view::Zoom zoom, bool anchorAtCursor);
    view::Zoom zoom() const { return m_geometry.zoom(); }
    void ScrollTo(int x, int y);
    view::Point scroll() const { return m_geometry.scroll(); }
    void SetPanoramaOffset(int offset);
    int panoramaOffset() const { return m_geometry.panoramaOffset(); }
    view::PixelSize DisplayedSize() const { return m_geometry.DisplayedSize(); }
    const view::ViewGeometry& geometry() const { return m_geometry; }
    // The client in device pixels: the logical size times the device pixel ratio, rounded
    // down so no partial pixel is counted; what the loader decodes a fitted image to.
    view::PixelSize clientSize() const { return m_geometry.clientSize(); }
    // The same rounding for any logical size at a given ratio (one not above 0 counts as 1).
    static view::PixelSize deviceSize(QSize logical, double ratio);
    double pixelRatio() const { return m_ratio; }

    // --- what is drawn ---
    // The exponent, or -1.0 for none; the scale position moves the gamma scale.
    void SetGamma(double value, int scalePosition);
    void SetInvert(bool invert);
    bool invert() const { return m_invert; }
    // The colour around the image; none: the palette's Window colour, as the desktop theme has it.
    void SetBackground(std::optional<image::ColorRef> colour);
    void SetWallpaper(bool on);
    void SetOsdSize(view::OsdSize size);
    // k: 0 flip horizontally, 1 flip vertically, 2 rotate clockwise, 3 counterclockwise;
    // negative hides the icon.
    void ShowOsdIcon(int k);
    int osdIcon() const { return m_osdIcon; }
    // Accepted only with an image at 1:1; turning off always works.
    bool SetLens(bool on);
    bool lens() const { return m_geometry.lens(); }
    void SetProgress(int percent);
    int progress() const { return m_progress; }
    // One line of facts over the picture's bottom left corner (the image information overlay);
    // empty hides it.
    void SetFactsOverlay(const QString& text);
    QString factsOverlay() const { return m_factsOverlay; }

    // The screen format the picture is converted to (32-bit on Linux); others for tests.
    void setDisplayFormat(view::DisplayFormat format, bool dither);
    view::DisplayFormat displayFormat() const { return m_buffer->format(); }

    // --- OSD facts, as the layout logic computes them for the current state ---
    // The layout is in logical coordinates: the icons keep their size on a scaled screen.
    int osdIconSide() const;
    view::OsdLayout osdLayout() const;
    view::OsdVisibility osdVisibility() const;
    bool gammaScaleShown() const;
    const image::Bitmap32& wallpaperTile() const { return *m_wallpaper; }

    // The whole paint routine for a client rectangle (logical coordinates); paintEvent calls
    // it, and so does the paint benchmark with a painter on an image.
    void paintArea(QPainter& painter, const QRect& update);

signals:
    // One per wheel notch of 120; forward = turned away from the user.
    void wheelNotch(bool forward, bool shiftHeld);
    void pagingKey(int key);  // a PagingKey
    void contextMenuRequested(const QPoint& globalPos);
    void deleteRequested();
    // A local file dropped on the area (its bytes, whatever their encoding).
    void fileDropped(const std::filesystem::path& path);
    void toggleBrowserRequested();
    void clientResized();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    bool syncClientSize();
    view::Point toDevice(const QPointF& logical) const;
    QRect toLogical(const image::PixelRect& device) const;
    int deviceOsdSide() const;
    void paintDevice(QPainter& painter, const QRect& client);
    void fillBackground(QPainter& painter, const QRect& rect);
    QColor backgroundColour() const;
    bool paintBitmap(QPainter& painter, const view::PaintJob& job);
    void paintLens(QPainter& painter, const view::LensLayout& lens, const QRect& update);
    void paintOsd(QPainter& painter);
    void paintProgress(QPainter& painter);
    void paintFactsOverlay(QPainter& painter);
    QRect factsOverlayRect() const;
    void updateCursorShape();
    void rebuildLut();
    bool lensShown() const;
    view::ProgressStrip progressStrip() const;

    view::ViewGeometry m_geometry;
    double m_ratio = 1.0;  // device pixels per logical pixel
    view::WheelAccumulator m_wheel;
    view::CursorIdle m_idle;
    image::Bitmap32* m_image = nullptr;
    QString m_factsOverlay;
    image::PixelRect m_shownRect;
    std::unique_ptr<image::Bitmap32> m_wallpaper;
    std::unique_ptr<view::DisplayBuffer> m_buffer;
    QVector<QRgb> m_palette;  // the 8-bit display palette, for format 1 only
    std::optional<view::DisplayLut> m_lut;

    double m_gamma = -1.0;
    int m_gammaPosition;
    bool m_invert = false;
    image::ColorRef m_background = 0;
    bool m_themeBackground = false;
    bool m_useWallpaper = false;
    view::OsdSize m_osdSize = view::OsdSize::Auto;
    int m_osdIcon = -1;
    int m_progress = -1;
    bool m_progressAtTop = false;

    bool m_dragging = false;
    view::Point m_dragLast;  // device pixels
    bool m_cursorHidden = false;
    int m_timer = 0;
};

}  // namespace kalder::gui
