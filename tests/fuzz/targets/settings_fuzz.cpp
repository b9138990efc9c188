// The settings file: any text a user, an editor or a broken disk leaves in
// it, with one value the user typed.
#include <cctype>
#include <string>
#include <string_view>

#include "app/ini_file.h"
#include "fuzz_check.h"

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The first line of the input is the value, the rest the file.
  const std::string_view all(reinterpret_cast<const char*>(data), size);
  const size_t cut = all.find('\n');
  const std::string_view value = cut == std::string_view::npos ? all : all.substr(0, cut);
  const std::string_view text = cut == std::string_view::npos ? "" : all.substr(cut + 1);

  // The names our program uses, and one that differs only in case.
  const auto before = IniLookup(text, "General", "Other");
  IniLookup(text, "general", "FILEPATH");

  const auto written = IniWithEntry(text, "General", "FilePath", value);
  const bool breaks = value.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
  FUZZ_CHECK(written.has_value() == !breaks);
  if (!written) return 0;
  // What was written is read back (values lose their outer blanks) ...
  const auto read = IniLookup(*written, "general", "filepath");
  FUZZ_CHECK(read && *read == Trim(value));
  // ... and every other setting stays as it was.
  FUZZ_CHECK(IniLookup(*written, "General", "Other") == before);
  // Writing the same again changes nothing more.
  FUZZ_CHECK(IniWithEntry(*written, "General", "FilePath", value) == written);
  return 0;
}
