// The browser model's headers name a member "slots", which Qt's keyword macros would eat: they
// come before any Qt header.
#include "app/gui/viewer_commands.h"

#include <array>

#include "app/core/command_ids.h"
#include "app/core/commands.h"
#include "app/gui/display_setup.h"
#include "app/gui/main_window.h"
#include "app/gui/main_window_p.h"
#include "app/gui/viewer_frames.h"
#include "app/gui/viewing_area.h"
#include "view/view_geometry.h"

namespace kalder::gui {
namespace cmd = app::cmd;
using Z = view::ViewState::ZoomCommand;

void ViewerCommands::registerCommands(app::CommandDispatcher& d) {
    view::ViewState& state = m_p.state;
    app::Settings& settings = m_p.settings;
    d.on(cmd::kZoomIn, [this](auto) { zoom(Z::In, false); });
    d.on(cmd::kZoomOut, [this](auto) { zoom(Z::Out, false); });
    d.on(cmd::kZoomReset, [this](auto) {
        if (!m_p.frames->vectorShown()) zoom(Z::ActualSize, false);
    });
    for (app::CommandId id = cmd::kFit1To1; id <= cmd::kAutofit; ++id)
        d.on(id, [this, &state, &settings](app::CommandId c) {
            apply(state.fitCommand(static_cast<view::FitMode>(c - cmd::kFit1To1)));
            settings.fitMode = static_cast<std::int32_t>(state.fitMode());
        });
    d.onRange(cmd::kZoomScopeRange, [this, &state, &settings](app::CommandId c) {
        apply(state.zoomRuleCommand(static_cast<view::ZoomRule>(c - cmd::kZoomAllImages)));
        settings.zoomScope = static_cast<std::int32_t>(state.zoomRule());
    });
    d.on(cmd::kGammaIncrease, [this, &state](auto) {
        state.increaseGamma();
        gammaChanged();
    });
    d.on(cmd::kGammaDecrease, [this, &state](auto) {
        state.decreaseGamma();
        gammaChanged();
    });
    d.on(cmd::kGammaReset, [this, &state](auto) {
        state.resetGamma();
        gammaChanged();
    });
    d.onRange(cmd::kRotateToRange, [this, &state](app::CommandId c) {
        apply(state.setRotation(static_cast<std::int32_t>(cmd::kRotateToRange.indexOf(c))));
    });
    d.on(cmd::kRotateClockwise, [this, &state](auto) { apply(state.rotateClockwise()); });
    d.on(cmd::kRotateCounterclockwise,
         [this, &state](auto) { apply(state.rotateCounterclockwise()); });
    d.on(cmd::kFlipHorizontally, [this, &state](auto) { apply(state.toggleFlipHorizontal()); });
    d.on(cmd::kFlipVertically, [this, &state](auto) { apply(state.toggleFlipVertical()); });
    d.on(cmd::kResetRotateFlip, [this, &state](auto) {
        const view::ViewAction a = state.resetOrientation();
        if (a.requestImage) m_p.view->ShowOsdIcon(-1);
        apply(a);
    });
    d.on(cmd::kNegative, [this](auto) { m_p.view->SetInvert(!m_p.view->invert()); });
    d.on(cmd::kLens, [this](auto) { lens(); });
    d.on(cmd::kShowTransparency, [this, &settings](auto) {
        settings.showTransparency = !settings.showTransparency;
        decodeAgain();
    });
    d.on(cmd::kSqueezeInterpolated, [this, &settings](auto) {
        settings.squeezeInterpolated = !settings.squeezeInterpolated;
        decodeAgain();
    });
    d.on(cmd::kStretchInterpolated, [this, &settings](auto) {
        settings.stretchInterpolated = !settings.stretchInterpolated;
        decodeAgain();
    });
    d.on(cmd::kLoadProgressively,
         [&settings](auto) { settings.loadProgressively = !settings.loadProgressively; });
    d.on(cmd::kDisableColorManagement, [this](auto) {
        m_p.display->toggleColorDisabled();
        m_p.applyColorSettings(false);
    });
    d.onRange(cmd::kPanoramicRange, [this](app::CommandId c) { panorama(c); });
}

void ViewerCommands::decodeAgain() {
    m_p.applyLoaderOptions(false);
    m_p.frames->requestCurrent();
}

void ViewerCommands::apply(const view::ViewAction& a, bool anchorAtCursor) {
    ViewingArea* v = m_p.view;
    if (a.lensOff) v->SetLens(false);
    if (a.zoom) v->SetZoom(*a.zoom, anchorAtCursor);
    if (a.lensOn) v->SetLens(true);
    if (a.osdIcon) {
        // The icon tells that the image is turned or mirrored; back upright, it goes.
        const view::ViewState& s = m_p.state;
        const bool upright = s.rotation() == 0 && !s.flipHorizontal() && !s.flipVertical();
        v->ShowOsdIcon(upright ? -1 : *a.osdIcon);
    }
    if (a.requestImage) m_p.frames->requestCurrent();
}

void ViewerCommands::zoom(view::ViewState::ZoomCommand command, bool anchorAtCursor) {
    const image::Bitmap32* frame = m_p.view->image();
    if (!frame) return;
    apply(m_p.state.zoomCommand(command, m_p.view->zoom(), {frame->width(), frame->height()},
                                m_p.frames->vectorShown()),
          anchorAtCursor);
}

void ViewerCommands::gammaChanged() {
    m_p.view->SetGamma(m_p.state.displayGamma(), m_p.state.gammaPosition());
    m_p.updateProperties();
}

void ViewerCommands::lens() {
    ViewingArea* v = m_p.view;
    if (v->lens()) {
        apply(m_p.state.lensOffCommand());
        return;
    }
    if (!v->image() || m_p.frames->vectorShown()) return;
    apply(m_p.state.lensOn(v->zoom()));
}

void ViewerCommands::panorama(int command) {
    ViewingArea* v = m_p.view;
    const image::Bitmap32* frame = v->image();
    if (!frame) return;
    const int step = view::ViewGeometry::panoramaStep(frame->width());
    const int offset = v->panoramaOffset();
    switch (command) {
        case cmd::kScrollLeft:
            v->SetPanoramaOffset(offset - step);
            break;
        case cmd::kScrollRight:
            v->SetPanoramaOffset(offset + step);
            break;
        case cmd::kScrollLeftSlowly:
            v->SetPanoramaOffset(offset - 1);
            break;
        case cmd::kScrollRightSlowly:
            v->SetPanoramaOffset(offset + 1);
            break;
        default:
            v->SetPanoramaOffset(0);
            break;
    }
}

void ViewerCommands::wheelNotch(bool forward, bool shiftHeld) {
    const int effect = shiftHeld ? 2 : m_p.settings.controlOptions[1];
    if (effect == 0) {
        if (!m_p.view->image()) return;
        m_w.runCommand(forward ? cmd::kPreviousFile : cmd::kNextFile);
    } else if (effect == 1) {
        zoom(forward ? Z::In : Z::Out, true);
    } else {
        const view::Point p = m_p.view->geometry().wheelScrollTarget(forward);
        m_p.view->ScrollTo(p.x, p.y);
    }
}

void ViewerCommands::pagingKey(int key) {
    if (m_p.settings.controlOptions[0] != 1) {
        static constexpr std::array kCommands = {cmd::kPreviousFile, cmd::kNextFile,
                                                 cmd::kFirstFile, cmd::kLastFile};
        if (key >= 0 && key < 4) m_w.runCommand(kCommands[static_cast<std::size_t>(key)]);
        return;
    }
    const view::ViewGeometry& g = m_p.view->geometry();
    view::Point p;
    switch (static_cast<PagingKey>(key)) {
        case PagingKey::PageUp:
            p = g.pageKeyTarget(false);
            break;
        case PagingKey::PageDown:
            p = g.pageKeyTarget(true);
            break;
        case PagingKey::Home:
            p = view::ViewGeometry::homeTarget();
            break;
        case PagingKey::End:
            p = view::ViewGeometry::endTarget();
            break;
    }
    m_p.view->ScrollTo(p.x, p.y);
}

}  // namespace kalder::gui
