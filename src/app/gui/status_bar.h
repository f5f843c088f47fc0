#pragma once

#include <QFrame>

class QLabel;

namespace kalder::gui {

// The browser's status bar: part 0 the status text, part 1 the viewing mode, part 2 the help
// hint. The part edges follow the widths of the fixed texts in the bar's font.
class StatusBar : public QFrame {
    Q_OBJECT
public:
    explicit StatusBar(QWidget* parent = nullptr);

    // Part 0; the label is touched only when the text differs.
    void setStatusText(const QString& text);
    QString statusText() const;
    void setFullScreenViewing(bool on);
    QString partText(int part) const;
    // The right edge of part 0 or 1 in the bar's coordinates.
    int partRight(int part) const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void placeParts();

    QLabel* m_parts[3] = {};
};

}  // namespace kalder::gui
