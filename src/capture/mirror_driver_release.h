#pragma once
// Undoes, at exit, an attachment of a mirror display driver left behind by
// another program. X11 has no such drivers: the object exists for the
// program's lifetime, as the design wants, and its release finds nothing to do.
namespace capture {

class MirrorDriverRelease {
 public:
  MirrorDriverRelease() = default;
  ~MirrorDriverRelease() { Release(); }
  MirrorDriverRelease(const MirrorDriverRelease&) = delete;
  MirrorDriverRelease& operator=(const MirrorDriverRelease&) = delete;

  // Nothing is ever attached on this platform; reports whether anything was
  // detached (never).
  bool Release() { return false; }
};

}  // namespace capture
