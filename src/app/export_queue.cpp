#include "app/export_queue.h"

ExportQueue::~ExportQueue() {
  cancel_ = true;
  Join();
}

void ExportQueue::Join() {
  if (worker_.joinable()) worker_.join();
}

bool ExportQueue::Start(std::vector<exporter::ExportRequest> jobs, Reports reports) {
  if (running_) return false;
  Join();  // the last run has reported its end; its thread is finishing
  cancel_ = false;
  running_ = true;
  worker_ = std::thread([this, jobs = std::move(jobs), reports = std::move(reports)] {
    for (size_t i = 0; i < jobs.size() && !cancel_; ++i) {
      const base::Outcome result = exporter::Export(
          jobs[i], [&](int percent) { if (reports.progress) reports.progress(i, percent); },
          cancel_);
      if (reports.finished) reports.finished(i, result);
    }
    const bool cancelled = cancel_;
    running_ = false;
    if (reports.done) reports.done(cancelled);
  });
  return true;
}
