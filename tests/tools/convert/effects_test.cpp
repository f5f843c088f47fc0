#include "tools/convert/effects.h"

#include <gtest/gtest.h>

#include <vector>

#include "image/sinks.h"

namespace kalder::tools {
namespace {

using Pixels = std::vector<std::uint8_t>;
enum { Values = 0, Options = 1, Red = 0, Green = 1, Blue = 2, Lock = 0, UseViewer = 1 };

// 256 pixels, one per byte value, with distinct channels and a marked fourth byte.
Pixels ramp() {
    Pixels p;
    for (int i = 0; i < 256; ++i)
        p.insert(p.end(), {std::uint8_t(i), std::uint8_t(255 - i), std::uint8_t(i ^ 0x33),
                           std::uint8_t(i ^ 0x5a)});
    return p;
}

Pixels run(const EffectList& list, const Pixels& in) {
    Pixels out(in.size(), 0xEE);
    const auto width = static_cast<std::int32_t>(in.size() / 4);
    EXPECT_TRUE(list.ApplyChain(in.data(), out.data(), width, 1, width * 4, width * 4, nullptr));
    return out;
}

TEST(Effects, GammaNegativeAndBlackAndWhitePixels) {
    const Pixels in = ramp();
    EffectList list;
    list.setChecked(EffectList::Gamma, true);
    EXPECT_EQ(run(list, in), in);  // 75, 75, 75 is the identity

    list.effect(EffectList::Gamma).setParameter(Options, Lock, 0);
    list.effect(EffectList::Gamma).setParameter(Values, Red, 100);
    Pixels out = run(list, in);
    for (std::size_t i = 0; i < in.size(); i += 4) {
        EXPECT_EQ(out[i + 2], 255);
        EXPECT_EQ(std::vector(out.begin() + i, out.begin() + i + 2),
                  std::vector(in.begin() + i, in.begin() + i + 2));
        EXPECT_EQ(out[i + 3], in[i + 3]);
    }

    list.resetAll();
    list.setChecked(EffectList::Negative, true);
    out = run(list, in);
    for (std::size_t i = 0; i < in.size(); ++i)
        EXPECT_EQ(out[i], i % 4 == 3 ? in[i] : 255 - in[i]) << i;

    // The luminance is truncated, so a grey can come out one darker.
    struct Case {
        std::uint8_t r, g, b, y;
    };
    list.resetAll();
    list.setChecked(EffectList::BlackAndWhite, true);
    for (const Case c : {Case{255, 0, 0, 54},
                         {0, 255, 0, 182},
                         {0, 0, 255, 18},
                         {255, 255, 255, 255},
                         {27, 27, 27, 26}}) {
        const Pixels bw = run(list, {c.b, c.g, c.r, 9});
        EXPECT_EQ(bw, (Pixels{c.y, c.y, c.y, 9})) << int(c.r) << "," << int(c.g) << "," << int(c.b);
    }
}

TEST(Effects, GammaLockAndViewerGammaRules) {
    EffectList list;
    Effect& gamma = list.effect(EffectList::Gamma);
    auto values = [&] {
        return std::vector{gamma.parameter(Values, Red)->value,
                           gamma.parameter(Values, Green)->value,
                           gamma.parameter(Values, Blue)->value};
    };
    gamma.setParameter(Values, Green, 40);
    EXPECT_EQ(values(), (std::vector{40, 40, 40}));
    gamma.setParameter(Options, Lock, 0);
    gamma.setParameter(Values, Blue, 10);
    gamma.setParameter(Values, Red, 500);  // clamped to the range
    EXPECT_EQ(values(), (std::vector{100, 40, 10}));
    gamma.setParameter(Options, Lock, 1);
    EXPECT_EQ(values(), (std::vector{100, 100, 100}));

    gamma.setParameter(Options, UseViewer, 1);
    EXPECT_FALSE(gamma.parameter(Values, Red)->enabled);
    list.setViewerGamma(2.0);
    list.setChecked(EffectList::Gamma, true);
    EXPECT_EQ(run(list, {128, 255, 0, 7}), (Pixels{64, 255, 0, 7}));
    list.setViewerGamma(-1);  // the viewer shows no gamma
    EXPECT_EQ(run(list, {128, 255, 0, 7}), (Pixels{128, 255, 0, 7}));
}

struct CancelAfter final : image::CancelSink {
    mutable int polls = 0;
    int limit = 0;
    bool isCancelled() const override { return ++polls > limit; }
};

TEST(Effects, ChainOrderNothingCheckedAndCancel) {
    EffectList list;
    list.effect(EffectList::Gamma).setParameter(Options, Lock, 0);
    list.effect(EffectList::Gamma).setParameter(Values, Red, 100);
    list.setChecked(EffectList::Gamma, true);
    list.setChecked(EffectList::Negative, true);
    EXPECT_EQ(run(list, {10, 20, 30, 1})[2], 0);  // gamma makes red 255, then negated
    list.setOrder({1, 0, 2});
    EXPECT_EQ(run(list, {10, 20, 30, 1})[2], 255);
    list.setOrder({1, 1, 2});  // not a permutation: ignored
    EXPECT_EQ(list.order(), (std::vector{1, 0, 2}));

    EffectList none;
    EXPECT_EQ(run(none, {1, 2, 3, 4}), (Pixels(4, 0xEE)));

    // Two rows; cancelled after the first row of the first effect.
    const Pixels in = {10, 20, 30, 1, 40, 50, 60, 2};
    Pixels out(8, 0);
    CancelAfter cancel;
    EXPECT_FALSE(list.ApplyChain(in.data(), out.data(), 1, 2, 4, 4, &cancel));
    EXPECT_EQ(out, (Pixels{245, 235, 225, 1, 0, 0, 0, 0}));
}

TEST(Effects, SettingsRecordRoundTripAndRejects) {
    EffectList list;
    list.setChecked(EffectList::BlackAndWhite, true);
    list.setOrder({2, 0, 1});
    list.effect(EffectList::Gamma).setParameter(Options, Lock, 0);
    list.effect(EffectList::Gamma).setParameter(Values, Green, 30);
    const std::vector<std::int32_t> record = list.serialize();

    EffectList back;
    back.deserialize(record);
    EXPECT_EQ(back.serialize(), record);

    const std::vector<std::int32_t> defaults = EffectList().serialize();
    auto damaged = [&](std::size_t index, std::int32_t value) {
        auto r = record;
        r[index] = value;
        return r;
    };
    const std::vector<std::vector<std::int32_t>> bad = {
        {},
        std::vector(record.begin(), record.end() - 1),
        damaged(0, 2),    // version
        damaged(3, 7),    // checked flag
        damaged(4, 0),    // order no longer a permutation
        damaged(7, 101),  // Red out of range
    };
    for (const auto& r : bad) {
        EffectList target;
        target.deserialize(r);
        EXPECT_EQ(target.serialize(), defaults);
    }
}

TEST(EffectDescription, ParsesGroupsAndItems) {
    using Kind = EffectDescription::Kind;
    struct Case {
        const char* text;
        std::string name;
        std::vector<std::tuple<std::string, Kind, std::vector<std::string>>> groups;
    };
    const Case cases[] = {
        {"Negative", "Negative", {}},
        {"", "", {}},
        {"Gamma|Values~Red: %i~Green: %i|Options#Lock#Use",
         "Gamma",
         {{"Values", Kind::Sliders, {"Red: %i", "Green: %i"}},
          {"Options", Kind::CheckBoxes, {"Lock", "Use"}}}},
        {"E|Mixed#a~b#c|T~x#y",
         "E",
         {{"Mixed", Kind::CheckBoxes, {"a", "b", "c"}}, {"T", Kind::Sliders, {"x", "y"}}}},
        {"E||Only title|G~~",
         "E",
         {{"", Kind::Sliders, {}},
          {"Only title", Kind::Sliders, {}},
          {"G", Kind::Sliders, {"", ""}}}},
    };
    for (const Case& c : cases) {
        const EffectDescription d = parseEffectDescription(c.text);
        EXPECT_EQ(d.name, c.name) << c.text;
        ASSERT_EQ(d.groups.size(), c.groups.size()) << c.text;
        for (std::size_t i = 0; i < d.groups.size(); ++i) {
            EXPECT_EQ(d.groups[i].title, std::get<0>(c.groups[i])) << c.text;
            EXPECT_EQ(d.groups[i].kind, std::get<1>(c.groups[i])) << c.text;
            EXPECT_EQ(d.groups[i].items, std::get<2>(c.groups[i])) << c.text;
        }
    }
}

TEST(EffectDescription, SliderLabels) {
    struct Case {
        const char* text;
        std::int32_t value;
        const char* label;
    };
    for (const Case c : {Case{"Red: %i", 75, "Red: 75"},
                         {"%d%% of %i", -3, "-3% of -3"},
                         {"%s %n %x %", 5, "%s %n %x %"},
                         {"Mode`off`on", 1, "on"},
                         {"Mode`off`on", 0, "off"},
                         {"Mode`off`on", 2, "2"},
                         {"`", 0, ""}})
        EXPECT_EQ(sliderLabel(c.text, c.value), c.label) << c.text << " " << c.value;
}

}  // namespace
}  // namespace kalder::tools
