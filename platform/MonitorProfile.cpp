#include "platform/MonitorProfile.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <cstdlib>
#include <cstring>

#include "imaging/ColorManage.h"

std::vector<uint8_t> ReadMonitorProfile() {
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c) return {};
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    if (!screen) return {};
    static const char kName[] = "_ICC_PROFILE";
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, uint16_t(std::strlen(kName)), kName), nullptr);
    if (!atom) return {};
    const xcb_atom_t name = atom->atom;
    std::free(atom);
    if (name == XCB_ATOM_NONE) return {};
    // Lengths are in 32-bit units; 8 MB is far above any real monitor profile.
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, screen->root, name, XCB_ATOM_CARDINAL, 0, (8u << 20) / 4), nullptr);
    if (!reply) return {};
    std::vector<uint8_t> profile;
    if (reply->format == 8) {
        const auto* data = static_cast<const uint8_t*>(xcb_get_property_value(reply));
        profile.assign(data, data + xcb_get_property_value_length(reply));
    }
    std::free(reply);
    return profile;
}

void UseMonitorProfile() { korvel::SetDisplayProfile(ReadMonitorProfile()); }
