#pragma once
// A small private-profile settings file: "[Section]" headers and "key=value"
// lines, names compared without regard to case. Each user builds one on the
// path, reads or writes, and drops it: there is no cache and no lock.
#include <string>

class IniFile {
 public:
  // Longest value ReadString hands back; longer stored values are cut.
  static constexpr size_t kMaxValueLength = 1023;

  explicit IniFile(std::string path) : path_(std::move(path)) {}
  virtual ~IniFile() = default;

  // The stored value (at most kMaxValueLength characters), or `fallback` when
  // the file cannot be read or holds no such section or key.
  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& fallback) const;

  // Creates the file and section as needed and replaces the file atomically,
  // so a failed write leaves the old contents intact. False on failure, and for
  // names or values that would break the file's line structure.
  bool WriteString(const std::string& section, const std::string& key, const std::string& value);

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};
