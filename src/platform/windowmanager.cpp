#include "platform/windowmanager.h"

#include <QGuiApplication>

#ifdef TOVEL_HAVE_XCB
#include <xcb/xcb.h>
#endif

#include <cstdlib>

namespace platform {

namespace {

#ifdef TOVEL_HAVE_XCB
xcb_window_t windowProperty(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t atom) {
  const xcb_get_property_cookie_t cookie =
      xcb_get_property(connection, 0, window, atom, XCB_ATOM_WINDOW, 0, 1);
  xcb_get_property_reply_t* reply = xcb_get_property_reply(connection, cookie, nullptr);
  xcb_window_t value = XCB_NONE;
  if (reply && reply->type == XCB_ATOM_WINDOW && xcb_get_property_value_length(reply) >= 4)
    value = *static_cast<xcb_window_t*>(xcb_get_property_value(reply));
  std::free(reply);
  return value;
}

// A window manager that follows the EWMH names a check window on the root,
// and the check window names itself; a stale root entry left by a manager
// that died names a window that no longer exists.
bool x11HasWindowManager(xcb_connection_t* connection) {
  static const char kName[] = "_NET_SUPPORTING_WM_CHECK";
  xcb_intern_atom_reply_t* atomReply = xcb_intern_atom_reply(
      connection, xcb_intern_atom(connection, 1, sizeof kName - 1, kName), nullptr);
  if (!atomReply)
    return false;
  const xcb_atom_t atom = atomReply->atom;
  std::free(atomReply);
  if (atom == XCB_NONE)
    return false;
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
  if (!screen)
    return false;
  const xcb_window_t check = windowProperty(connection, screen->root, atom);
  return check != XCB_NONE && windowProperty(connection, check, atom) == check;
}
#endif

}  // namespace

bool hasWindowManager() {
  const QString platformName = QGuiApplication::platformName();
  if (platformName == QLatin1String("offscreen") || platformName == QLatin1String("minimal"))
    return false;
#if defined(TOVEL_HAVE_XCB) && QT_CONFIG(xcb)
  if (platformName == QLatin1String("xcb")) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 && x11->connection() && x11HasWindowManager(x11->connection());
  }
#endif
  // Wayland compositors and the other desktops always manage their windows.
  return true;
}

}  // namespace platform
