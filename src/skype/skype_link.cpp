#include "skype/skype_link.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace skype {
namespace {

// Formatted text never exceeds 1023 characters plus its terminator.
constexpr size_t kTextBuffer = 1024;

// A hung client or a stray window may not hold up the start: each window
// that speaks the protocol gets this long to take the discovery.
constexpr std::chrono::milliseconds kDiscoverTimeout{1000};

}  // namespace

SkypeLink::SkypeLink(LogCallback log) : log_(std::move(log)) {}

SkypeLink::~SkypeLink() = default;

void SkypeLink::Log(const char* format, ...) {
  if (!log_) return;
  char line[kTextBuffer] = {};
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  log_(line);
}

int SkypeLink::Connect(platform::MessageWindow* ownWindow) {
  own_ = ownWindow;
  ownWindow_ = ownWindow ? ownWindow->id() : 0;
  attachMessage_ = platform::RegisterWindowMessage(kAttachName);
  discoverMessage_ = platform::RegisterWindowMessage(kDiscoverName);
  if (attachMessage_ == 0 || discoverMessage_ == 0 || !own_) return 0;
  own_->Broadcast(discoverMessage_, ownWindow_, 0, kDiscoverTimeout);
  return 1;
}

int SkypeLink::IsConnected() const { return platform::IsWindow(skypeWindow_) ? 1 : 0; }

int SkypeLink::SendCommand(const char* format, ...) {
  if (!format || !*format) return 0;
  if (!IsConnected() || !own_) return 0;
  char text[kTextBuffer] = {};
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);  // cut at 1023, last byte stays 0
  va_end(args);
  const auto size = static_cast<uint32_t>(std::strlen(text) + 1);  // the terminator travels too
  auto result = own_->SendCopyData(skypeWindow_, text, size);
  if (result && *result != 0) return 1;
  Log("Send message [%s] failed", format);
  return 0;
}

int SkypeLink::HandleWindowMessage(platform::MessageId message, platform::WParam wParam,
                                   platform::LParam lParam, const platform::CopyData* copyData) {
  if (message == platform::WM_COPYDATA && wParam == skypeWindow_) {
    if (copyData) {
      // The layer always ends the bytes with a zero of its own; a zero
      // inside them ends the text early, as it would for any C string.
      const char* text = static_cast<const char*>(copyData->data);
      Log("Message from Skype(%u): %.*s\n", copyData->identifier,
          static_cast<int>(copyData->size), text);
      ParseNotification(text);
    }
    return 1;
  }
  if (attachMessage_ != 0 && message == attachMessage_) {
    OnAttach(wParam, lParam);
    return 1;
  }
  if (discoverMessage_ != 0 && message == discoverMessage_) {
    Log("Received message : SkypeDiscover");
    return 1;
  }
  return 0;
}

void SkypeLink::OnAttach(platform::WParam window, platform::LParam status) {
  switch (status) {
    case kAttachSuccess:
      Log("!!! Connected;");
      skypeWindow_ = static_cast<platform::WindowId>(window);
      break;
    case kAttachPending:
      Log("!!! Pending authorization");
      break;
    case kAttachRefused:
      Log("!!! Connection refused");
      break;
    case kAttachNotAvailable:
      Log("!!! Skype API not available");
      break;
    case kAttachAvailable:
      Log("!!! Try connect now (API available);");
      break;
    default:
      break;
  }
}

void SkypeLink::Notify(platform::MessageId event, const std::vector<std::string>& tokens,
                       int index) {
  if (!own_) return;
  own_->Send(ownWindow_, event, reinterpret_cast<platform::WParam>(&tokens), index);
}

int SkypeLink::ParseNotification(const char* text) {
  if (!text || !*text) return 0;
  const std::vector<std::string> tokens = SplitNotification(text);
  const Notification n = DecodeNotification(tokens);
  switch (n.kind) {
    case Notification::Kind::None: return 0;
    case Notification::Kind::Other: break;
    case Notification::Kind::Users: Notify(kWmSkypeUsers, tokens, n.valueIndex); break;
    case Notification::Kind::Call:
      callId_ = n.callId;
      if (!n.hasStatus) break;
      callStatus_ = n.value;
      Notify(kWmSkypeCallStatus, tokens, n.valueIndex);
      if (callStatus_ == "FAILED" || callStatus_ == "MISSED") callId_ = 0;
      break;
    case Notification::Kind::Focus:
      focusedContact_ = n.value;
      Notify(kWmSkypeFocus, tokens, n.valueIndex);
      break;
  }
  return 1;
}

int SkypeLink::GetCallStatus(std::string& out) const {
  out = callStatus_;
  return 1;
}

int SkypeLink::GetFocusedContact(std::string& out) const {
  out = focusedContact_;
  return 1;
}

}  // namespace skype
