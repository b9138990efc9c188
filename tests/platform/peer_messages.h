#pragma once
// What the messaging tests and their peer program agree on.
#include "platform/x11_messaging.h"

namespace peer {
inline constexpr const char* kRegisteredName = "MurmurantPeerTestMessage";
inline constexpr platform::MessageId kAdd = platform::WM_USER + 1;           // returns w + l
inline constexpr platform::MessageId kCallBack = platform::WM_USER + 2;      // sends kCallBackInner to w
inline constexpr platform::MessageId kCallBackInner = platform::WM_USER + 3;
inline constexpr platform::MessageId kHang = platform::WM_USER + 4;          // sleeps l ms
inline constexpr platform::MessageId kDie = platform::WM_USER + 5;           // exits without answer
inline constexpr platform::MessageId kNote = platform::WM_USER + 6;          // writes "note w l"
}  // namespace peer
