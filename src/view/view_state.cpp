#include "view/view_state.h"

#include <cmath>

#include "image/load_options.h"
#include "image/orientation.h"

namespace kalder::view {
namespace {

std::int32_t roundHalfUp(double v) { return static_cast<std::int32_t>(v + 0.5); }
double frac(double v) { return v - std::trunc(v); }

}  // namespace

void applyToLoadOptions(const DisplayRequest& r, image::LoadOptions& o) {
    o.autoFit = r.autoFit;
    o.fitWidth = r.fitWidth;
    o.fitHeight = r.fitHeight;
    o.zoomRule = r.zoomRule;
    o.rotation = r.rotation;
    o.flipHorizontal = r.flipHorizontal;
    o.flipVertical = r.flipVertical;
    o.limitWidth = r.limitWidth;
    o.limitHeight = r.limitHeight;
}

std::int32_t GammaScale::neutral() {
    // Steps of 1.06 from 1.0 until the ceiling is reached, plus one.
    std::int32_t n = 0;
    for (double v = 1.0; v < kMax; v *= kStep) ++n;
    return n + 1;
}

std::int32_t GammaScale::last() {
    // Steps of 1 / 1.06 from 1.0 that stay above the floor.
    std::int32_t n = 0;
    for (double v = 1.0 / kStep; v > kMin; v /= kStep) ++n;
    return neutral() + n;
}

ViewState::ViewState() : m_gammaPosition(GammaScale::neutral()) {}

DisplayRequest ViewState::buildRequest(const ImageEntry* entry, PixelSize client) const {
    DisplayRequest r;
    r.entry = entry;
    r.limitWidth = zoomLength(client.width, m_vectorZoom);
    r.limitHeight = zoomLength(client.height, m_vectorZoom);
    r.zoomRule = static_cast<std::int32_t>(m_zoomRule);
    r.rotation = m_rotation;
    r.flipHorizontal = m_flipH;
    r.flipVertical = m_flipV;
    if (m_manualZoom || !m_vectorZoom.isActualSize()) return r;
    switch (m_fitMode) {
        case FitMode::Width:
            r.fitWidth = client.width;
            r.limitHeight = image::LoadOptions::kUnbounded;
            break;
        case FitMode::Height:
            r.fitHeight = client.height;
            r.limitWidth = image::LoadOptions::kUnbounded;
            break;
        case FitMode::Auto:
            r.autoFit = true;
            [[fallthrough]];
        case FitMode::All:
            r.fitWidth = client.width;
            r.fitHeight = client.height;
            break;
        case FitMode::None:
            break;
    }
    return r;
}

ViewAction ViewState::requestAgain() {
    m_manualZoom = false;
    m_zoomStep = 0;
    m_vectorZoom = Zoom{};
    m_lensPending = false;
    ViewAction a;
    a.lensOff = true;
    a.requestImage = true;
    return a;
}

ViewAction ViewState::fitCommand(FitMode mode) {
    if (mode == FitMode::None) {
        if (m_fitMode == FitMode::None) return zoomCommand(ZoomCommand::ActualSize, {}, {}, false);
        m_fitMode = FitMode::None;
        return requestAgain();
    }
    // Choosing the active mode again (while still fitted) switches fitting off.
    m_fitMode = (mode == m_fitMode && !m_manualZoom) ? FitMode::None : mode;
    return requestAgain();
}

ViewAction ViewState::zoomRuleCommand(ZoomRule rule) {
    if (rule == m_zoomRule) return {};
    m_zoomRule = rule;
    return requestAgain();
}

ViewAction ViewState::zoomCommand(ZoomCommand command, Zoom current, PixelSize shownFrame,
                                  bool isVector) {
    ViewAction a;
    if (isVector) {
        // Vector images are rendered again at the new size instead of being magnified.
        if (command == ZoomCommand::ActualSize) return a;
        m_vectorZoom =
            command == ZoomCommand::In ? zoomedIn(m_vectorZoom) : zoomedOut(m_vectorZoom);
        a.requestImage = true;
        return a;
    }
    if (m_fitMode != FitMode::None && !m_manualZoom) {
        // Leave the fitted view: ask for the actual-size frame and step from it on arrival.
        m_manualZoom = true;
        m_fitted = shownFrame;
        m_zoomStep = command == ZoomCommand::In ? 1 : command == ZoomCommand::Out ? -1 : 0;
        a.requestImage = true;
        return a;
    }
    switch (command) {
        case ZoomCommand::In:
            a.zoom = zoomedIn(current);
            break;
        case ZoomCommand::Out:
            a.zoom = zoomedOut(current);
            break;
        case ZoomCommand::ActualSize:
            a.zoom = Zoom{};
            break;
    }
    return a;
}

std::optional<Zoom> ViewState::takePendingZoom(PixelSize frame, PixelSize client) {
    if (!m_manualZoom || m_zoomStep == 0) return std::nullopt;
    const std::int32_t step = m_zoomStep;
    m_zoomStep = 0;
    const std::int64_t l = frame.width, g = frame.height;
    if (l <= 0 || g <= 0) return std::nullopt;
    const std::int64_t cw = client.width, ch = client.height;

    // The box the fitted frame was made for.
    std::int64_t o = cw, H = ch;
    const bool autoFit = m_fitMode == FitMode::Auto;
    if (m_fitMode == FitMode::Width || (autoFit && g >= 2 * l)) {
        H = roundHalfUp(static_cast<double>(g) * cw / l);
        o = cw;
    } else if (m_fitMode == FitMode::Height || (autoFit && l >= 2 * g)) {
        o = roundHalfUp(static_cast<double>(ch) * l / g);
        H = ch;
    }
    const double s0 = static_cast<double>(m_fitted.width) + m_fitted.height;
    const bool haveS0 = s0 > 0;

    if (l > o || g > H) {
        // Reduced view: u is the reduce factor that fits; step one level and skip a level
        // that would look almost like the fitted view.
        std::int64_t u = 1;
        if (m_zoomRule != ZoomRule::SmallOnly) {
            while (!(l / u <= o && g / u <= H)) ++u;
        }
        if (step > 0) --u;
        if (u != 0 && haveS0) {
            const double sum = static_cast<double>(g / u + l / u);
            if (step > 0 && frac(sum / s0) < 0.5)
                --u;
            else if (step < 0 && sum > 0 && frac(s0 / sum) < 0.5)
                ++u;
        }
        if (u > 1) return clampZoom(Zoom{true, static_cast<std::int32_t>(u)});
        if (u < 1) return clampZoom(Zoom{false, static_cast<std::int32_t>(2 - u)});
        return std::nullopt;
    }
    // Enlarged view.
    std::int64_t t = 1;
    if (m_zoomRule != ZoomRule::LargeOnly) {
        while (!(t * l >= o || t * g >= H)) ++t;
    }
    if (step < 0) --t;
    if (t != 0 && haveS0) {
        const double sum = static_cast<double>(t * (l + g));
        if (step > 0 && frac(sum / s0) < 0.5)
            ++t;
        else if (step < 0 && frac(s0 / sum) < 0.5)
            --t;
    }
    if (t > 1)
        return clampZoom(Zoom{false, static_cast<std::int32_t>(std::min<std::int64_t>(t, 1000))});
    if (t < 1) return clampZoom(Zoom{true, static_cast<std::int32_t>(2 - t)});
    return std::nullopt;
}

ViewAction ViewState::clientResized(bool vectorShown) {
    if ((m_fitMode != FitMode::None && !m_manualZoom) || vectorShown) return requestAgain();
    return {};
}

ViewAction ViewState::lensOn(Zoom current) {
    m_lensSavedZoom = current;
    m_lensSavedManual = m_manualZoom;
    ViewAction a;
    if (m_manualZoom || m_fitMode == FitMode::None) {
        a.zoom = Zoom{};
        a.lensOn = true;
        return a;
    }
    m_manualZoom = true;
    m_zoomStep = 0;
    m_lensPending = true;
    a.requestImage = true;
    return a;
}

ViewAction ViewState::lensOffCommand() {
    m_lensPending = false;
    if (m_fitMode != FitMode::None && !m_lensSavedManual) return requestAgain();
    m_manualZoom = m_lensSavedManual;
    ViewAction a;
    a.lensOff = true;
    a.zoom = m_lensSavedZoom;
    return a;
}

bool ViewState::takeLensPending() {
    const bool pending = m_lensPending;
    m_lensPending = false;
    return pending;
}

ViewAction ViewState::setRotation(std::int32_t rotation) {
    rotation &= 3;
    if (rotation == m_rotation) return {};
    const std::int32_t old = m_rotation;
    const bool counter =
        (old == 0 && rotation == 3) || (old == 1 && rotation == 3) || old == rotation + 1;
    m_rotation = rotation;
    ViewAction a = requestAgain();
    a.osdIcon = counter ? 3 : 2;
    return a;
}

ViewAction ViewState::toggleFlipHorizontal() {
    m_flipH = !m_flipH;
    ViewAction a = requestAgain();
    a.osdIcon = 0;
    return a;
}

ViewAction ViewState::toggleFlipVertical() {
    m_flipV = !m_flipV;
    ViewAction a = requestAgain();
    a.osdIcon = 1;
    return a;
}

ViewAction ViewState::resetOrientation() {
    m_lastExif = 1;
    if (m_rotation == 0 && !m_flipH && !m_flipV) return {};
    m_rotation = 0;
    m_flipH = m_flipV = false;
    return requestAgain();
}

bool ViewState::applyExifOrientation(std::optional<std::int32_t> tag) {
    if (!tag) {
        if (m_lastExif == 1) return false;
        m_lastExif = 1;
        m_rotation = 0;
        m_flipH = m_flipV = false;
        requestAgain();
        return true;
    }
    if (*tag < 1 || *tag > 8 || *tag == m_lastExif) return false;
    // The rule thumbnails, printing and conversion follow too.
    const image::ExifOrientation upright = image::uprightTransform(*tag);
    m_lastExif = *tag;
    m_rotation = upright.rotation;
    m_flipH = upright.flipH;
    m_flipV = upright.flipV;
    requestAgain();
    return true;
}

void ViewState::increaseGamma() {
    m_gamma /= GammaScale::kStep;
    if (m_gamma < GammaScale::kMin) m_gamma = GammaScale::kMin;
    if (m_gammaPosition < GammaScale::last()) ++m_gammaPosition;
}

void ViewState::decreaseGamma() {
    m_gamma *= GammaScale::kStep;
    if (m_gamma > GammaScale::kMax) m_gamma = GammaScale::kMax;
    if (m_gammaPosition > 0) --m_gammaPosition;
}

void ViewState::resetGamma() {
    m_gamma = 1.0;
    m_gammaPosition = GammaScale::neutral();
}

}  // namespace kalder::view
