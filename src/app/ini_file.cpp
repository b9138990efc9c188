#include "app/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

#include "base/log.h"

namespace {

std::string_view Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// The lines of the text one at a time, as getline gives them: split at "\n",
// a trailing "\r" dropped, no empty line after a final "\n". Nothing is
// copied, so a file of a million empty lines costs no more than its bytes.
class Lines {
 public:
  explicit Lines(std::string_view text) : text_(text) {}
  // `whole`: the line as it is in the text, "\r" included.
  bool Next(std::string_view* line, std::string_view* whole = nullptr) {
    if (pos_ >= text_.size()) return false;
    size_t end = text_.find('\n', pos_);
    if (end == std::string_view::npos) end = text_.size();
    *line = text_.substr(pos_, end - pos_);
    if (whole) *whole = *line;
    if (!line->empty() && line->back() == '\r') line->remove_suffix(1);
    pos_ = end + 1;
    return true;
  }

 private:
  std::string_view text_;
  size_t pos_ = 0;
};

bool IsSectionHeader(std::string_view trimmed, std::string_view* name) {
  if (trimmed.size() < 2 || trimmed.front() != '[') return false;
  auto close = trimmed.find(']');
  if (close == std::string_view::npos) return false;
  *name = Trim(trimmed.substr(1, close - 1));
  return true;
}

// Splits "key=value"; false for lines without '=' (comments, junk).
bool SplitKey(std::string_view line, std::string_view* key, std::string_view* value) {
  auto eq = line.find('=');
  if (eq == std::string_view::npos) return false;
  *key = Trim(line.substr(0, eq));
  *value = Trim(line.substr(eq + 1));
  return true;
}

bool BreaksLines(std::string_view s) {
  return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

enum class Load { Read, Missing, Failed };

// Up to kMaxFileSize bytes; a file that grows past them while it is read
// reads as empty.
bool ReadUpToLimit(int fd, std::string* text) {
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    text->append(buffer, static_cast<size_t>(n));
    if (text->size() > IniFile::kMaxFileSize) {
      text->clear();
      return true;
    }
  }
}

// The whole file when it is a regular file of settings size. One too big
// loads as empty: it is no settings file, and reading it would only cost
// memory. Never blocks on a pipe or device put in its place.
Load ReadWhole(const std::string& path, std::string* text) {
  text->clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0 && errno == ENOENT) return Load::Missing;
  if (fd < 0) {
    base::Logf(base::Level::kWarning, "settings", "cannot read %s: %s", path.c_str(),
               std::strerror(errno));
    return Load::Failed;
  }
  struct stat st {};
  Load result = Load::Failed;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    base::Logf(base::Level::kWarning, "settings", "%s is not a file of settings", path.c_str());
  } else if (static_cast<uint64_t>(st.st_size) > IniFile::kMaxFileSize) {
    base::Logf(base::Level::kWarning, "settings",
               "%s holds %lld bytes, more than settings ever take; it reads as empty",
               path.c_str(), static_cast<long long>(st.st_size));
    result = Load::Read;
  } else if (ReadUpToLimit(fd, text)) {
    result = Load::Read;
  }
  ::close(fd);
  return result;
}

bool WriteWhole(const std::string& path, const std::string& text) {
  std::string tmp = path + ".tmp-" + std::to_string(getpid());
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  bool ok = done == text.size() && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (ok) ok = ::rename(tmp.c_str(), path.c_str()) == 0;
  if (!ok) ::unlink(tmp.c_str());
  return ok;
}

}  // namespace

std::optional<std::string> IniLookup(std::string_view text, std::string_view section,
                                     std::string_view key) {
  Lines lines(text);
  bool inSection = false;
  std::string_view raw;
  while (lines.Next(&raw)) {
    const std::string_view line = Trim(raw);
    std::string_view name, k, v;
    if (IsSectionHeader(line, &name)) {
      inSection = SameName(name, section);
    } else if (inSection && SplitKey(line, &k, &v) && SameName(k, key)) {
      return std::string(v);
    }
  }
  return std::nullopt;
}

std::optional<std::string> IniWithEntry(std::string_view text, std::string_view section,
                                        std::string_view key, std::string_view value) {
  if (section.empty() || key.empty() || BreaksLines(section) || BreaksLines(key) ||
      BreaksLines(value) || key.find('=') != std::string_view::npos ||
      section.find(']') != std::string_view::npos)
    return std::nullopt;

  // First pass: the line the entry replaces (the first of the key in such a
  // section), else the one it goes after: the last non-empty line of the
  // section, or its header; of its last header when it appears twice.
  constexpr size_t kNone = static_cast<size_t>(-1);
  size_t replace = kNone, after = kNone;
  {
    Lines lines(text);
    bool inSection = false;
    std::string_view raw;
    for (size_t i = 0; replace == kNone && lines.Next(&raw); ++i) {
      const std::string_view line = Trim(raw);
      std::string_view name, k, v;
      if (IsSectionHeader(line, &name)) {
        inSection = SameName(name, section);
        if (inSection) after = i;
      } else if (inSection && SplitKey(line, &k, &v) && SameName(k, key)) {
        replace = i;
      } else if (inSection && !line.empty()) {
        after = i;
      }
    }
  }
  const std::string entry = std::string(key) + "=" + std::string(value);
  std::string out;
  out.reserve(text.size() + entry.size() + section.size() + 8);
  Lines lines(text);
  std::string_view raw, whole;
  for (size_t i = 0; lines.Next(&raw, &whole); ++i) {
    out.append(i == replace ? std::string_view(entry) : whole).push_back('\n');
    if (i == after && replace == kNone) out.append(entry).push_back('\n');
  }
  if (replace == kNone && after == kNone)
    out.append("[").append(section).append("]\n").append(entry).push_back('\n');
  return out;
}

std::string IniFile::ReadString(const std::string& section, const std::string& key,
                                const std::string& fallback) const {
  std::string text;
  if (ReadWhole(path_, &text) != Load::Read) return fallback;
  std::optional<std::string> value = IniLookup(text, section, key);
  return value ? value->substr(0, kMaxValueLength) : fallback;
}

bool IniFile::WriteString(const std::string& section, const std::string& key,
                          const std::string& value) {
  std::string text;
  if (ReadWhole(path_, &text) == Load::Failed) return false;  // a missing file starts empty
  std::optional<std::string> updated = IniWithEntry(text, section, key, value);
  return updated && WriteWhole(path_, *updated);
}
