#pragma once
// The outcome of a recording step: success, or a failure with its cause in
// words for the log. Failures the design keeps silent still carry their cause.
#include <string>
#include <utility>

namespace recording {

class Status {
 public:
  static Status Ok() { return Status(); }
  static Status Fail(std::string why) {
    Status s;
    s.ok_ = false;
    s.message_ = std::move(why);
    return s;
  }
  bool ok() const { return ok_; }
  const std::string& message() const { return message_; }

 private:
  bool ok_ = true;
  std::string message_;
};

}  // namespace recording
