#pragma once

#include <QDialog>
#include <QString>
#include <QWidget>

#include "image/image_page.h"

class QLabel;

namespace kalder::gui {

// The owner-drawn 16 x 16 swatch grid: black, a swatch per palette entry, a white frame round
// the selected one. A click on a swatch selects it.
class PaletteGridWidget : public QWidget {
    Q_OBJECT
public:
    PaletteGridWidget(const image::Palette& palette, int entryCount, QWidget* parent = nullptr);
    int selected() const { return m_selected; }

signals:
    void selectionChanged(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    image::Palette m_palette;
    int m_entryCount;
    int m_selected = 0;
};

// "<file> - palette": the colour table of a page of at most 8 bits per pixel, the selected
// entry's index and colour, and the transparent entry.
class PaletteDialog : public QDialog {
    Q_OBJECT
public:
    PaletteDialog(const QString& fileName, const image::ImagePage& page, QWidget* parent = nullptr);

    // Runs the dialog for `page`; false, showing nothing, for a page with more than 8 bits.
    static bool showFor(const QString& fileName, const image::ImagePage& page, QWidget* parent);

    PaletteGridWidget* grid() const { return m_grid; }
    QString colorText() const;
    QString transparentText() const;

private:
    void updateTexts();

    image::Palette m_palette;
    int m_transparentIndex;
    PaletteGridWidget* m_grid = nullptr;
    QLabel* m_color = nullptr;
    QLabel* m_transparent = nullptr;
};

}  // namespace kalder::gui
