// An export whose output cannot be written fails with its cause and leaves
// exactly one line in the log, whoever called it.
#include <gtest/gtest.h>

#include <atomic>

#include "export/export_engine.h"
#include "support/log_file.h"
#include "test_media.h"

namespace {

TEST(ExportLog, AnUnwritableOutputIsOneLineWithItsCause) {
  const std::string src = testmedia::Make(
      "short.avi", {"-f", "lavfi", "-i", "testsrc=size=160x120:rate=10:duration=1", "-c:v",
                    "msmpeg4v3"});
  ASSERT_FALSE(src.empty());
  LogToTempFile log;
  const std::atomic<bool> never{false};
  exporter::ExportRequest request;
  request.input = src;
  request.output = "/proc/murmurant-no-such-folder/out.avi";
  request.format = {"avi", "ffv1", "pcm_s16le", 0, 0, 0, 0};
  const base::Outcome r = exporter::Export(request, {}, never);
  EXPECT_TRUE(r.Is(exporter::ExportError::kFailed)) << r.message();
  EXPECT_EQ(log.Count("export: export of " + src + " to " + request.output + " failed: "), 1)
      << log.Text();
}

}  // namespace
