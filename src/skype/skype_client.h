#pragma once
// What the recorder says to the call client once attached, and how it finds
// the client's main window on the desktop (the region "record fixed" takes).
#include <string>

#include "platform/x11_messaging.h"

namespace skype {

// The maker's web site, named in the courtesy message.
inline constexpr const char* kMakerHost = "www.plovander.com";

// Sent to the focused contact whenever a call goes in progress.
std::string CourtesyText();

inline constexpr const char* kClientExecutable = "Skype.exe";
inline constexpr const char* kMainWindowClass = "tSkMainForm.UnicodeClass";

// The main window of the first process named exactly kClientExecutable: a
// visible, enabled window with a caption or frame whose class begins with
// kMainWindowClass. 0 when there is none; works without the API link.
platform::WindowId FindSkypeMainWindow();

}  // namespace skype
