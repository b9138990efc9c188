#include "platform/x11_setup.h"

#include <X11/Xlib.h>

#include "platform/x11_internal.h"

namespace platform {

void InitXlibThreads() { XInitThreads(); }

void InstallXErrorHandler() { x11::InstallErrorHandler(); }

}  // namespace platform
