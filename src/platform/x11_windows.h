#pragma once
// What the desktop knows about top-level windows: which process owns them,
// whether they are visible and enabled, their class, title and style.
//
// The style bits are those of the desktop the recorder was designed on,
// derived from X11 window properties in one place (StyleOf in
// x11_windows.cpp):
//   WS_POPUP        override-redirect, or a _NET_WM_WINDOW_TYPE other than
//                   NORMAL (dialogs, menus, tool tips, docks, splashes...)
//   WS_CAPTION      decorated: not override-redirect and _MOTIF_WM_HINTS does
//                   not turn the title off (both caption bits together)
//   WS_SYSMENU      decorated, and the Motif hints keep the window menu
//   WS_THICKFRAME   decorated and resizable (WM_NORMAL_HINTS min != max),
//                   and the Motif hints keep the resize handles
//   WS_MINIMIZEBOX  decorated, and the Motif hints keep the minimise button
//   WS_MAXIMIZEBOX  decorated and resizable, and the Motif hints keep the
//                   maximise button
// Without Motif hints a window manager decorates fully, so all of them hold.
// Visible: the window is viewable (mapped, and its frame too). Enabled: the
// window takes input - false only when WM_HINTS says it never takes focus and
// it does not ask for WM_TAKE_FOCUS.
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/x11_messaging.h"

namespace platform {

namespace style {
inline constexpr uint32_t WS_POPUP = 0x80000000u;
inline constexpr uint32_t WS_CAPTION = 0x00C00000u;
inline constexpr uint32_t WS_SYSMENU = 0x00080000u;
inline constexpr uint32_t WS_THICKFRAME = 0x00040000u;
inline constexpr uint32_t WS_MINIMIZEBOX = 0x00020000u;
inline constexpr uint32_t WS_MAXIMIZEBOX = 0x00010000u;
}  // namespace style

struct TopLevelWindowInfo {
  WindowId id = 0;
  pid_t pid = 0;  // from _NET_WM_PID; 0 when the window does not say
  bool visible = false;
  bool enabled = false;
  uint32_t style = 0;
  std::string className;  // the class part of WM_CLASS
  std::string title;      // _NET_WM_NAME, else WM_NAME
};

// Every top-level window, topmost first.
std::vector<TopLevelWindowInfo> TopLevelWindows();

// The top-level windows of one process, topmost first.
std::vector<TopLevelWindowInfo> TopLevelWindowsOf(pid_t pid);

}  // namespace platform
