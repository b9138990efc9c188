#include "app/startup_repair.h"

#include <algorithm>
#include <cstdio>
#include <exception>

#include "base/log.h"

namespace fs = std::filesystem;

namespace {

std::string Plural(int n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// "<name>.avi.repair-XXXXXX": what RepairRecording writes before its rename.
bool IsLeftoverRebuild(const std::string& name) {
  const std::string suffix = media::kRepairSuffix;
  const size_t stem = suffix.find('X');
  const size_t at = name.size() >= suffix.size() ? name.size() - suffix.size() : std::string::npos;
  return at != std::string::npos && at >= 4 && name.compare(at - 4, 4, ".avi") == 0 &&
         name.compare(at, stem, suffix, 0, stem) == 0;
}

}  // namespace

std::string RepairStatusText(const RepairSummary& s) {
  if (s.repaired > 0 && s.leftAlone > 0)
    return "Repaired " + std::to_string(s.repaired) + "; " + std::to_string(s.leftAlone) +
           " damaged left alone";
  if (s.repaired > 0) return "Repaired " + Plural(s.repaired, "recording", "recordings");
  if (s.leftAlone > 0)
    return s.leftAlone == 1 ? "1 damaged file left as it was"
                            : std::to_string(s.leftAlone) + " damaged files left as they were";
  return {};
}

std::string RepairLogLine(const std::string& path, const base::Result<media::Repaired>& r) {
  using media::RepairError;
  if (r.ok()) {
    if (!r.value().rebuilt) return {};
    char figures[96];
    std::snprintf(figures, sizeof figures, " (%lld pictures, %.1f s of sound)",
                  static_cast<long long>(r.value().pictures), r.value().soundSeconds);
    return "repaired " + path + ", a recording left unfinished" + figures;
  }
  if (r.Is(RepairError::kNotOurs))
    return "left " + path + " as it was: not a recording of this program (" + r.message() + ")";
  if (r.Is(RepairError::kDamaged))
    return "left " + path + " as it was: damaged beyond repair, " + r.message();
  if (r.Is(RepairError::kCancelled)) return {};
  return "left " + path + " as it was: could not repair it, " + r.message();
}

std::vector<std::string> RecordingsLeftBefore(const std::string& folder,
                                              fs::file_time_type startedAt) {
  std::vector<std::string> found;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    const std::string name = entry.path().filename().string();
    std::error_code fileError;
    if (!entry.is_regular_file(fileError)) continue;
    const auto modified = entry.last_write_time(fileError);
    if (fileError || modified >= startedAt) continue;
    if (IsLeftoverRebuild(name)) {
      fs::remove(entry.path(), fileError);
    } else if (entry.path().extension() == ".avi") {
      found.push_back(entry.path().string());
    }
  }
  std::sort(found.begin(), found.end());
  return found;
}

StartupRepair::StartupRepair(std::string folder, fs::file_time_type startedAt, Post post, Done done)
    : folder_(std::move(folder)), startedAt_(startedAt), post_(std::move(post)),
      done_(std::move(done)), worker_([this](std::stop_token stop) { Run(std::move(stop)); }) {}

StartupRepair::~StartupRepair() { Stop(); }

void StartupRepair::Stop() {
  if (!worker_.joinable()) return;
  worker_.request_stop();
  worker_.join();
}

void StartupRepair::Run(std::stop_token stop) {
  RepairSummary summary;
  try {
    for (const std::string& path : RecordingsLeftBefore(folder_, startedAt_)) {
      if (stop.stop_requested()) return;
      const auto r = media::RepairRecording(path, stop);
      if (const std::string line = RepairLogLine(path, r); !line.empty())
        base::Log(base::Level::kInfo, "repair", line);
      if (r.ok())
        summary.repaired += r.value().rebuilt ? 1 : 0;
      else if (!r.Is(media::RepairError::kCancelled))
        ++summary.leftAlone;
    }
  } catch (const std::exception& e) {
    base::Log(base::Level::kError, "repair",
        "repairing recordings in " + folder_ + " stopped: " + e.what());
  }
  if (stop.stop_requested()) return;
  post_([done = done_, summary] { done(summary); });
}
