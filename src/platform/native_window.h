#pragma once
// The X window behind a toolkit window, for drawing into it from a
// connection of our own (the preview's display layer does).
namespace platform {

// Gives the toolkit widget `gtkWidget` (a wxWindow's GetHandle()) an X
// window of its own, separate from its parent's, and returns its id; 0 when
// the widget has no window on an X display. Everything the toolkit asked of
// the server so far has been processed on return, so another connection can
// use the window at once. Call on the toolkit's thread.
unsigned long MakeNativeWindow(void* gtkWidget);

}  // namespace platform
