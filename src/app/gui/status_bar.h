#pragma once

#include <QFrame>

#include "view/image_facts.h"

class QLabel;

namespace kalder::gui {

// The browser's status bar: part 0 the status text, part 1 the viewing mode, part 2 the help
// hint. The part edges follow the widths of the fixed texts in the bar's font. The image's
// facts (zoom, size, place, page, file size) take the right end of part 0 when there are any.
class StatusBar : public QFrame {
    Q_OBJECT
public:
    explicit StatusBar(QWidget* parent = nullptr);

    // Part 0; the label is touched only when the text differs.
    void setStatusText(const QString& text);
    QString statusText() const;
    void setFullScreenViewing(bool on);
    QString partText(int part) const;
    void setImageFacts(const view::ImageFacts& facts);
    QString imageFactsText() const;
    // The right edge of part 0 or 1 in the bar's coordinates.
    int partRight(int part) const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void placeParts();

    QLabel* m_parts[3] = {};
    QLabel* m_facts = nullptr;
};

// "25 %  6000 × 4000  3 / 120  page 1 / 3  2.8 MB": the facts that are known.
QString imageFactsText(const view::ImageFacts& facts);

}  // namespace kalder::gui
