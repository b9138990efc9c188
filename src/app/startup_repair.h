#pragma once
// At start, recordings that a crash left unfinished in the output folder are
// rebuilt on a worker thread, so the window comes up without waiting for
// them; the outcome goes to the log at once and to the status line when the
// worker is done. No window toolkit here: the owner says how a call reaches
// its user-interface thread.
#include <filesystem>
#include <functional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "media/recording_repair.h"

struct RepairSummary {
  int repaired = 0;
  int leftAlone = 0;  // damaged, not ours or failed: each told in the log
};

// The status line's words for a summary (each fits the 200-pixel status area
// up to 99 files of each kind); empty when there is nothing to tell.
std::string RepairStatusText(const RepairSummary& summary);

// The log line for one file ("murmurant: ..."), or empty for a file that
// needs no word (a finished one, or a rebuild stopped by closing).
std::string RepairLogLine(const std::string& path, const base::Result<media::Repaired>& result);

// The "*.avi" files directly in `folder` last modified before `startedAt`,
// in name order. Rebuilt files left behind by a repair that was itself cut
// short are removed on the way.
std::vector<std::string> RecordingsLeftBefore(const std::string& folder,
                                              std::filesystem::file_time_type startedAt);

class StartupRepair {
 public:
  // Runs `call` on the user-interface thread (queued, never at once).
  using Post = std::function<void(std::function<void()>)>;
  // Called on the user-interface thread once every file was looked at.
  using Done = std::function<void(const RepairSummary&)>;

  // Starts the worker over `folder`; files changed since `startedAt` (the
  // program's start) are never touched. Call on the user-interface thread.
  StartupRepair(std::string folder, std::filesystem::file_time_type startedAt, Post post,
                Done done);
  // Stop().
  ~StartupRepair();
  StartupRepair(const StartupRepair&) = delete;
  StartupRepair& operator=(const StartupRepair&) = delete;

  // Asks the worker to stop and waits for it; a rebuild under way is
  // abandoned with its original kept, and Done is not called. Call on the
  // user-interface thread.
  void Stop();

 private:
  void Run(std::stop_token stop);

  const std::string folder_;
  const std::filesystem::file_time_type startedAt_;
  const Post post_;
  const Done done_;
  std::jthread worker_;  // last: starts once everything it reads exists
};
