// The main window's desktop messages and its link to the call client: the
// message window that stands for the main window on the desktop, the connect
// poll (timer 4), the start-up commands and the three call-client events.
#include <cstdlib>

#include "app/main_window.h"
#include "app/window_messages.h"
#include "base/log.h"
#include "platform/glib_message_pump.h"
#include "skype/skype_client.h"
#include "skype/skype_link.h"

static_assert(msg::kSkypeUsers == static_cast<int>(skype::kWmSkypeUsers));
static_assert(msg::kSkypeFocus == static_cast<int>(skype::kWmSkypeFocus));
static_assert(msg::kSkypeCallStatus == static_cast<int>(skype::kWmSkypeCallStatus));

namespace {

// The desktop-wide names of the main window's message window.
constexpr const char* kMessageWindowClass = "MurmurantMainWindow";
// Not the frame's title: tools that look for the visible window by its title
// must find exactly one.
constexpr const char* kMessageWindowTitle = "Murmurant messages";

// Diagnostic lines of the link are nobody's business at run time; setting
// MURMURANT_SKYPE_LOG shows them on standard error for debugging.
void SkypeLog(const char* line) {
  static const bool enabled = std::getenv("MURMURANT_SKYPE_LOG") != nullptr;
  if (enabled) base::Log(base::Level::kDebug, "skype", line);
}

// Registered messages that other programs (and the hook library) post to the
// main window, with the wx event each becomes on the UI thread.
struct RegisteredEvent {
  platform::MessageId id;
  wxEventType type;
};

const std::vector<RegisteredEvent>& RegisteredEvents() {
  static const std::vector<RegisteredEvent> table = {
      {platform::RegisterWindowMessage(msg::kRecordStartName), WM_USER_RECORDSTART_MSG},
      {platform::RegisterWindowMessage(msg::kRecordInterruptedName), WM_USER_RECORDINTERRUPTED_MSG},
      {platform::RegisterWindowMessage(msg::kSaveCursorName), WM_USER_SAVECURSOR_MSG},
      {platform::RegisterWindowMessage(msg::kGenericName), WM_USER_GENERIC_MSG},
  };
  return table;
}

}  // namespace

void MainWindow::CreateMessageWindow() {
  platform::RegisterWindowMessage(msg::kKeyStartName);  // registered, never used
  RegisteredEvents();
  skypeLink_ = std::make_unique<skype::SkypeLink>(SkypeLog);
  messageWindow_ = platform::MessageWindow::Create(
      {kMessageWindowClass, kMessageWindowTitle},
      [this](platform::MessageId m, platform::WParam w, platform::LParam l,
             const platform::CopyData* cd) { return OnDesktopMessage(m, w, l, cd); });
  if (!messageWindow_) return;  // no X display: the program runs without the link
  messagePump_ = std::make_unique<platform::GlibMessagePump>(*messageWindow_);
  platform::PublishMainWindow(messageWindow_->id());
}

void MainWindow::ConnectSkype() {
  if (!messageWindow_) return;
  if (skypeLink_->Connect(messageWindow_.get()) == 1) connectPoll_.Start(kConnectPollMs);
}

platform::LResult MainWindow::OnDesktopMessage(platform::MessageId message, platform::WParam wParam,
                                               platform::LParam lParam,
                                               const platform::CopyData* copyData) {
  switch (message) {
    case skype::kWmSkypeUsers: return OnSkypeUsers();
    case skype::kWmSkypeFocus: return OnSkypeFocus();
    case skype::kWmSkypeCallStatus: return OnSkypeCallStatus();
    default: break;
  }
  for (const auto& r : RegisteredEvents()) {
    if (r.id == 0 || r.id != message) continue;
    wxCommandEvent event(r.type, GetId());
    event.SetInt(static_cast<int>(wParam));
    event.SetExtraLong(static_cast<long>(lParam));
    event.SetEventObject(this);
    ProcessWindowEvent(event);
    return 1;
  }
  // Default processing: the call-client interface comes first.
  if (skypeLink_ && skypeLink_->HandleWindowMessage(message, wParam, lParam, copyData)) return 1;
  if (message == platform::WM_CLOSE) CallAfter([this] { Close(); });
  return 0;
}

void MainWindow::OnConnectPoll(wxTimerEvent&) {
  // Only watches: the discovery is never repeated, and once connected the
  // commands go out exactly once.
  if (!skypeLink_->IsConnected()) return;
  connectPoll_.Stop();
  SendStartupCommands();
}

void MainWindow::SendStartupCommands() {
  // Replies are not awaited and results not read; the last command routes
  // the client's sound into the device the recorder listens on.
  skypeLink_->SendCommand("PROTOCOL 99999");
  skypeLink_->SendCommand("GET SKYPEVERSION");
  skypeLink_->SendCommand("SEARCH FRIENDS");
  skypeLink_->SendCommand("GET USERSTATUS");
  skypeLink_->SendCommand("GET CONNSTATUS");
  skypeLink_->SendCommand("FOCUS");
  skypeLink_->SendCommand("SET AUDIO_OUT Speaker (Plovander Loopline)");
}

platform::LResult MainWindow::OnSkypeUsers() { return 1; }

platform::LResult MainWindow::OnSkypeFocus() {
  skypeLink_->GetFocusedContact(courtesyRecipient_);
  return 1;
}

platform::LResult MainWindow::OnSkypeCallStatus() {
  skypeLink_->GetCallStatus(lastCallStatus_);
  // Every call that goes in progress greets whoever is focused in the
  // client at that moment, whether or not a recording runs.
  if (lastCallStatus_ == "INPROGRESS")
    skypeLink_->SendCommand("MESSAGE %s %s", courtesyRecipient_.c_str(),
                            skype::CourtesyText().c_str());
  return 1;
}
