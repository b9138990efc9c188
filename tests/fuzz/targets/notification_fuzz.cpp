// Notifications from the call client: any bytes the client's window may send.
#include <cstring>
#include <string>

#include "fuzz_check.h"
#include "skype/notification.h"

using skype::Notification;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The link reads the record as C text: it ends at the first zero.
  const std::string text(reinterpret_cast<const char*>(data), size);
  const auto tokens = skype::SplitNotification(text.c_str());
  size_t total = 0;
  std::string joined;
  for (const auto& t : tokens) {
    FUZZ_CHECK(!t.empty() && t.find_first_of(" ,;\t") == std::string::npos);
    total += t.size();
    joined += t + " ";
  }
  FUZZ_CHECK(total <= std::strlen(text.c_str()));
  // The split does not depend on which separators were used.
  FUZZ_CHECK(skype::SplitNotification(joined.c_str()) == tokens);

  const Notification n = skype::DecodeNotification(tokens);
  FUZZ_CHECK((n.kind == Notification::Kind::None) == tokens.empty());
  if ((n.kind == Notification::Kind::Call && n.hasStatus) || n.kind == Notification::Kind::Focus) {
    FUZZ_CHECK(n.valueIndex > 0 && static_cast<size_t>(n.valueIndex) < tokens.size());
    FUZZ_CHECK(n.value == tokens[static_cast<size_t>(n.valueIndex)]);
  }
  if (n.kind != Notification::Kind::Call) FUZZ_CHECK(n.callId == 0 && !n.hasStatus);
  return 0;
}
