#include "platform/native_window.h"

#include <gdk/gdkx.h>
#include <gtk/gtk.h>

namespace platform {

unsigned long MakeNativeWindow(void* gtkWidget) {
  auto* widget = static_cast<GtkWidget*>(gtkWidget);
  if (!widget) return 0;
  if (!gtk_widget_get_realized(widget)) gtk_widget_realize(widget);
  GdkWindow* window = gtk_widget_get_window(widget);
  if (!window || !GDK_IS_X11_WINDOW(window)) return 0;
  if (!gdk_window_ensure_native(window)) return 0;
  // The window must exist on the server before another connection names it.
  gdk_display_sync(gdk_window_get_display(window));
  return gdk_x11_window_get_xid(window);
}

}  // namespace platform
