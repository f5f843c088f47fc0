#include "tools/convert/effects.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/translatable.h"
#include "image/sinks.h"

namespace kalder::tools {

namespace {

bool cancelled(const image::CancelSink* cancel) { return cancel && cancel->isCancelled(); }

// Looks every colour byte up in its channel's table; the fourth byte is left as it was.
bool applyTables(const std::array<std::array<std::uint8_t, 256>, 3>& tables,
                 const std::uint8_t* source, std::uint8_t* destination, std::int32_t width,
                 std::int32_t height, std::ptrdiff_t sourceStride, std::ptrdiff_t destinationStride,
                 const image::CancelSink* cancel) {
    for (std::int32_t y = 0; y < height; ++y) {
        const std::uint8_t* in = source + sourceStride * y;
        std::uint8_t* out = destination + destinationStride * y;
        for (std::int32_t x = 0; x < width; ++x, in += 4, out += 4) {
            out[0] = tables[0][in[0]];
            out[1] = tables[1][in[1]];
            out[2] = tables[2][in[2]];
            if (out != in) out[3] = in[3];
        }
        if (cancelled(cancel)) return false;
    }
    return true;
}

class GammaEffect final : public Effect {
public:
    enum : std::int32_t { Values = 0, Options = 1, Lock = 0, UseViewer = 1 };

    GammaEffect() { reset(); }
    std::unique_ptr<Effect> clone() const override { return std::make_unique<GammaEffect>(*this); }

    void reset() override {
        m_groups.assign(2, EffectGroup{});
        m_groups[Values].count = 3;
        for (std::int32_t i = 0; i < 3; ++i) m_groups[Values].items[i] = {0, 100, 75, true};
        m_groups[Options].count = 2;
        m_groups[Options].items[Lock] = {0, 1, 1, true};
        m_groups[Options].items[UseViewer] = {0, 1, 0, true};
    }

    void setParameter(std::int32_t group, std::int32_t item, std::int32_t value) override {
        if (group < 0 || group > Options || item < 0 || item >= m_groups[group].count) return;
        EffectItem& target = m_groups[group].items[item];
        value = std::clamp(value, target.minimum, target.maximum);
        if (group == Values && locked()) {
            for (std::int32_t i = 0; i < 3; ++i) m_groups[Values].items[i].value = value;
            return;
        }
        target.value = value;
        if (group == Options) settle();
    }

    void setViewerGamma(double gamma) { m_viewerGamma = gamma; }

    void prepare() override {
        for (std::int32_t channel = 0; channel < 3; ++channel) {
            // Tables are blue, green, red like the pixel bytes; the sliders are red, green, blue.
            double exponent = (100 - m_groups[Values].items[2 - channel].value) * 0.04;
            if (m_groups[Options].items[UseViewer].value != 0)
                // The viewer shows no gamma when its value is negative (or unset): identity.
                exponent = std::isfinite(m_viewerGamma) && m_viewerGamma >= 0 ? m_viewerGamma : 1.0;
            for (std::int32_t i = 0; i < 256; ++i) {
                const double v = std::clamp(std::pow(i / 255.0, exponent), 0.0, 1.0);
                m_tables[channel][i] = static_cast<std::uint8_t>(v * 255);
            }
        }
    }

    bool apply(const std::uint8_t* source, std::uint8_t* destination, std::int32_t width,
               std::int32_t height, std::ptrdiff_t sourceStride, std::ptrdiff_t destinationStride,
               const image::CancelSink* cancel) const override {
        return applyTables(m_tables, source, destination, width, height, sourceStride,
                           destinationStride, cancel);
    }

protected:
    void settle() override {
        const bool sliders = m_groups[Options].items[UseViewer].value == 0;
        for (std::int32_t i = 0; i < 3; ++i) m_groups[Values].items[i].enabled = sliders;
        if (locked())
            for (std::int32_t i = 1; i < 3; ++i)
                m_groups[Values].items[i].value = m_groups[Values].items[0].value;
    }

private:
    bool locked() const { return m_groups[Options].items[Lock].value != 0; }

