#include "convert_cli.h"

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>

#include "export/output_formats.h"
#include "media/media_decoder.h"
#include "progress_line.h"

namespace convert {

namespace {

// Set from the signal handler: an interrupted run stops between pictures,
// and the engine removes what it had written.
std::atomic<bool> gInterrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void OnInterrupt(int) { gInterrupted = true; }

double InputDuration(const std::string& path) {
  media::CMediaDecoder decoder;
  media::StreamInfo info;
  if (decoder.Initialise() != 1 || decoder.Open(path.c_str()) != 1 ||
      decoder.GetStreamInfo(&info) != 1)
    return 0.0;
  return info.duration;
}

}  // namespace

RequestResult BuildRequest(const ConvertOptions& o) {
  RequestResult r;
  const TrimFractions trim = TrimToFractions(o, o.trimmed ? InputDuration(o.input) : 0.0);
  if (!trim.error.empty()) {
    r.error = trim.error;
    return r;
  }
  const auto profiles = edit::StandardProfiles();
  r.request.input = o.input;
  r.request.output = o.output;
  r.request.format = exporter::FormatFor(*profiles.At(o.profile), o.resolution, -1, -1);
  r.request.edits = {trim.start, trim.end, o.crop, o.zoom, o.effects};
  return r;
}

int RunCommandLine(const std::vector<std::string>& args) {
  const ParseResult parsed = ParseArguments(args);
  if (!parsed.options) {
    std::fprintf(stderr, "murmurant-convert: %s\n%s", parsed.error.c_str(), Usage().c_str());
    return kExitBadArguments;
  }
  if (parsed.options->help) {
    std::fputs(Usage().c_str(), stdout);
    return kExitOk;
  }
  std::string error = CheckPaths(*parsed.options);
  RequestResult built;
  if (error.empty()) built = BuildRequest(*parsed.options);
  if (error.empty()) error = built.error;
  if (!error.empty()) {
    std::fprintf(stderr, "murmurant-convert: %s\n", error.c_str());
    return kExitBadArguments;
  }
  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);
  ProgressLine line(stdout, ::isatty(STDOUT_FILENO) == 1);
  const base::Outcome result =
      exporter::Export(built.request, [&](int percent) { line.Update(percent); }, gInterrupted);
  line.Finish();
  if (result.ok()) return kExitOk;
  // A failure has reached standard error through the log already.
  if (result.Is(exporter::ExportError::kCancelled))
    std::fprintf(stderr, "murmurant-convert: interrupted; nothing was written\n");
  return kExitFailed;
}

}  // namespace convert
