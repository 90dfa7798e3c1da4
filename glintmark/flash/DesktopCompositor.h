#pragma once

// Whether a compositing manager draws the desktop, so that a window's alpha channel and
// opacity show as such. On X11 that is the owner of the _NET_WM_CM_S<screen> selection;
// other platforms (Wayland, offscreen) always composite.
bool desktopComposites();
