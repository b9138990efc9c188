#pragma once
// Process-wide set-up of the window system's client library, for programs
// whose threads draw in windows of their own connections (the preview draws
// from its player thread while the toolkit runs its loop).
namespace platform {

// Makes the client library safe for use from several threads. Must come
// before any other use of it in the process: first thing in main().
void InitXlibThreads();

// Puts this program's one X error handler in place now. A library that
// swaps in a handler of its own and restores "the previous one" when it
// shuts down (the preview's display layer does) must find ours there, or
// ours would be gone for good after its first shutdown.
void InstallXErrorHandler();

}  // namespace platform
