#pragma once

#include <QWidget>

namespace kalder::image {
class Bitmap32;
}

namespace kalder::gui {

// Shows one decoded bitmap centred on the background colour, repainting the rows the loader
// has finished since the last tick.
class ImageWidget : public QWidget {
    Q_OBJECT
public:
    explicit ImageWidget(QWidget* parent = nullptr);

    // The bitmap must outlive its display; pass nullptr to clear.
    void setBitmap(image::Bitmap32* bitmap);
    image::Bitmap32* bitmap() const { return m_bitmap; }
    void setBackground(const QColor& colour);

protected:
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    QRect imageRect() const;

    image::Bitmap32* m_bitmap = nullptr;
    QColor m_background = Qt::black;
    int m_timer = 0;
};

}  // namespace kalder::gui
