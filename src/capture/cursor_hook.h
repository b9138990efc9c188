#pragma once
// The recorder's side of the cursor hook library: found next to the program
// and loaded at run time. When it is missing the recorder runs on without
// cursor reports (the grab reads the pointer's shape by itself anyway).
#include <memory>
#include <string>

namespace capture {

class CursorHook {
 public:
  inline static const char* kLibraryName = "libhook.so";

  // Loads `<programFolder>/libhook.so`; loaded() tells whether it was there.
  explicit CursorHook(const std::string& programFolder);
  ~CursorHook();
  CursorHook(const CursorHook&) = delete;
  CursorHook& operator=(const CursorHook&) = delete;

  bool loaded() const;
  // The library's error text when it could not be loaded.
  const std::string& loadError() const { return error_; }

  // Reports of shape changes go to `window` as `message`; false when the
  // library is missing or could not watch the display.
  bool Install(unsigned long window, unsigned int message);
  bool Uninstall(unsigned long window);

 private:
  struct Library;
  std::unique_ptr<Library> library_;
  std::string error_;
};

}  // namespace capture
