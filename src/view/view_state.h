#pragma once

#include <cstdint>
#include <optional>

#include "view/view_types.h"

namespace kalder::image {
struct LoadOptions;
}

namespace kalder::view {

class ImageEntry;

enum class FitMode : std::int32_t { None = 0, Width = 1, Height = 2, All = 3, Auto = 4 };
enum class ZoomRule : std::int32_t { AllImages = 0, SmallOnly = 1, LargeOnly = 2 };

// What the viewer asks the display loader for.
struct DisplayRequest {
    const ImageEntry* entry = nullptr;
    bool autoFit = false;
    std::int32_t fitWidth = 0;  // 0: none
    std::int32_t fitHeight = 0;
    std::int32_t zoomRule = 0;
    std::int32_t rotation = 0;  // quarter turns clockwise
    bool flipHorizontal = false;
    bool flipVertical = false;
    std::int32_t limitWidth = 32767;
    std::int32_t limitHeight = 32767;

    bool operator==(const DisplayRequest&) const = default;
};

// Copies the request's fit, zoom-rule, orientation and limit fields into load options.
void applyToLoadOptions(const DisplayRequest& request, image::LoadOptions& options);

// What a view command asks the main window to do next, in this order: switch the lens off,
// apply a zoom (through ViewingArea::SetZoom), switch the lens on, show an OSD icon, request
// the image again.
struct ViewAction {
    bool lensOff = false;
    std::optional<Zoom> zoom;
    bool lensOn = false;
    std::optional<std::int32_t> osdIcon;  // 0 flip H, 1 flip V, 2 clockwise, 3 counterclockwise
    bool requestImage = false;
    bool operator==(const ViewAction&) const = default;
};

// The gamma scale: 105 positions, 0 = darkest (exponent 4.0), neutral 25 = exponent 1.0.
struct GammaScale {
    static constexpr double kStep = 1.06;
    static constexpr double kMin = 0.01;
    static constexpr double kMax = 4.0;
    static std::int32_t neutral();  // 25
    static std::int32_t last();     // 104
};

// The main window's view choices: fit mode, zoom rule, orientation, manual zoom, gamma, and
// the Exif orientation last applied. Commands change them and say what to do next.
class ViewState {
public:
    ViewState();

    FitMode fitMode() const { return m_fitMode; }
    void setFitMode(FitMode m) { m_fitMode = m; }
    ZoomRule zoomRule() const { return m_zoomRule; }
    void setZoomRule(ZoomRule r) { m_zoomRule = r; }
    std::int32_t rotation() const { return m_rotation; }
    bool flipHorizontal() const { return m_flipH; }
    bool flipVertical() const { return m_flipV; }
    bool manualZoom() const { return m_manualZoom; }
    std::int32_t zoomStep() const { return m_zoomStep; }
    Zoom vectorZoom() const { return m_vectorZoom; }
    PixelSize fittedSize() const { return m_fitted; }

    // The request for an entry shown in a client of the given size.
    DisplayRequest buildRequest(const ImageEntry* entry, PixelSize client) const;

    // --- fit and zoom commands ---
    // Fit 1:1 / width / height / all / autofit (610..614).
    ViewAction fitCommand(FitMode mode);
    // All images / small only / large only (615..617).
    ViewAction zoomRuleCommand(ZoomRule rule);
    enum class ZoomCommand { In, Out, ActualSize };
    // Zoom in / out / 1:1 (660..662, wheel). `current` is the viewing area's zoom, `shownFrame`
    // the size of the frame now shown.
    ViewAction zoomCommand(ZoomCommand command, Zoom current, PixelSize shownFrame, bool isVector);
    // Called when the actual-size frame asked for by a zoom command from a fitted view arrives:
    // the zoom to set (around the centre), or nothing when it stays 1:1. Clears the pending step.
    std::optional<Zoom> takePendingZoom(PixelSize frame, PixelSize client);
    // The viewing area changed size.
    ViewAction clientResized(bool vectorShown);

    // --- lens (673) ---
    ViewAction lensOn(Zoom current);
    ViewAction lensOffCommand();
    // True once, when the actual-size frame the lens waited for has arrived.
    bool takeLensPending();

    // --- orientation ---
    ViewAction setRotation(std::int32_t rotation);  // 630..633
    ViewAction rotateClockwise() { return setRotation((m_rotation + 1) & 3); }
    ViewAction rotateCounterclockwise() { return setRotation((m_rotation + 3) & 3); }
    ViewAction toggleFlipHorizontal();
    ViewAction toggleFlipVertical();
    ViewAction resetOrientation();  // 671
    // Exif tag 274 of the frame about to be shown (nothing: no tag). True: orientation changed,
    // request the image again instead of showing this frame.
    bool applyExifOrientation(std::optional<std::int32_t> tag);
    std::int32_t lastExifOrientation() const { return m_lastExif; }

    // --- gamma (620..622) ---
    void increaseGamma();
    void decreaseGamma();
    void resetGamma();
    double gamma() const { return m_gamma; }
    std::int32_t gammaPosition() const { return m_gammaPosition; }
    // The exponent the viewing area gets: -1.0 (no table) when gamma is exactly 1.0.
    double displayGamma() const { return m_gamma == 1.0 ? -1.0 : m_gamma; }

private:
    ViewAction requestAgain();

    FitMode m_fitMode = FitMode::None;
    ZoomRule m_zoomRule = ZoomRule::AllImages;
    std::int32_t m_rotation = 0;
    bool m_flipH = false;
    bool m_flipV = false;
    bool m_manualZoom = false;
    PixelSize m_fitted;
    std::int32_t m_zoomStep = 0;
    Zoom m_vectorZoom;
    double m_gamma = 1.0;
    std::int32_t m_gammaPosition = 0;
    std::int32_t m_lastExif = 1;
    // Lens: the zoom to go back to.
    Zoom m_lensSavedZoom;
    bool m_lensSavedManual = false;
    bool m_lensPending = false;
};

}  // namespace kalder::view
