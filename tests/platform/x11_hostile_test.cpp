// Another X client that does not play by the rules: hand-made copy-data
// records and messages on the wire, and windows of every kind of style.
// gtest first: Xlib's macros (None, Bool...) would break its headers.
#include <gtest/gtest.h>
// clang-format off
#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
// clang-format on
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/copy_data_record.h"
#include "platform/x11_internal.h"
#include "platform/x11_messaging.h"
#include "platform/x11_windows.h"

using namespace platform;

namespace {

struct Received {
  uint32_t size;
  std::string bytes;  // including the byte after `size`
};

class RawClient : public ::testing::Test {
 protected:
  void SetUp() override {
    display_.reset(XOpenDisplay(nullptr));
    ASSERT_TRUE(display_);
    d_ = display_.get();
    own_ = XCreateSimpleWindow(d_, DefaultRootWindow(d_), 0, 0, 1, 1, 0, 0, 0);
    type_ = XInternAtom(d_, x11::kCopyDataAtomPrefix, False);
    slot0_ = XInternAtom(d_, (std::string(x11::kCopyDataAtomPrefix) + "_0").c_str(), False);
    message_ = XInternAtom(d_, x11::kMessageAtom, False);
    reply_ = XInternAtom(d_, x11::kReplyAtom, False);
    receiver_ = MessageWindow::Create({"HostileTarget", "target"},
                                      [this](MessageId m, WParam, LParam, const CopyData* cd) -> LResult {
                                        if (m != WM_COPYDATA) return 0;
                                        const char* p = static_cast<const char*>(cd->data);
                                        received_.push_back({cd->size, std::string(p, cd->size + 1)});
                                        return 100 + cd->size;
                                      });
    ASSERT_TRUE(receiver_);
  }

  void SetRecord(uint32_t serial, uint32_t count, const std::string& bytes) {
    std::string record(12, '\0');
    const uint32_t header[3] = {serial, 0, count};
    std::memcpy(record.data(), header, 12);
    record += bytes;
    XChangeProperty(d_, own_, slot0_, type_, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(record.data()),
                    static_cast<int>(record.size()));
  }

  // Sends WM_COPYDATA as the layer would, and returns the receiver's answer.
  std::optional<long> Deliver(uint32_t serial, long slot = 0, Window from = 0,
                              std::chrono::milliseconds wait = std::chrono::seconds(1)) {
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = receiver_->id();
    ev.xclient.message_type = message_;
    ev.xclient.format = 32;
    const long source = static_cast<long>(from ? from : own_);
    const long values[5] = {static_cast<long>(WM_COPYDATA), source, slot, serial, source};
    for (int i = 0; i < 5; ++i) ev.xclient.data.l[i] = values[i];
    XSendEvent(d_, receiver_->id(), False, NoEventMask, &ev);
    XSync(d_, False);
    auto deadline = std::chrono::steady_clock::now() + wait;
    while (std::chrono::steady_clock::now() < deadline) {
      receiver_->DispatchPending();
      XEvent got;
      while (XCheckTypedEvent(d_, ClientMessage, &got))
        if (got.xclient.message_type == reply_ &&
            static_cast<uint32_t>(got.xclient.data.l[0]) == serial)
          return got.xclient.data.l[1];
      usleep(2000);
    }
    return std::nullopt;
  }

  x11::DisplayPtr display_;
  Display* d_ = nullptr;
  Window own_ = 0;
  Atom type_ = 0, slot0_ = 0, message_ = 0, reply_ = 0;
  std::unique_ptr<MessageWindow> receiver_;
  std::vector<Received> received_;
};

}  // namespace

TEST_F(RawClient, WellFormedRecordsArriveAndTextIsAlwaysTerminated) {
  SetRecord(1, 6, std::string("hello\0", 6));
  EXPECT_EQ(106, Deliver(1).value_or(-1));
  SetRecord(2, 3, "abc");  // no terminator of its own
  EXPECT_EQ(103, Deliver(2).value_or(-1));
  ASSERT_EQ(2u, received_.size());
  EXPECT_EQ(std::string("hello\0\0", 7), received_[0].bytes);
  EXPECT_EQ(std::string("abc\0", 4), received_[1].bytes);
}

TEST_F(RawClient, MalformedRecordsAreRefusedWhole) {
  SetRecord(1, 3, "abcdefghij");  // longer than announced
  EXPECT_EQ(0, Deliver(1).value_or(-1));
  SetRecord(2, 100, "short");  // shorter than announced
  EXPECT_EQ(0, Deliver(2).value_or(-1));
  SetRecord(3, 2000, std::string(2000, 'x'));  // beyond the designed size
  EXPECT_EQ(0, Deliver(3).value_or(-1));
  SetRecord(10, 0xFFFFFFFFu, "abc");  // a claim of 4 GiB
  EXPECT_EQ(0, Deliver(10).value_or(-1));
  SetRecord(99, 3, "abc");  // a stale record of another message
  EXPECT_EQ(0, Deliver(4).value_or(-1));
  EXPECT_EQ(0, Deliver(5, 99).value_or(-1));  // no such slot
  XDeleteProperty(d_, own_, slot0_);
  EXPECT_EQ(0, Deliver(6).value_or(-1));  // no record at all
  long wrongFormat[4] = {7, 0, 3, 0};
  XChangeProperty(d_, own_, slot0_, type_, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(wrongFormat), 4);
  EXPECT_EQ(0, Deliver(7).value_or(-1));
  EXPECT_TRUE(received_.empty());

  // A posted record and one from a window that does not exist: no handler
  // call, no crash, and the receiver keeps working.
  SetRecord(0, 3, "abc");
  EXPECT_FALSE(Deliver(0, 0, 0, std::chrono::milliseconds(200)));  // nobody to answer
  EXPECT_FALSE(Deliver(8, 0, 0x7ffffff0, std::chrono::milliseconds(200)));
  EXPECT_TRUE(received_.empty());
  SetRecord(9, 2, "ok");
  EXPECT_EQ(102, Deliver(9).value_or(-1));
}

