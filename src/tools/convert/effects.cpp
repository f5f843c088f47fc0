// Placeholder bodies until the effects land; the real ones replace this file.
#include "tools/convert/effects.h"

namespace kalder::tools {

std::optional<EffectItem> Effect::parameter(std::int32_t, std::int32_t) const { return {}; }
EffectDescription parseEffectDescription(std::string_view) { return {}; }
std::string sliderLabel(std::string_view, std::int32_t) { return {}; }
EffectList::EffectList() = default;
EffectList::~EffectList() = default;
EffectList::EffectList(const EffectList&) {}
EffectList& EffectList::operator=(const EffectList&) { return *this; }
Effect& EffectList::effect(std::int32_t i) { return *m_effects.at(static_cast<std::size_t>(i)); }
const Effect& EffectList::effect(std::int32_t i) const {
    return *m_effects.at(static_cast<std::size_t>(i));
}
const std::string& EffectList::description(std::int32_t) const {
    static const std::string empty;
    return empty;
}
bool EffectList::checked(std::int32_t) const { return false; }
void EffectList::setChecked(std::int32_t, bool) {}
void EffectList::setOrder(std::vector<std::int32_t>) {}
void EffectList::resetOrder() {}
bool EffectList::anyChecked() const { return false; }
void EffectList::resetAll() {}
void EffectList::setViewerGamma(double) {}
bool EffectList::ApplyChain(const std::uint8_t*, std::uint8_t*, std::int32_t, std::int32_t,
                            std::ptrdiff_t, std::ptrdiff_t, const image::CancelSink*) const {
    return true;
}
std::vector<std::int32_t> EffectList::serialize() const { return {}; }
void EffectList::deserialize(const std::vector<std::int32_t>&) {}

}  // namespace kalder::tools
