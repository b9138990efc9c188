// A stand-in for the call client, for tests: a separate program whose
// executable is named "Skype.exe". It shows a main window, answers the
// discovery with the attach status it was told, takes commands by
// WM_COPYDATA and writes each to its log, answers "SEARCH FRIENDS" with a
// USERS notification, and sends the notifications a test appends to its
// script file. In a call, its main window shows the far side's moving
// picture and the far side's voice plays into the device "SET AUDIO_OUT"
// names (call_presenter.h).
//
//   Skype.exe --log FILE [--script FILE] [--status S[,S2@MS]]
//             [--geometry WxH+X+Y] [--class NAME] [--hidden] [--reject]
//             [--in-call] [--contact NAME] [--slow-answer MS]
//
// Script lines (appended by the test while the double runs):
//   TEXT              sent as a notification to the attached recorder
//   !attach S         sends the attach message with status S
//   !flood N          sends N attach messages with status 1 (pending)
//   !from-other TEXT  sends TEXT from a second window that never attached
//   !call-start       a call begins (and "CALL 1 STATUS INPROGRESS" is sent)
//   !call-end         the call ends (and "CALL 1 STATUS FINISHED" is sent)
//   !quit             ends the double
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

#include "call_presenter.h"
#include "platform/x11_messaging.h"
#include "skype_double_options.h"

using namespace platform;
using Clock = std::chrono::steady_clock;

namespace {

class Double {
 public:
  explicit Double(DoubleOptions options) : options_(std::move(options)) {}

  int Run();

 private:
  LResult OnApiMessage(MessageId m, WParam w, LParam l, const CopyData* cd);
  void SendNotification(MessageWindow& from, const std::string& text);
  void SendAttach(int64_t status);
  void AnswerSlowly();
  void RunScriptLine(const std::string& line);
  void ReadScript();
  void Log(const std::string& line);

