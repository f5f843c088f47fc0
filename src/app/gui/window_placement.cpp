#include "app/gui/window_placement.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "view/view_geometry.h"

namespace kalder::gui {

namespace {

class ScreenKeeper : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // Show arrives before the window is mapped, so the window appears in its place.
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto* widget = static_cast<QWidget*>(watched);
            const Qt::WindowType type = widget->windowType();
            if (widget->isWindow() &&
                (type == Qt::Window || type == Qt::Dialog || type == Qt::Tool))
                placeOnScreen(*widget);
        }
        return QObject::eventFilter(watched, event);
    }
};

}  // namespace

void placeOnScreen(QWidget& window) {
    if (window.windowState() & (Qt::WindowFullScreen | Qt::WindowMaximized)) return;
    const QScreen* screen = window.screen();
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    // The frame counts: the title bar must stay reachable.
    const QRect frame = window.frameGeometry();
    const view::PixelRect placed =
        view::placeWithin({frame.left(), frame.top(), frame.right() + 1, frame.bottom() + 1},
                          {area.left(), area.top(), area.right() + 1, area.bottom() + 1});
    const QSize margins = frame.size() - window.size();
    const QSize size(placed.right - placed.left - margins.width(),
                     placed.bottom - placed.top - margins.height());
    if (size != window.size()) window.resize(size.expandedTo(window.minimumSize()));
    if (QPoint(placed.left, placed.top) != frame.topLeft()) window.move(placed.left, placed.top);
}

void keepWindowsOnScreen() {
    static ScreenKeeper* keeper = nullptr;
    if (keeper || !qApp) return;
    keeper = new ScreenKeeper(qApp);
    qApp->installEventFilter(keeper);
}

}  // namespace kalder::gui
