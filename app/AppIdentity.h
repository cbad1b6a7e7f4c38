#pragma once
// The names the program gives itself before any window exists.

// The application name. No display name is set: Qt's X11 and Wayland back ends
// append an explicitly set display name to every window title not already ending with it, and
// each window's caption must read exactly as it is given.
void setApplicationIdentity();
