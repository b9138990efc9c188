#pragma once
// A small private-profile settings file: "[Section]" headers and "key=value"
// lines, names compared without regard to case. Each user builds one on the
// path, reads or writes, and drops it: there is no cache and no lock.
//
// The file is the user's, so anything may be in it: lines of any length,
// binary bytes, or a file far too big to be settings. A file over
// kMaxFileSize is not read at all: it reads as empty, and the next write
// replaces it with a file of just that setting.
#include <optional>
#include <string>
#include <string_view>

class IniFile {
 public:
  // Longest value ReadString hands back; longer stored values are cut.
  static constexpr size_t kMaxValueLength = 1023;
  static constexpr size_t kMaxFileSize = 4 * 1024 * 1024;

  explicit IniFile(std::string path) : path_(std::move(path)) {}
  virtual ~IniFile() = default;

  // The stored value (at most kMaxValueLength characters), or `fallback` when
  // the file cannot be read or holds no such section or key.
  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& fallback) const;

  // Creates the file and section as needed and replaces the file atomically,
  // so a failed write leaves the old contents intact. False on failure, for a
  // file that exists but cannot be read, and for names or values that would
  // break the file's line structure.
  bool WriteString(const std::string& section, const std::string& key, const std::string& value);

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// The same rules on the text of a settings file, without the file.
// IniLookup: the value (uncut), or nothing when the section or key is absent.
std::optional<std::string> IniLookup(std::string_view text, std::string_view section,
                                     std::string_view key);
// IniWithEntry: the text with the key set; nothing for names or values that
// would break the line structure. Every other line keeps its place and bytes;
// each ends in "\n".
std::optional<std::string> IniWithEntry(std::string_view text, std::string_view section,
                                        std::string_view key, std::string_view value);
