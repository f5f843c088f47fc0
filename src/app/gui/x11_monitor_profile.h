#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "view/color_manager.h"

struct xcb_connection_t;

namespace kalder::gui {

// The monitor profile an X11 desktop publishes as the root window's _ICC_PROFILE property
// (_ICC_PROFILE_n for screen n). Nothing when the property is missing or empty.
class X11MonitorProfile final : public view::MonitorProfileSource {
public:
    // The connection stays Qt's; it must outlive this object.
    X11MonitorProfile(xcb_connection_t* connection, int screen);
    std::optional<std::vector<std::uint8_t>> monitorProfile() const override;

private:
    xcb_connection_t* m_connection;
    int m_screen;
};

// The X11 source when the application runs on X11, otherwise one that knows no profile
// (offscreen, Wayland): decoding then targets the built-in sRGB profile.
std::unique_ptr<view::MonitorProfileSource> createMonitorProfileSource();

}  // namespace kalder::gui
