#include "export/output_formats.h"

#include <cstdio>

namespace exporter {
namespace {

const std::string* Entry(const edit::FormatChoices& choices, int index) {
  if (index < 0 || static_cast<size_t>(index) >= choices.entries.size())
    index = choices.defaultEntry - 1;  // the default is 1-based
  if (index < 0 || static_cast<size_t>(index) >= choices.entries.size()) return nullptr;
  return &choices.entries[static_cast<size_t>(index)];
}

int BitRate(const edit::FormatChoices& choices, int index) {
  const std::string* entry = Entry(choices, index);
  int kilo = 0;
  if (!entry || std::sscanf(entry->c_str(), "%dk", &kilo) != 1 || kilo <= 0) return 0;
  return kilo * 1000;
}

}  // namespace

OutputFormat FormatFor(const edit::FormatProfile& profile, int resolutionChoice,
                       int videoBitrateChoice, int audioBitrateChoice) {
  OutputFormat format;
  format.container = profile.container;
  format.videoCodec = profile.videoCodec;
  format.audioCodec = profile.audioCodec;
  format.width = format.height = 0;
  if (const std::string* size = Entry(profile.resolution, resolutionChoice)) {
    int w = 0, h = 0;
    if (std::sscanf(size->c_str(), "%dx%d", &w, &h) == 2 && w > 0 && h > 0) {
      format.width = w;
      format.height = h;
    }
  }
  format.videoBitRate = BitRate(profile.videoBitrate, videoBitrateChoice);
  format.audioBitRate = BitRate(profile.audioBitrate, audioBitrateChoice);
  return format;
}

}  // namespace exporter
