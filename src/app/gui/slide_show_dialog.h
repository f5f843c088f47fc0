#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QRadioButton;
class QSlider;

namespace kalder::app {
struct Settings;
}

namespace kalder::gui {

// "Adjust Slide Show": the delay in seconds, the direction and whether to start over at
// the end. OK writes the three settings.
class SlideShowDialog : public QDialog {
    Q_OBJECT
public:
    SlideShowDialog(app::Settings& settings, QWidget* parent);

    QSlider* delay() const { return m_delay; }
    QLabel* delayLabel() const { return m_delayLabel; }

private:
    void store();

    app::Settings& m_settings;
    QSlider* m_delay = nullptr;
    QLabel* m_delayLabel = nullptr;
    QRadioButton* m_forward = nullptr;
    QRadioButton* m_backward = nullptr;
    QCheckBox* m_repeat = nullptr;
};

}  // namespace kalder::gui