TEST(CopyDataRecord, RefusalsNameTheirCauseAndAllocateNothing) {
  std::vector<unsigned char> record = EncodeCopyData(5, 0, "abc", 3);
  const uint32_t claim = 0xFFFFFFFFu;
  std::memcpy(record.data() + 8, &claim, 4);
  rusage before{}, after{};
  getrusage(RUSAGE_SELF, &before);
  const DecodedCopyData huge = DecodeCopyData(record.data(), record.size(), 5, kMaxCopyData);
  getrusage(RUSAGE_SELF, &after);
  EXPECT_EQ("copy-data record claims 4294967295 bytes, more than the 1024 a record may hold",
            huge.error);
  EXPECT_TRUE(huge.bytes.empty());
  EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 1024);  // kilobytes
  EXPECT_NE(std::string::npos, DecodeCopyData(record.data(), 11, 5, 1024).error.find("header"));
  EXPECT_NE(std::string::npos, DecodeCopyData(record.data(), 15, 6, 1024).error.find("message 5"));
}

namespace {

// A top-level window of this process with the given X properties.
class StyledWindow {
 public:
  StyledWindow(Display* d, bool overrideRedirect) : d_(d) {
    XSetWindowAttributes a{};
    a.override_redirect = overrideRedirect;
    w_ = XCreateWindow(d, DefaultRootWindow(d), 10, 10, 50, 40, 0, CopyFromParent, InputOutput,
                       CopyFromParent, CWOverrideRedirect, &a);
    long pid = getpid();
    XChangeProperty(d, w_, XInternAtom(d, "_NET_WM_PID", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<unsigned char*>(&pid), 1);
  }
  Window id() const { return w_; }
  void Type(const char* type) {
    Atom t = XInternAtom(d_, type, False);
    XChangeProperty(d_, w_, XInternAtom(d_, "_NET_WM_WINDOW_TYPE", False), XA_ATOM, 32,
                    PropModeReplace, reinterpret_cast<unsigned char*>(&t), 1);
  }
  void Decorations(long decorations) {
    long hints[5] = {1L << 1, 0, decorations, 0, 0};
    Atom motif = XInternAtom(d_, "_MOTIF_WM_HINTS", False);
    XChangeProperty(d_, w_, motif, motif, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(hints), 5);
  }
  void FixedSize() {
    XSizeHints s{};
    s.flags = PMinSize | PMaxSize;
    s.min_width = s.max_width = 50;
    s.min_height = s.max_height = 40;
    XSetWMNormalHints(d_, w_, &s);
  }
  void NoInput() {
    XWMHints h{};
    h.flags = InputHint;
    h.input = False;
    XSetWMHints(d_, w_, &h);
  }
  void Show() { XMapWindow(d_, w_); }

 private:
  Display* d_;
  Window w_;
};

std::optional<TopLevelWindowInfo> Find(WindowId id) {
  for (const auto& w : TopLevelWindowsOf(getpid()))
    if (w.id == id) return w;
  return std::nullopt;
}

}  // namespace

TEST(X11WindowStyle, PropertiesMapToTheDesignedStyleBits) {
  using namespace style;
  x11::DisplayPtr display(XOpenDisplay(nullptr));
  ASSERT_TRUE(display);
  Display* d = display.get();
  StyledWindow plain(d, false), menu(d, true), dialog(d, false), bare(d, false), fixed(d, false),
      noInput(d, false), titleOnly(d, false);
  dialog.Type("_NET_WM_WINDOW_TYPE_DIALOG");
  bare.Decorations(0);
  fixed.FixedSize();
  noInput.NoInput();
  titleOnly.Decorations(1L << 3);
  for (StyledWindow* w : {&plain, &menu, &dialog, &bare, &fixed, &noInput, &titleOnly}) w->Show();
  XSync(d, False);

  constexpr uint32_t kFrame = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
  auto info = Find(plain.id());
  ASSERT_TRUE(info);
  EXPECT_EQ(kFrame, info->style);
  EXPECT_TRUE(info->visible);
  EXPECT_TRUE(info->enabled);
  EXPECT_EQ(WS_POPUP, Find(menu.id())->style);
  EXPECT_EQ(WS_POPUP | kFrame, Find(dialog.id())->style);
  EXPECT_EQ(0u, Find(bare.id())->style);
  EXPECT_EQ(WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, Find(fixed.id())->style);
  EXPECT_FALSE(Find(noInput.id())->enabled);
  EXPECT_EQ(WS_CAPTION, Find(titleOnly.id())->style);
}
