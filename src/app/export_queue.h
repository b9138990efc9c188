#pragma once
// The conversion command's work: the chosen recordings exported one after
// another on a worker thread, each to a new file beside it. The window hands
// the reports on to its own thread; Cancel stops the file under way (the
// engine removes what it had written) and the ones still to come.
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "export/export_engine.h"

class ExportQueue {
 public:
  struct Reports {  // all called on the worker thread
    std::function<void(size_t job, int percent)> progress;
    std::function<void(size_t job, const base::Outcome& result)> finished;
    std::function<void(bool cancelled)> done;  // after the last job
  };

  ExportQueue() = default;
  ~ExportQueue();  // cancels and waits
  ExportQueue(const ExportQueue&) = delete;
  ExportQueue& operator=(const ExportQueue&) = delete;

  // False (and nothing starts) while an earlier run is still going.
  bool Start(std::vector<exporter::ExportRequest> jobs, Reports reports);
  void Cancel() { cancel_ = true; }
  bool running() const { return running_; }

 private:
  void Join();

  std::atomic<bool> cancel_{false};
  std::atomic<bool> running_{false};
  std::thread worker_;
};
