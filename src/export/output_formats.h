#pragma once
// What a format profile and the output settings' choices make of the file
// to write: containers, encoders, size and bit rates.
#include "edit/format_profiles.h"
#include "export/export_engine.h"

namespace exporter {

// Choices are indices into the profile's lists; -1 (or an index naming no
// entry) takes the profile's default. "Same as recording" gives 0 x 0,
// "1280x720" 1280 x 720, "2000k" 2'000'000; an entry that holds no number
// ("PCM") gives 0, the codec's own rate.
OutputFormat FormatFor(const edit::FormatProfile& profile, int resolutionChoice,
                       int videoBitrateChoice, int audioBitrateChoice);

}  // namespace exporter