  DoubleOptions options_;
  std::unique_ptr<MessageWindow> api_;
  std::unique_ptr<MessageWindow> main_;
  std::unique_ptr<MessageWindow> other_;
  std::unique_ptr<call::CallPresenter> presenter_;
  FILE* log_ = nullptr;
  MessageId attach_ = 0;
  MessageId discover_ = 0;
  WindowId client_ = 0;
  std::optional<Clock::time_point> laterAttachAt_;
  std::deque<std::string> replies_;  // notifications owed, sent from the loop
  std::streamoff scriptRead_ = 0;
  std::string scriptPartial_;
  bool running_ = true;
};

void Double::Log(const std::string& line) {
  std::fprintf(log_, "%s\n", line.c_str());
  std::fflush(log_);
}

LResult Double::OnApiMessage(MessageId m, WParam w, LParam, const CopyData* cd) {
  if (m == discover_) {
    client_ = static_cast<WindowId>(w);
    Log("discover " + std::to_string(client_));
    SendAttach(options_.status);
    if (options_.laterStatus) laterAttachAt_ = Clock::now() + options_.laterDelay;
    return 1;
  }
  if (m == WM_COPYDATA && cd) {
    const char* text = static_cast<const char*>(cd->data);
    std::string command(text, strnlen(text, cd->size));
    Log("command " + command);
    Log("bytes " + std::to_string(cd->size));
    if (command == "SEARCH FRIENDS") replies_.push_back("USERS " + options_.friends);
    const std::string audioOut = "SET AUDIO_OUT ";
    if (command.rfind(audioOut, 0) == 0 && presenter_)
      presenter_->SetAudioOut(command.substr(audioOut.size()));
    if (command.rfind("MESSAGE", 0) == 0 && options_.slowAnswer.count() > 0) AnswerSlowly();
    return options_.reject ? 0 : 1;
  }
  return 0;
}

void Double::SendAttach(int64_t status) {
  if (client_ == 0) return;
  auto r = api_->Send(client_, attach_, api_->id(), status);
  Log("attach " + std::to_string(status) + (r ? " delivered" : " undelivered"));
}

void Double::SendNotification(MessageWindow& from, const std::string& text) {
  if (client_ == 0) {
    Log("notify-skipped " + text);
    return;
  }
  const std::string cut = text.substr(0, kMaxCopyData - 1);
  auto r = from.SendCopyData(client_, cut.c_str(), static_cast<uint32_t>(cut.size() + 1));
  Log("notify " + cut + " -> " + (r ? std::to_string(*r) : std::string("none")));
}

// Holds the answer back while the sender waits for it. Its wait gives up
// after a while without a sign of life, so a harmless notification goes to
// it every second meanwhile: the sender stays blocked for the whole time.
void Double::AnswerSlowly() {
  Log("holding the answer for " + std::to_string(options_.slowAnswer.count()) + " ms");
  const auto until = Clock::now() + options_.slowAnswer;
  for (;;) {
    std::this_thread::sleep_until(std::min(until, Clock::now() + std::chrono::seconds(1)));
    if (Clock::now() >= until) break;
    SendNotification(*api_, "USERSTATUS ONLINE");
  }
  Log("answering");
}

void Double::RunScriptLine(const std::string& line) {
  if (line.rfind("!attach ", 0) == 0) {
    SendAttach(std::strtoll(line.c_str() + 8, nullptr, 0));
  } else if (line.rfind("!flood ", 0) == 0) {
    const long n = std::strtol(line.c_str() + 7, nullptr, 10);
    for (long i = 0; i < n && client_; ++i) api_->Post(client_, attach_, api_->id(), 1);
    Log("flooded " + std::to_string(n));
  } else if (line.rfind("!from-other ", 0) == 0) {
    if (!other_) other_ = MessageWindow::Create({"SkypeDoubleOther", "other"}, nullptr);
    if (other_) SendNotification(*other_, line.substr(12));
  } else if (line == "!call-start" || line == "!call-end") {
    const bool start = line == "!call-start";
    if (presenter_) presenter_->SetInCall(start);
    SendNotification(*api_, start ? "CALL 1 STATUS INPROGRESS" : "CALL 1 STATUS FINISHED");
  } else if (line == "!quit") {
    running_ = false;
  } else if (!line.empty()) {
    SendNotification(*api_, line);
  }
}

// The script is a plain file the test appends to; complete lines run in order.
void Double::ReadScript() {
  if (options_.scriptFile.empty()) return;
  std::ifstream in(options_.scriptFile, std::ios::binary);
  if (!in) return;
  in.seekg(scriptRead_);
  std::string chunk((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  scriptRead_ += static_cast<std::streamoff>(chunk.size());
  scriptPartial_ += chunk;
  size_t nl;
  while ((nl = scriptPartial_.find('\n')) != std::string::npos && running_) {
    std::string line = scriptPartial_.substr(0, nl);
    scriptPartial_.erase(0, nl + 1);
    RunScriptLine(line);
  }
}

int Double::Run() {
  log_ = std::fopen(options_.logFile.c_str(), "a");
  if (!log_) return 2;
  attach_ = RegisterWindowMessage("SkypeControlAPIAttach");
  discover_ = RegisterWindowMessage("SkypeControlAPIDiscover");
  api_ = MessageWindow::Create({"SkypeDoubleAPI", "Skype API"},
                               [this](MessageId m, WParam w, LParam l, const CopyData* cd) {
                                 return OnApiMessage(m, w, l, cd);
                               });
  WindowSpec mainSpec{options_.mainClass, "Skype", !options_.hidden, options_.x, options_.y,
                      options_.width, options_.height};
  main_ = MessageWindow::Create(mainSpec, nullptr);
  if (!api_ || !main_ || attach_ == 0) return 3;
  presenter_ = std::make_unique<call::CallPresenter>(
      main_->id(), options_.contact, options_.inCall,
      [this](const std::string& line) { Log(line); });
  Log("ready " + std::to_string(api_->id()) + " " + std::to_string(main_->id()));

  while (running_) {
    pollfd fds[2] = {{api_->fd(), POLLIN, 0}, {main_->fd(), POLLIN, 0}};
    if (!api_->HasPending() && !main_->HasPending()) poll(fds, 2, 20);
    api_->DispatchPending();
    main_->DispatchPending();
    if (other_) other_->DispatchPending();
    while (!replies_.empty()) {
      std::string text = replies_.front();
      replies_.pop_front();
      SendNotification(*api_, text);
    }
    if (laterAttachAt_ && Clock::now() >= *laterAttachAt_) {
      laterAttachAt_.reset();
      SendAttach(*options_.laterStatus);
    }
    ReadScript();
  }
  presenter_.reset();  // it logs until it has ended
  std::fclose(log_);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // A test that crashes must not leave a client behind for the next one.
  prctl(PR_SET_PDEATHSIG, SIGTERM);
  auto options = ParseDoubleOptions(argc, argv);
  if (!options) {
    std::fprintf(stderr, "usage: Skype.exe --log FILE [--script FILE] [--status S[,S2@MS]] "
                         "[--geometry WxH+X+Y] [--class NAME] [--hidden] [--reject] "
                         "[--in-call] [--contact NAME] [--slow-answer MS]\n");
    return 2;
  }
  return Double(std::move(*options)).Run();
}
