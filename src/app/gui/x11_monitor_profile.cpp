#include "app/gui/x11_monitor_profile.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <cstdlib>
#include <string>

#include "base/limits.h"

namespace kalder::gui {

namespace {

constexpr std::uint32_t kChunkWords = 1u << 16;  // 256 KiB per request

struct FreeReply {
    void operator()(void* p) const { std::free(p); }
};
template <class T>
using Reply = std::unique_ptr<T, FreeReply>;

}  // namespace

X11MonitorProfile::X11MonitorProfile(xcb_connection_t* connection, int screen)
    : m_connection(connection), m_screen(screen) {}

std::optional<std::vector<std::uint8_t>> X11MonitorProfile::monitorProfile() const {
    if (!m_connection || xcb_connection_has_error(m_connection)) return std::nullopt;
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
    for (int i = 0; i < m_screen && it.rem > 0; ++i) xcb_screen_next(&it);
    if (it.rem <= 0 || !it.data) return std::nullopt;
    const xcb_window_t root = it.data->root;

    const std::string name =
        m_screen == 0 ? std::string("_ICC_PROFILE") : "_ICC_PROFILE_" + std::to_string(m_screen);
    Reply<xcb_intern_atom_reply_t> atom(xcb_intern_atom_reply(
        m_connection,
        xcb_intern_atom(m_connection, 1, static_cast<std::uint16_t>(name.size()), name.c_str()),
        nullptr));
    if (!atom || atom->atom == XCB_ATOM_NONE) return std::nullopt;

    std::vector<std::uint8_t> bytes;
    std::uint32_t offsetWords = 0;
    for (;;) {
        Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
            m_connection,
            xcb_get_property(m_connection, 0, root, atom->atom, XCB_GET_PROPERTY_TYPE_ANY,
                             offsetWords, kChunkWords),
            nullptr));
        if (!reply || reply->format != 8) return std::nullopt;
        const int length = xcb_get_property_value_length(reply.get());
        // ICC profiles are small; the limit only stops a hostile property from eating memory.
        if (length < 0 || bytes.size() + static_cast<std::size_t>(length) > base::kMaxDataFileBytes)
            return std::nullopt;
        const auto* value = static_cast<const std::uint8_t*>(xcb_get_property_value(reply.get()));
        bytes.insert(bytes.end(), value, value + length);
        if (reply->bytes_after == 0) break;
        // Whole 32-bit units were returned; ask for the next chunk.
        offsetWords += static_cast<std::uint32_t>(length) / 4;
        if (length == 0) return std::nullopt;
    }
    if (bytes.empty()) return std::nullopt;
    return bytes;
}

std::unique_ptr<view::MonitorProfileSource> createMonitorProfileSource() {
    if (auto* x11 =
            qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr) {
        if (xcb_connection_t* connection = x11->connection())
            return std::make_unique<X11MonitorProfile>(connection, 0);
    }
    return std::make_unique<view::NoMonitorProfile>();
}

}  // namespace kalder::gui
