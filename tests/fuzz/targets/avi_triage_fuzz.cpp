// The triage of a file that may be a recording killed while it was written:
// any bytes a crash, a power cut or another program may leave under its name.
#include <sys/mman.h>
#include <unistd.h>

#include <string>

#include "fuzz_check.h"
#include "media/avi_triage.h"

using media::AviInspection;
using media::AviState;

namespace {

bool Same(const AviInspection& a, const AviInspection& b) {
  return a.state == b.state && a.detail == b.detail && a.fileSize == b.fileSize &&
         a.usableEnd == b.usableEnd && a.mediaChunks == b.mediaChunks;
}

// The input as a file too, so that the reading from a descriptor is covered.
AviInspection FromFile(const uint8_t* data, size_t size) {
  static const int fd = ::memfd_create("avi", MFD_CLOEXEC);
  FUZZ_CHECK(fd >= 0 && ::ftruncate(fd, 0) == 0);
  FUZZ_CHECK(size == 0 || ::pwrite(fd, data, size, 0) == static_cast<ssize_t>(size));
  return media::InspectAvi("/proc/self/fd/" + std::to_string(fd));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const AviInspection r = media::InspectAviBytes(data, size);
  FUZZ_CHECK(r.fileSize == static_cast<int64_t>(size));
  FUZZ_CHECK(r.usableEnd >= 0 && r.usableEnd <= r.fileSize && r.mediaChunks >= 0);
  FUZZ_CHECK(r.state != AviState::Unreadable);
  FUZZ_CHECK(Same(r, FromFile(data, size)));
  if (r.state == AviState::Unfinished) {
    FUZZ_CHECK(r.usableEnd > 12);
    // The repair copies the bytes up to usableEnd: on their own they must be
    // the same unfinished recording, every chunk in it whole.
    const AviInspection cut = media::InspectAviBytes(data, static_cast<size_t>(r.usableEnd));
    FUZZ_CHECK(cut.state == AviState::Unfinished && cut.usableEnd == r.usableEnd &&
               cut.mediaChunks == r.mediaChunks);
  }
  return 0;
}
