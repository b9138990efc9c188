#pragma once
// The link to the call client through its desktop control interface: two
// registered messages to find and attach to the client, text commands and
// notifications carried by WM_COPYDATA between the two windows.
//
// Everything runs on the UI thread inside the main window's message
// handling; the link has no thread, timer or queue of its own.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/x11_messaging.h"
#include "skype/notification.h"

namespace skype {

// Events the parser sends to the main window, synchronously: wParam is the
// address of the token list (valid during the call), lParam the index of the
// token that carries the value. Receivers read the link's fields instead.
inline constexpr platform::MessageId kWmSkypeUsers = platform::WM_USER + 500;
inline constexpr platform::MessageId kWmSkypeFocus = platform::WM_USER + 501;
inline constexpr platform::MessageId kWmSkypeCallStatus = platform::WM_USER + 502;

inline constexpr const char* kAttachName = "SkypeControlAPIAttach";
inline constexpr const char* kDiscoverName = "SkypeControlAPIDiscover";

// Attach statuses the client reports in lParam.
enum AttachStatus : int64_t {
  kAttachSuccess = 0,
  kAttachPending = 1,
  kAttachRefused = 2,
  kAttachNotAvailable = 3,
  kAttachAvailable = 0x8001,
};

// Receives each diagnostic line, already formatted (at most 1023 characters).
using LogCallback = std::function<void(const char* line)>;

class SkypeLink {
 public:
  explicit SkypeLink(LogCallback log);
  virtual ~SkypeLink();
  SkypeLink(const SkypeLink&) = delete;
  SkypeLink& operator=(const SkypeLink&) = delete;

  // Registers the two messages and broadcasts the discovery with wParam =
  // the own window. 1 when the broadcast went out, 0 when a registration
  // failed (then nothing is sent).
  int Connect(platform::MessageWindow* ownWindow);

  // Nonzero while the client's API window exists.
  int IsConnected() const;

  // Formats the command (cut at 1023 characters) and sends it to the client;
  // 1 when the client accepted it. Blocks until the client answers or the
  // send's bound passes.
  int SendCommand(const char* format, ...) __attribute__((format(printf, 2, 3)));

  // For every message the main window's own table did not handle: 1 when it
  // belonged to the client interface and has been dealt with.
  int HandleWindowMessage(platform::MessageId message, platform::WParam wParam,
                          platform::LParam lParam, const platform::CopyData* copyData = nullptr);

  // 0 for null, empty or separator-only text; 1 otherwise.
  int ParseNotification(const char* text);

  int GetCallStatus(std::string& out) const;
  int GetFocusedContact(std::string& out) const;

  int32_t callId() const { return callId_; }
  platform::WindowId skypeWindow() const { return skypeWindow_; }
  platform::WindowId ownWindow() const { return ownWindow_; }

 private:
  void Log(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void Notify(platform::MessageId event, const std::vector<std::string>& tokens, int index);
  void OnAttach(platform::WParam window, platform::LParam status);

  std::string callStatus_;
  std::string focusedContact_;
  int32_t callId_ = 0;
  LogCallback log_;
  platform::MessageWindow* own_ = nullptr;
  platform::WindowId ownWindow_ = 0;
  platform::WindowId skypeWindow_ = 0;
  platform::MessageId attachMessage_ = 0;
  platform::MessageId discoverMessage_ = 0;
};

}  // namespace skype
