#include "recording/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <vector>

namespace recording {

using base::Outcome;

Outcome CreateOutputFile(const std::function<std::string()>& folderFor,
                        const std::string& outputName, unsigned randomSeed, CreatedFile& out) {
  // One generator for the whole probe: every attempt gets a new number, where
  // reseeding from the clock each time would repeat one name for a second.
  std::minstd_rand random(randomSeed);
  std::string lastError;
  for (int attempt = 0; attempt <= kTempNameAttempts; ++attempt) {
    const std::string name =
        attempt == 0 ? outputName
                     : "~temp" + std::to_string(random() % 32768) + ".avi";
    const std::string path = folderFor() + "/" + name;
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd >= 0) {
      out.fd = UniqueFd(fd);
      out.path = path;
      return Outcome::Ok();
    }
    lastError = path + ": " + std::strerror(errno);
  }
  return Outcome::Fail("no output file could be created (last tried " + lastError + ")");
}

Outcome RestoreUnlinkedFile(int fd, const std::function<std::string()>& folderFor,
                           unsigned randomSeed, std::string& path) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return Outcome::Fail(path + ": " + std::strerror(errno));
  if (st.st_nlink > 0) return Outcome::Ok();

  // Back where it was, so the recordings list and the user find it: the
  // folder is made again (one level) when only it went.
  const auto slash = path.rfind('/');
  CreatedFile copy;
  if (slash != std::string::npos && slash > 0) {
    ::mkdir(path.substr(0, slash).c_str(), 0755);
    int again = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (again >= 0) {
      copy.fd = UniqueFd(again);
      copy.path = path;
    }
  }
  if (!copy.fd) {
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (Outcome s = CreateOutputFile(folderFor, name, randomSeed, copy); !s.ok()) return s;
  }
  std::vector<char> buffer(1 << 20);
  for (off_t at = 0;;) {
    const ssize_t n = ::pread(fd, buffer.data(), buffer.size(), at);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Outcome::Fail(path + " (deleted): " + std::strerror(errno));
    if (n == 0) break;
    for (ssize_t done = 0; done < n;) {
      const ssize_t w = ::write(copy.fd.get(), buffer.data() + done, n - done);
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) {
        const std::string why = copy.path + ": " + std::strerror(errno);
        ::unlink(copy.path.c_str());  // half a recording plays as a broken one
        return Outcome::Fail(why);
      }
      done += w;
    }
    at += n;
  }
  path = copy.path;
  return Outcome::Ok();
}

}  // namespace recording
