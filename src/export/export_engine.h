#pragma once
// Makes a new file from a recording with one record's edits applied, in this
// order: trim (cut on the exact picture), crop (the rectangle of the 320 x 240
// reference frame in source pixels), zoom into the output frame, the picture
// effects and the volume with the very functions the effects preview uses.
// Far side left and near side right stay as recorded. No window here: the
// caller runs it on a worker thread and hands progress on to its window.
#include <atomic>
#include <functional>
#include <string>

#include "base/result.h"
#include "edit/crop_hook.h"
#include "edit/picture_effects.h"

namespace exporter {

// How the kept rectangle fits the output frame (the record's zoom index).
enum class Zoom : int { Letterbox = 0, PanAndScan = 1, FullScreen = 2 };

struct ExportEdits {
  double trimStartFraction = 0.0;  // of the source's duration
  double trimEndFraction = 1.0;
  edit::CropRect crop;             // reference units; sanitised before use
  Zoom zoom = Zoom::Letterbox;
  edit::EffectSettings effects;    // picture values and volume
};

// What to write. Codec and container names are FFmpeg's.
struct OutputFormat {
  std::string container = "mp4";   // muxer short name
  std::string videoCodec = "libx264";  // empty: no picture (audio-only formats)
  std::string audioCodec = "aac";
  int width = 0, height = 0;       // 0 x 0: the source's own size ("Same as recording")
  int videoBitRate = 2'000'000;    // bits per second; 0: the codec's default
  int audioBitRate = 128'000;
};

struct ExportRequest {
  std::string input;
  std::string output;  // written beside as output + ".part", renamed at the end
  ExportEdits edits;
  OutputFormat format;
};

// The cause of an export that wrote nothing; the message is for the user,
// in plain words.
enum class ExportError { kCancelled, kFailed };

// The edits as the export applies them: fractions within 0 ... 1 (start
// after end swapped, an empty span the whole recording), the crop through
// edit::Sanitised, effect values clamped to their ranges (volume 1000 -> 200),
// an unknown zoom or effect the first one.
ExportEdits Sanitise(const ExportEdits& edits);

// Runs the whole export. `progress` gets 0 ... 100 (on the calling thread);
// `cancel` is read between pictures. On failure or cancel nothing is left at
// the output path and no partial file remains; the input is never written.
base::Outcome Export(const ExportRequest& request, const std::function<void(int percent)>& progress,
                    const std::atomic<bool>& cancel);

}  // namespace exporter
