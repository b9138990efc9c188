#include "capture/cursor_hook.h"

#include <dlfcn.h>

namespace capture {

struct CursorHook::Library {
  struct Closer {
    void operator()(void* handle) const { dlclose(handle); }
  };
  std::unique_ptr<void, Closer> handle;
  int (*install)(unsigned long, unsigned int) = nullptr;
  int (*uninstall)(unsigned long) = nullptr;
};

CursorHook::CursorHook(const std::string& programFolder) {
  const std::string path = programFolder + "/" + kLibraryName;
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* why = dlerror();
    error_ = why ? why : path + ": cannot be loaded";
    return;
  }
  auto library = std::make_unique<Library>();
  library->handle.reset(handle);
  library->install =
      reinterpret_cast<int (*)(unsigned long, unsigned int)>(dlsym(handle, "InstallMyHook"));
  library->uninstall = reinterpret_cast<int (*)(unsigned long)>(dlsym(handle, "UninstallMyHook"));
  if (!library->install || !library->uninstall) {
    error_ = path + ": not the cursor hook library";
    return;
  }
  library_ = std::move(library);
}

CursorHook::~CursorHook() = default;

bool CursorHook::loaded() const { return library_ != nullptr; }

bool CursorHook::Install(unsigned long window, unsigned int message) {
  return library_ && library_->install(window, message) == 1;
}

bool CursorHook::Uninstall(unsigned long window) {
  return library_ && library_->uninstall(window) == 1;
}

}  // namespace capture