    double m_viewerGamma = -1;
    std::array<std::array<std::uint8_t, 256>, 3> m_tables{};
};

class NegativeEffect final : public Effect {
public:
    NegativeEffect() {
        for (auto& table : m_tables)
            for (std::int32_t i = 0; i < 256; ++i) table[i] = static_cast<std::uint8_t>(255 - i);
    }
    std::unique_ptr<Effect> clone() const override {
        return std::make_unique<NegativeEffect>(*this);
    }
    void reset() override {}
    void setParameter(std::int32_t, std::int32_t, std::int32_t) override {}
    void prepare() override {}
    bool apply(const std::uint8_t* source, std::uint8_t* destination, std::int32_t width,
               std::int32_t height, std::ptrdiff_t sourceStride, std::ptrdiff_t destinationStride,
               const image::CancelSink* cancel) const override {
        return applyTables(m_tables, source, destination, width, height, sourceStride,
                           destinationStride, cancel);
    }

private:
    std::array<std::array<std::uint8_t, 256>, 3> m_tables{};
};

class BlackAndWhiteEffect final : public Effect {
public:
    BlackAndWhiteEffect() { prepare(); }
    std::unique_ptr<Effect> clone() const override {
        return std::make_unique<BlackAndWhiteEffect>(*this);
    }
    void reset() override {}
    void setParameter(std::int32_t, std::int32_t, std::int32_t) override {}
    // Each channel's share per byte value, so a pixel costs two additions; the sum is formed
    // in the same order as the luminance formula, so the results are the same.
    void prepare() override {
        for (std::int32_t i = 0; i < 256; ++i) {
            m_red[i] = i / 255.0 * 0.212671;
            m_green[i] = i / 255.0 * 0.71516;
            m_blue[i] = i / 255.0 * 0.072169;
        }
    }
    bool apply(const std::uint8_t* source, std::uint8_t* destination, std::int32_t width,
               std::int32_t height, std::ptrdiff_t sourceStride, std::ptrdiff_t destinationStride,
               const image::CancelSink* cancel) const override {
        for (std::int32_t y = 0; y < height; ++y) {
            const std::uint8_t* in = source + sourceStride * y;
            std::uint8_t* out = destination + destinationStride * y;
            for (std::int32_t x = 0; x < width; ++x, in += 4, out += 4) {
                const double luma = (m_red[in[2]] + m_green[in[1]] + m_blue[in[0]]) * 255;
                const auto v = static_cast<std::uint8_t>(std::clamp(luma, 0.0, 255.0));
                if (out != in) out[3] = in[3];
                out[0] = out[1] = out[2] = v;
            }
            if (cancelled(cancel)) return false;
        }
        return true;
    }

private:
    std::array<double, 256> m_red{}, m_green{}, m_blue{};
};

// A translation keeps the separators: "|" before each group, "~" before a slider's label (whose
// %i is the value), "#" before a check box's caption.
const std::array<std::string, EffectList::Count> kDescriptions = {
    QT_TRANSLATE_NOOP("Effects",
                      "Gamma|Values~Red: %i~Green: %i~Blue: %i|Options#Lock the values#Use the "
                      "viewer's current gamma"),
    QT_TRANSLATE_NOOP("Effects", "Negative"),
    QT_TRANSLATE_NOOP("Effects", "Black-and-white"),
};

constexpr std::int32_t kSerialVersion = 1;

bool validIndex(std::int32_t index) { return index >= 0 && index < EffectList::Count; }

}  // namespace

std::optional<EffectItem> Effect::parameter(std::int32_t group, std::int32_t item) const {
    if (group < 0 || static_cast<std::size_t>(group) >= m_groups.size()) return std::nullopt;
    const EffectGroup& g = m_groups[static_cast<std::size_t>(group)];
    if (item < 0 || item >= std::min<std::int32_t>(g.count, 4)) return std::nullopt;
    return g.items[static_cast<std::size_t>(item)];
}

EffectList::EffectList() {
    m_effects.push_back(std::make_unique<GammaEffect>());
    m_effects.push_back(std::make_unique<NegativeEffect>());
    m_effects.push_back(std::make_unique<BlackAndWhiteEffect>());
    m_checked.assign(Count, false);
    resetOrder();
}

EffectList::~EffectList() = default;

EffectList::EffectList(const EffectList& other)
    : m_checked(other.m_checked), m_order(other.m_order) {
    for (const auto& e : other.m_effects) m_effects.push_back(e->clone());
}

EffectList& EffectList::operator=(const EffectList& other) {
    if (this != &other) {
        EffectList copy(other);
        m_effects.swap(copy.m_effects);
        m_checked.swap(copy.m_checked);
        m_order.swap(copy.m_order);
    }
    return *this;
}

Effect& EffectList::effect(std::int32_t i) { return *m_effects.at(static_cast<std::size_t>(i)); }

const Effect& EffectList::effect(std::int32_t i) const {
    return *m_effects.at(static_cast<std::size_t>(i));
}

const std::string& EffectList::description(std::int32_t index) const {
    return kDescriptions.at(static_cast<std::size_t>(index));
}

bool EffectList::checked(std::int32_t index) const {
    return validIndex(index) && m_checked[static_cast<std::size_t>(index)];
}

void EffectList::setChecked(std::int32_t index, bool on) {
    if (validIndex(index)) m_checked[static_cast<std::size_t>(index)] = on;
}

void EffectList::setOrder(std::vector<std::int32_t> order) {
    if (order.size() != Count) return;
    std::vector<std::int32_t> sorted = order;
    std::sort(sorted.begin(), sorted.end());
    for (std::int32_t i = 0; i < Count; ++i)
        if (sorted[static_cast<std::size_t>(i)] != i) return;
    m_order = std::move(order);
}

void EffectList::resetOrder() { m_order = {Gamma, Negative, BlackAndWhite}; }

bool EffectList::anyChecked() const {
    return std::find(m_checked.begin(), m_checked.end(), true) != m_checked.end();
}

void EffectList::resetAll() {
    for (auto& e : m_effects) e->reset();
    m_checked.assign(Count, false);
}

void EffectList::setViewerGamma(double gamma) {
    static_cast<GammaEffect&>(*m_effects[Gamma]).setViewerGamma(gamma);
}

bool EffectList::ApplyChain(const std::uint8_t* source, std::uint8_t* destination,
                            std::int32_t width, std::int32_t height, std::ptrdiff_t sourceStride,
                            std::ptrdiff_t destinationStride,
                            const image::CancelSink* cancel) const {
    if (width <= 0 || height <= 0) return true;
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
    std::vector<std::uint8_t> work;
    bool first = true;
    for (const std::int32_t index : m_order) {
        if (!m_checked[static_cast<std::size_t>(index)]) continue;
        const std::unique_ptr<Effect> e = m_effects[static_cast<std::size_t>(index)]->clone();
        e->prepare();
        bool done;
        if (first) {
            done = e->apply(source, destination, width, height, sourceStride, destinationStride,
                            cancel);
            first = false;
        } else {
            // Later effects read what the earlier ones wrote; an effect that looks at its
            // neighbours must not see its own output.
            if (work.empty()) work.resize(rowBytes * static_cast<std::size_t>(height));
            for (std::int32_t y = 0; y < height; ++y)
                std::memcpy(work.data() + rowBytes * static_cast<std::size_t>(y),
                            destination + destinationStride * y, rowBytes);
            done = e->apply(work.data(), destination, width, height,
                            static_cast<std::ptrdiff_t>(rowBytes), destinationStride, cancel);
        }
        if (!done || cancelled(cancel)) return false;
    }
    return true;
}

// Layout: version, the checked flags, the processing order, then for every effect in creation
// order each of its items as value and enabled flag.
std::vector<std::int32_t> EffectList::serialize() const {
    std::vector<std::int32_t> out{kSerialVersion};
    for (const bool on : m_checked) out.push_back(on ? 1 : 0);
    out.insert(out.end(), m_order.begin(), m_order.end());
    for (const auto& e : m_effects)
        for (const EffectGroup& g : e->groups())
            for (std::int32_t i = 0; i < g.count; ++i) {
                out.push_back(g.items[static_cast<std::size_t>(i)].value);
                out.push_back(g.items[static_cast<std::size_t>(i)].enabled ? 1 : 0);
            }
    return out;
}

void EffectList::deserialize(const std::vector<std::int32_t>& values) {
    // Checked against a fresh list first, so a damaged record changes nothing.
    EffectList fresh;
    const std::vector<std::int32_t> shape = fresh.serialize();
    if (values.size() != shape.size() || values[0] != kSerialVersion) return;
    std::size_t pos = 1;
    std::vector<bool> checkedFlags;
    for (std::int32_t i = 0; i < Count; ++i, ++pos) {
        if (values[pos] != 0 && values[pos] != 1) return;
        checkedFlags.push_back(values[pos] == 1);
    }
    const std::vector<std::int32_t> order(
        values.begin() + static_cast<std::ptrdiff_t>(pos),
        values.begin() + static_cast<std::ptrdiff_t>(pos) + Count);
    fresh.setOrder(order);
    if (fresh.m_order != order) return;
    pos += Count;
    for (auto& e : fresh.m_effects)
        for (EffectGroup& g : e->m_groups)
            for (std::int32_t i = 0; i < g.count; ++i, pos += 2) {
                EffectItem& item = g.items[static_cast<std::size_t>(i)];
                if (values[pos] < item.minimum || values[pos] > item.maximum) return;
                if (values[pos + 1] != 0 && values[pos + 1] != 1) return;
                item.value = values[pos];
                item.enabled = values[pos + 1] == 1;
            }
    // Only the parameters are taken over: the viewer's gamma is no part of the record.
    for (std::size_t i = 0; i < m_effects.size(); ++i) {
        m_effects[i]->m_groups = fresh.m_effects[i]->m_groups;
        m_effects[i]->settle();
    }
    m_checked = std::move(checkedFlags);
    m_order = order;
}

}  // namespace kalder::tools
