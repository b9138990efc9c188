#include "app/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>
#include <vector>

namespace {

// Files bigger than this are not settings files; reading them whole would only
// cost memory, so they are treated as unreadable.
constexpr std::streamoff kMaxFileSize = 4 * 1024 * 1024;

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

bool ReadLines(const std::string& path, std::vector<std::string>& lines) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  in.seekg(0, std::ios::end);
  std::streamoff size = in.tellg();
  if (size < 0 || size > kMaxFileSize) return false;
  in.seekg(0);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return true;
}

bool IsSectionHeader(const std::string& trimmed, std::string* name) {
  if (trimmed.size() < 2 || trimmed.front() != '[') return false;
  auto close = trimmed.find(']');
  if (close == std::string::npos) return false;
  *name = Trim(trimmed.substr(1, close - 1));
  return true;
}

// Splits "key=value"; false for lines without '=' (comments, junk).
bool SplitKey(const std::string& line, std::string* key, std::string* value) {
  auto eq = line.find('=');
  if (eq == std::string::npos) return false;
  *key = Trim(line.substr(0, eq));
  *value = Trim(line.substr(eq + 1));
  return true;
}

bool BreaksLines(const std::string& s) {
  return s.find_first_of("\r\n") != std::string::npos || s.find('\0') != std::string::npos;
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

std::string IniFile::ReadString(const std::string& section, const std::string& key,
                                const std::string& fallback) const {
  std::vector<std::string> lines;
  if (!ReadLines(path_, lines)) return fallback;
  bool inSection = false;
  for (const auto& raw : lines) {
    std::string line = Trim(raw);
    std::string name;
    if (IsSectionHeader(line, &name)) {
      inSection = SameName(name, section);
      continue;
    }
    std::string k, v;
    if (inSection && SplitKey(line, &k, &v) && SameName(k, key))
      return v.substr(0, kMaxValueLength);
  }
  return fallback;
}

bool IniFile::WriteString(const std::string& section, const std::string& key,
                          const std::string& value) {
  if (section.empty() || key.empty() || BreaksLines(section) || BreaksLines(key) ||
      BreaksLines(value) || key.find('=') != std::string::npos ||
      section.find(']') != std::string::npos)
    return false;

  std::vector<std::string> lines;
  ReadLines(path_, lines);  // a missing file simply starts empty

  const std::string entry = key + "=" + value;
  bool inSection = false, written = false;
  long sectionEnd = -1;  // index after the last line of the wanted section
  for (size_t i = 0; i < lines.size() && !written; ++i) {
    std::string line = Trim(lines[i]);
    std::string name;
    if (IsSectionHeader(line, &name)) {
      inSection = SameName(name, section);
      if (inSection) sectionEnd = static_cast<long>(i) + 1;
      continue;
    }
    std::string k, v;
    if (inSection) {
      if (SplitKey(line, &k, &v) && SameName(k, key)) {
        lines[i] = entry;
        written = true;
      } else if (!line.empty()) {
        sectionEnd = static_cast<long>(i) + 1;
      }
    }
  }
  if (!written) {
    if (sectionEnd >= 0) {
      lines.insert(lines.begin() + sectionEnd, entry);
    } else {
      lines.push_back("[" + section + "]");
      lines.push_back(entry);
    }
  }
  std::ostringstream out;
  for (const auto& l : lines) out << l << "\n";
  return WriteWhole(path_, out.str());
}
