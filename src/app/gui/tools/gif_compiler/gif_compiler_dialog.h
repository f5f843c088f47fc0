#pragma once

#include <QElapsedTimer>
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "app/gui/dialogs/dialog_base.h"
#include "tools/gif_compiler/gif_compiler.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTimer;

namespace kalder::gui {

class ToolContext;

// The tool's options in the settings record (16 numbers): 0 palette (list position), 1 colour
// depth (list position, bits - 1), 2 dithering (list position), 3 interlaced, 4 minimise,
// 5 separate palettes, 6 transparency mode, 7 transparent colour (0x00BBGGRR), 8 transparent
// palette index; the rest unused. The defaults 0, 7, 0, 0, 1 are "Optimized", 256 colours, no
// dithering, not interlaced, minimised.
tools::AnimationOptions animationOptionsFrom(const std::array<std::int32_t, 16>& stored);
void storeAnimationOptions(const tools::AnimationOptions& options,
                           std::array<std::int32_t, 16>& stored);

// "GIF Animation Compiler": the frames of the selected files with their delays and disposal
// methods, the output file and the format; "&Compile" writes the file and closes the dialog.
class GifCompilerDialog : public DialogBase {
    Q_OBJECT
public:
    GifCompilerDialog(std::vector<tools::AnimationFrame> frames,
                      const tools::AnimationOptions& options, QWidget* parent = nullptr);
    ~GifCompilerDialog() override;

    // What the pages show now.
    tools::AnimationOptions options() const;
    const std::vector<tools::AnimationFrame>& frames() const { return m_frames; }
    int currentFrame() const { return m_current; }
    void showFrame(int index);
    bool animating() const;
    // The animation moves on by `ms` milliseconds (the timer calls this with the time passed).
    void advanceAnimation(qint64 ms);

    // The "&Compile" button.
    void Compile();

protected:
    QString helpTopic() const override;
    void done(int result) override;

private:
    QWidget* buildGeneral();
    QWidget* buildFrames();
    QWidget* buildFormat();
    void applyDelayToAll();
    void applyDisposalToAll();
    void toggleAnimation();
    void paletteChanged();
    void ditherChanged();
    void separateChanged();
    void browse();
    void transparencyOptions();
    void storeCurrentFrame();

    std::vector<tools::AnimationFrame> m_frames;
    tools::AnimationOptions m_options;
    int m_current = 0;
    qint64 m_elapsed = 0;  // since the animation showed the current frame
    bool m_updating = false;

    QTabWidget* m_tabs = nullptr;
    QLineEdit* m_output = nullptr;
    QPlainTextEdit* m_comments = nullptr;
    QLabel* m_view = nullptr;
    QLabel* m_position = nullptr;
    QSpinBox* m_delay = nullptr;
    QComboBox* m_disposal = nullptr;
    QPushButton* m_animate = nullptr;
    QTimer* m_timer = nullptr;
    QElapsedTimer m_clock;
    QComboBox* m_palette = nullptr;
    QComboBox* m_depth = nullptr;
    QComboBox* m_dither = nullptr;
    QCheckBox* m_interlaced = nullptr;
    QCheckBox* m_minimize = nullptr;
    QCheckBox* m_loop = nullptr;
    QCheckBox* m_separate = nullptr;
};

// Registers "&GIF Animation Compiler..." with the window.
void registerGifCompiler(ToolContext& context);

}  // namespace kalder::gui
