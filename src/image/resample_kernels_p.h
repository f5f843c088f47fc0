#pragma once

// The interpolation kernels of the resampler and the per-axis sample plans built from them.
// Everything is single precision on purpose: the results must match the float arithmetic the
// methods are defined with, down to where truncation falls.

#include <cmath>
#include <cstdint>
#include <vector>

#include "image/resample.h"

namespace kalder::image::resample_detail {

inline constexpr float kPi = 3.1415927f;
inline constexpr float kOneThird = 0.33333334f;

inline float sinc(float t) {
    if (t == 0.0f) return 1.0f;
    const float p = kPi * t;
    return std::sin(p) / p;
}

// Three-lobe window, evaluated only on the four taps around the sample.
inline float lanczosKernel(float d) { return sinc(d) * sinc(d * kOneThird); }

// Cubic B-spline; its four taps sum to one, so no normalisation.
inline float bSplineKernel(float d) {
    constexpr float kSixth = 1.0f / 6.0f;
    if (d < -1.0f) {
        const float t = d + 2.0f;
        return kSixth * (t * t * t);
    }
    if (d < 0.0f) return kSixth * (4.0f - 6.0f * d * d - 3.0f * d * d * d);
    if (d < 1.0f) return kSixth * (4.0f - 6.0f * d * d + 3.0f * d * d * d);
    const float t = 2.0f - d;
    return kSixth * (t * t * t);
}

inline float cosineFraction(float f) { return 0.5f - 0.5f * std::cos(f * kPi); }

// Taps per sample: the 4 x 4 methods read x0-1 .. x0+2, the two blends x0 and x0+1.
inline int tapCount(ResampleMethod method) {
    switch (method) {
        case ResampleMethod::Lanczos:
        case ResampleMethod::Bicubic:
            return 4;
        case ResampleMethod::Bilinear:
        case ResampleMethod::Cosine:
            return 2;
        case ResampleMethod::Box:
            return 1;
    }
    return 1;
}

// Offset of the first tap from the centre pixel.
inline int tapLead(ResampleMethod method) { return tapCount(method) == 4 ? 1 : 0; }

// Source pixels per destination step. The interpolating methods pin the first and last pixels
// of both images onto each other; Box divides the lengths.
inline float axisScale(ResampleMethod method, std::int32_t source, std::int32_t destination) {
    if (method == ResampleMethod::Box)
        return static_cast<float>(source) / static_cast<float>(destination);
    if (destination == 1) return static_cast<float>(source - 1);
    return static_cast<float>(source - 1) / static_cast<float>(destination - 1);
}

// One sample position along one axis: the centre pixel and the weights of its taps. Taps that
// fall outside the source keep their weight here; the caller reads zeros there and adds the
// centre pixel times the missing weight instead (an outside tap takes the centre's value).
struct AxisSample {
    std::int32_t centre = 0;
    float weights[4] = {0, 0, 0, 0};
    float total = 0;   // all weights
    float inside = 0;  // weights of taps inside the source
    bool edge() const { return inside != total; }
};

inline AxisSample axisSample(ResampleMethod method, float position, std::int32_t length) {
    AxisSample s;
    s.centre = static_cast<std::int32_t>(position);
    if (s.centre > length - 1) s.centre = length - 1;
    const float f = position - static_cast<float>(s.centre);
    const int taps = tapCount(method);
    const int lead = tapLead(method);
    switch (method) {
        case ResampleMethod::Lanczos: {
            float sum = 0;
            for (int i = 0; i < 4; ++i)
                sum += s.weights[i] = lanczosKernel(f - static_cast<float>(i - 1));
            if (sum != 0.0f && sum != 1.0f)
                for (float& w : s.weights) w /= sum;
            break;
        }
        case ResampleMethod::Bicubic:
            for (int i = 0; i < 4; ++i) s.weights[i] = bSplineKernel(f - static_cast<float>(i - 1));
            break;
        case ResampleMethod::Bilinear:
            s.weights[0] = 1.0f - f;
            s.weights[1] = f;
            break;
        case ResampleMethod::Cosine: {
            const float g = cosineFraction(f);
            s.weights[0] = 1.0f - g;
            s.weights[1] = g;
            break;
        }
        case ResampleMethod::Box:
            s.weights[0] = 1.0f;
            break;
    }
    for (int i = 0; i < taps; ++i) {
        s.total += s.weights[i];
        const std::int32_t at = s.centre - lead + i;
        if (at >= 0 && at < length) s.inside += s.weights[i];
    }
    return s;
}

// Where a shrink-averaging sample lands in the destination: it is spread over pixels `cell`
// and `cell + 1` with weights 1 - frac and frac.
struct Splat {
    std::int32_t cell = 0;
    float frac = 0;
};

// The samples along one axis. Direct mode: one per destination pixel. Shrink averaging: about
// one per source pixel along a shrinking axis, each with its landing place.
struct AxisPlan {
    float scale = 0;
    std::vector<AxisSample> samples;
    std::vector<Splat> splats;  // shrink averaging only, parallel to samples
    std::vector<float>
        coverage;  // shrink averaging only: summed splat weight per destination pixel
};

inline AxisPlan directPlan(ResampleMethod method, std::int32_t source, std::int32_t destination) {
    AxisPlan plan;
    plan.scale = axisScale(method, source, destination);
    plan.samples.reserve(static_cast<std::size_t>(destination));
    for (std::int32_t d = 0; d < destination; ++d) {
        const float position = plan.scale * static_cast<float>(d);
        if (!(position < static_cast<float>(source))) break;
        plan.samples.push_back(axisSample(method, position, source));
    }
    return plan;
}

inline AxisPlan shrinkPlan(ResampleMethod method, std::int32_t source, std::int32_t destination) {
    AxisPlan plan;
    plan.scale = axisScale(method, source, destination);
    const float step = destination < source ? 1.0f / plan.scale : 1.0f;
    plan.coverage.assign(static_cast<std::size_t>(destination) + 1, 0.0f);
    // Positions are k * step rather than a running sum, so they do not drift over long axes.
    // The bound only guards against a degenerate step; the loop ends on the position tests.
    const std::int64_t limit = static_cast<std::int64_t>(source) + destination + 2;
    for (std::int64_t k = 0; k < limit; ++k) {
        const float at = static_cast<float>(k) * step;
        const float position = plan.scale * at;
        if (!(at < static_cast<float>(destination)) || !(position < static_cast<float>(source)))
            break;
        plan.samples.push_back(axisSample(method, position, source));
        Splat s;
        s.cell = static_cast<std::int32_t>(at);
        s.frac = at - static_cast<float>(s.cell);
        plan.splats.push_back(s);
        plan.coverage[static_cast<std::size_t>(s.cell)] += 1.0f - s.frac;
        plan.coverage[static_cast<std::size_t>(s.cell) + 1] += s.frac;
    }
    return plan;
}

}  // namespace kalder::image::resample_detail
