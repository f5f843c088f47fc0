#pragma once

#include <QWidget>
#include <cstdint>
#include <optional>

namespace kalder::gui {

// The strip under the image with the file's name and description, in white or black as the
// background's brightness asks. A click on it toggles the properties panel.
class NameBar : public QWidget {
    Q_OBJECT
public:
    explicit NameBar(QWidget* parent = nullptr);

    // 0x00BBGGRR, as the settings keep colours; none: the palette's Window and WindowText.
    void setBackgroundColor(std::optional<std::uint32_t> colour);
    // The file name (with extension; it is dropped here) and its description.
    void setFile(const QString& fileName, const QString& description);
    QString text() const { return m_text; }
    QColor textColor() const;
    QColor backgroundColor() const;

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    std::optional<std::uint32_t> m_background = 0;
    QString m_text;
};

}  // namespace kalder::gui
