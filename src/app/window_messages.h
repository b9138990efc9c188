#pragma once
// The messages the main window receives besides the platform's own, with the
// numbers that are part of a contract with threads, companions or other
// programs. Inside the process they travel as wx events of these types.
#include <wx/event.h>

namespace msg {
inline constexpr int kWmUser = 0x0400;
inline constexpr int kConvertProgress = kWmUser + 100;  // WM_CONVERT_PROGRESS
inline constexpr int kSkypeUsers = kWmUser + 500;       // WM_SKYPE_USERS
inline constexpr int kSkypeFocus = kWmUser + 501;       // WM_SKYPE_FOCUS
inline constexpr int kSkypeCallStatus = kWmUser + 502;  // WM_SKYPE_CALL_STATUS
inline constexpr int kSliderPosition = 10449;           // skinned slider moved

// Names registered once at start, before the window exists.
inline constexpr const char* kRecordStartName = "WM_USER_RECORDSTART_MSG";
inline constexpr const char* kRecordInterruptedName = "WM_USER_RECORDINTERRUPTED_MSG";
inline constexpr const char* kSaveCursorName = "WM_USER_SAVECURSOR_MSG";
inline constexpr const char* kGenericName = "WM_USER_GENERIC_MSG";
inline constexpr const char* kKeyStartName = "WM_USER_KEYSTART_MSG";
}  // namespace msg

// In-process forms of the registered messages; payloads ride in the event's
// int/extra-long fields (wParam, lParam).
wxDECLARE_EVENT(WM_USER_RECORDSTART_MSG, wxCommandEvent);
wxDECLARE_EVENT(WM_USER_RECORDINTERRUPTED_MSG, wxCommandEvent);
wxDECLARE_EVENT(WM_USER_SAVECURSOR_MSG, wxCommandEvent);
wxDECLARE_EVENT(WM_USER_GENERIC_MSG, wxCommandEvent);
// Conversion progress: the percentage in the extra-long field (lParam).
wxDECLARE_EVENT(WM_CONVERT_PROGRESS, wxCommandEvent);
