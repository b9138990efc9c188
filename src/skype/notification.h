#pragma once
// The text of a notification from the call client, read without any window:
// its tokens and what the recorder makes of them. The link applies the
// result to its state and tells the main window; nothing here has effects.
#include <cstdint>
#include <string>
#include <vector>

namespace skype {

// The tokens of a notification: split at runs of space, comma, semicolon or
// tab; never an empty token.
std::vector<std::string> SplitNotification(const char* text);

// What a notification means to the recorder. Names are matched exactly, as
// the client writes them in capitals.
struct Notification {
  enum class Kind {
    None,        // no token at all: nothing to do
    Other,       // a notification the recorder does not follow
    Users,       // "USERS a, b": announced with the first user (index 1)
    Call,        // "CALL id ...": carries an id; status when "STATUS x" follows
    Focus,       // "CONTACTS FOCUSED name"
  };
  Kind kind = Kind::None;
  int32_t callId = 0;        // Call: the id as the client's C library would read it
  bool hasStatus = false;    // Call: "CALL id STATUS status"
  std::string value;         // Call with status: the status; Focus: the contact
  int valueIndex = 0;        // the token the main window's event points at
};

Notification DecodeNotification(const std::vector<std::string>& tokens);

}  // namespace skype
