#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kalder::image {
class CancelSink;
}

namespace kalder::tools {

// One parameter of an effect.
struct EffectItem {
    std::int32_t minimum = 0;
    std::int32_t maximum = 0;
    std::int32_t value = 0;
    bool enabled = true;
};

// A parameter group: up to four items (sliders or check boxes, as the description says).
struct EffectGroup {
    std::int32_t count = 0;
    std::array<EffectItem, 4> items{};
};

// A pixel effect on 32-bit rows (blue, green, red, unused). It owns its parameter table; the
// dialog reads and sets parameters by (group, item) and the effect keeps them consistent
// (Gamma's "Lock the values", for instance).
class Effect {
public:
    virtual ~Effect() = default;
    // A copy with the same parameters (a chain prepares copies, so one list can serve the
    // preview and a conversion at once).
    virtual std::unique_ptr<Effect> clone() const = 0;
    virtual void reset() = 0;
    // The item's value with its range; nullopt when (group, item) does not exist.
    std::optional<EffectItem> parameter(std::int32_t group, std::int32_t item) const;
    virtual void setParameter(std::int32_t group, std::int32_t item, std::int32_t value) = 0;
    // Builds the lookup tables from the parameters; call before apply.
    virtual void prepare() = 0;
    // Reads `source` rows, writes `destination` rows (they may be the same buffer). Polls
    // `cancel` after each row; false when cancelled.
    virtual bool apply(const std::uint8_t* source, std::uint8_t* destination, std::int32_t width,
                       std::int32_t height, std::ptrdiff_t sourceStride,
                       std::ptrdiff_t destinationStride, const image::CancelSink* cancel) const = 0;
    const std::vector<EffectGroup>& groups() const { return m_groups; }

protected:
    friend class EffectList;
    // Makes the parameters consistent again after they were restored one by one.
    virtual void settle() {}

    std::vector<EffectGroup> m_groups;
};

// The parsed description of an effect ("Name|Group~item~item|Group#box#box").
struct EffectDescription {
    enum class Kind { Sliders, CheckBoxes };
    struct Group {
        std::string title;
        Kind kind = Kind::Sliders;
        std::vector<std::string> items;  // printf formats (sliders) or captions (check boxes)
    };
    std::string name;
    std::vector<Group> groups;
};
EffectDescription parseEffectDescription(std::string_view description);
// A slider's label: the item's printf format with the value, or the value's choice when the
// text holds grave accents ("Mode`off`on" with 1 -> "on").
std::string sliderLabel(std::string_view itemText, std::int32_t value);

// The three effects in creation order, each with its description, checked flag and place in the
// processing order.
class EffectList {
public:
    enum Index { Gamma = 0, Negative = 1, BlackAndWhite = 2, Count = 3 };

    EffectList();
    ~EffectList();
    EffectList(const EffectList& other);
    EffectList& operator=(const EffectList& other);

    std::int32_t size() const { return Count; }
    Effect& effect(std::int32_t index);
    const Effect& effect(std::int32_t index) const;
    const std::string& description(std::int32_t index) const;
    bool checked(std::int32_t index) const;
    void setChecked(std::int32_t index, bool on);
    // Effect indexes in processing order.
    const std::vector<std::int32_t>& order() const { return m_order; }
    void setOrder(std::vector<std::int32_t> order);  // ignored unless a permutation
    void resetOrder();
    bool anyChecked() const;
    // "Reset all": every effect to its defaults and unchecked.
    void resetAll();
    // The viewer's current gamma, used by Gamma when "Use the viewer's current gamma" is on.
    void setViewerGamma(double gamma);

    // Applies the checked effects in processing order (each through a prepared copy, so the
    // list itself is not changed). Nothing is written when none is checked. False when `cancel`
    // stopped the chain.
    bool ApplyChain(const std::uint8_t* source, std::uint8_t* destination, std::int32_t width,
                    std::int32_t height, std::ptrdiff_t sourceStride,
                    std::ptrdiff_t destinationStride, const image::CancelSink* cancel) const;

    // The settings record keeps the list as 32-bit values (checked flags, order, parameters);
    // these turn it into that form and back. A record of the wrong size or version, or with any
    // value out of its range, is ignored as a whole.
    std::vector<std::int32_t> serialize() const;
    void deserialize(const std::vector<std::int32_t>& values);

private:
    std::vector<std::unique_ptr<Effect>> m_effects;
    std::vector<bool> m_checked;
    std::vector<std::int32_t> m_order;
};

}  // namespace kalder::tools
