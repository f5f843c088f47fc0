#pragma once

#include <QDialog>
#include <QImage>
#include <QPointer>
#include <QWidget>
#include <array>
#include <vector>

#include "app/gui/dialogs/dialog_base.h"
#include "tools/convert/effects.h"

class QCheckBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QSlider;
class QSpinBox;

namespace kalder::image {
class Bitmap32;
}

namespace kalder::gui {

class ToolContext;

// "Effects Preview": the viewer's image, reduced to fit, with the checked effects applied.
class EffectsPreview : public QWidget {
    Q_OBJECT
public:
    explicit EffectsPreview(QWidget* parent);
    // A reduced copy of `bitmap` (null: nothing to show) becomes the picture the effects work on.
    void setSource(const image::Bitmap32* bitmap);
    // Shows the source with the chain applied.
    void applyEffects(const tools::EffectList& effects);
    // Shows the window, centred on the screen the first time.
    void showPreview();
    const QImage& shown() const { return m_shown; }
    const QImage& source() const { return m_source; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_source;  // 32-bit, blue, green, red, 0xFF in memory, as our pixels are
    QImage m_shown;
    bool m_placed = false;
};

// "Effect Processing Order": the effect names in their processing order, to be rearranged.
class EffectOrderDialog : public DialogBase {
    Q_OBJECT
public:
    // `names` in creation order; `order` the indexes into them in processing order.
    EffectOrderDialog(const std::vector<QString>& names, const std::vector<std::int32_t>& order,
                      QWidget* parent);
    std::vector<std::int32_t> order() const;

private:
    void move(int step);
    void resetOrder();

    std::vector<QString> m_names;
    QListWidget* m_list = nullptr;
};

// The "Effects" page of the Batch Convertor: the effects with their check boxes, the selected
// effect's parameter groups and the controls of the chosen group, built from its description.
class BatchEffectsPage : public QWidget {
    Q_OBJECT
public:
    BatchEffectsPage(ToolContext& context, QWidget* parent);
    ~BatchEffectsPage() override;

    const tools::EffectList& effects() const { return m_effects; }
    void setEffects(const tools::EffectList& effects);
    // The viewer shows another image: the preview follows it.
    void refreshPreview();
    void hidePreview();
    EffectsPreview* preview() const { return m_preview; }

private:
    struct SliderRow {
        QLabel* label = nullptr;
        QSlider* slider = nullptr;
        QSpinBox* spin = nullptr;
    };

    void fillEffects();
    void effectSelected();
    void fillGroups();
    // Shows the chosen group's controls with the effect's current values and enabled flags.
    void showGroup();
    void setItem(int item, int value);
    void effectToggled(QListWidgetItem* item);
    void resetAll();
    void uncheckAll();
    void resetSelected();
    void showPreviewWindow();
    void editOrder();
    void effectsChanged();
    bool ask(const QString& question);
    int currentEffect() const;
    int currentGroup() const;

    ToolContext& m_context;
    tools::EffectList m_effects;
    std::vector<tools::EffectDescription> m_descriptions;
    QListWidget* m_list = nullptr;
    QListWidget* m_groups = nullptr;
    std::array<SliderRow, 3> m_sliders{};
    std::array<QCheckBox*, 4> m_boxes{};
    QPointer<EffectsPreview> m_preview;
    bool m_updating = false;
};

}  // namespace kalder::gui
