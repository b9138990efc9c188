#pragma once
// The one way a step says how it went: Outcome (ok, or an error) and
// Result<T> (a value, or an error). An error carries its cause in words for
// the log and the user, and, where callers branch on the kind of failure, a
// cause code of the subsystem's own enum. (Not "Status": Xlib defines that
// name as a macro, and some of our files include both.)
#include <cassert>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

namespace base {

namespace detail {
inline const std::string& NoMessage() {
  static const std::string empty;
  return empty;
}
}  // namespace detail

class Error {
 public:
  explicit Error(std::string message) : message_(std::move(message)) {}
  template <class Cause>
    requires std::is_enum_v<Cause>
  Error(Cause cause, std::string message)
      : message_(std::move(message)), cause_(static_cast<int>(cause)) {}

  const std::string& message() const { return message_; }
  // True when the error was made with this cause code.
  template <class Cause>
    requires std::is_enum_v<Cause>
  bool Is(Cause cause) const {
    return cause_ == static_cast<int>(cause);
  }

 private:
  std::string message_;
  int cause_ = -1;  // no subsystem code when made from words alone
};

class Outcome {
 public:
  Outcome() = default;  // ok
  Outcome(Error error) : error_(std::move(error)) {}
  static Outcome Ok() { return {}; }
  static Outcome Fail(std::string message) { return Error(std::move(message)); }
  template <class Cause>
    requires std::is_enum_v<Cause>
  static Outcome Fail(Cause cause, std::string message) {
    return Error(cause, std::move(message));
  }

  bool ok() const { return !error_; }
  // Empty when ok.
  const std::string& message() const { return error_ ? error_->message() : detail::NoMessage(); }
  template <class Cause>
    requires std::is_enum_v<Cause>
  bool Is(Cause cause) const {
    return error_ && error_->Is(cause);
  }
  // Only when !ok().
  const Error& error() const {
    assert(error_);
    return *error_;
  }

 private:
  std::optional<Error> error_;
};

template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : value_(std::move(value)) {}
  Result(Error error) : error_(std::move(error)) {}

  bool ok() const { return value_.has_value(); }
  // Only when ok().
  const T& value() const& {
    assert(value_);
    return *value_;
  }
  T& value() & {
    assert(value_);
    return *value_;
  }
  T&& value() && {
    assert(value_);
    return std::move(*value_);
  }
  // Empty when ok.
  const std::string& message() const { return ok() ? detail::NoMessage() : error_->message(); }
  template <class Cause>
    requires std::is_enum_v<Cause>
  bool Is(Cause cause) const {
    return error_ && error_->Is(cause);
  }
  Outcome outcome() const { return ok() ? Outcome() : Outcome(*error_); }

 private:
  std::optional<T> value_;
  std::optional<Error> error_;
};

}  // namespace base
