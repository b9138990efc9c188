#include "skype/notification.h"

#include <cstdlib>
#include <cstring>

namespace skype {
namespace {

constexpr const char* kSeparators = " ,;\t";

// The leading decimal number of `text` like atoi on this platform, but
// defined for every input: out-of-range numbers saturate to the long range
// before they are cut to 32 bits, where atoi itself is undefined.
int32_t LeadingNumber(const std::string& text) {
  const long value = std::strtol(text.c_str(), nullptr, 10);
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<unsigned long>(value)));
}

}  // namespace

std::vector<std::string> SplitNotification(const char* text) {
  std::vector<std::string> tokens;
  if (!text) return tokens;
  const char* p = text;
  while (*p) {
    p += std::strspn(p, kSeparators);
    const size_t n = std::strcspn(p, kSeparators);
    if (n > 0) tokens.emplace_back(p, n);
    p += n;
  }
  return tokens;
}

Notification DecodeNotification(const std::vector<std::string>& tokens) {
  Notification n;
  if (tokens.empty()) return n;
  n.kind = Notification::Kind::Other;
  const size_t count = tokens.size();
  if (tokens[0] == "USERS") {
    n.kind = Notification::Kind::Users;
    n.valueIndex = 1;
  } else if (tokens[0] == "CALL" && count >= 2) {
    n.kind = Notification::Kind::Call;
    n.callId = LeadingNumber(tokens[1]);
    if (count >= 4 && tokens[2] == "STATUS") {
      n.hasStatus = true;
      n.value = tokens[3];
      n.valueIndex = 3;
    }
  } else if (tokens[0] == "CONTACTS" && count >= 3 && tokens[1] == "FOCUSED") {
    n.kind = Notification::Kind::Focus;
    n.value = tokens[2];
    n.valueIndex = 2;
  }
  return n;
}

}  // namespace skype
