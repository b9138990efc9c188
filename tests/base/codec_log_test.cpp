// The codec library's warnings reach the log file, never the terminal, and a
// per-picture warning is cut down to a few lines and a count.
#include <gtest/gtest.h>

extern "C" {
#include <libavutil/log.h>
}

#include "base/codec_log.h"
#include "support/log_file.h"

namespace {

TEST(CodecLog, WarningsGoToTheFileOnlyAndABurstIsCut) {
  LogToTempFile log;
  base::RouteCodecMessagesToLog();
  testing::internal::CaptureStderr();
  for (int i = 0; i < 2000; ++i) av_log(nullptr, AV_LOG_WARNING, "clipping %d dct coefficients\n", i);
  av_log(nullptr, AV_LOG_INFO, "a note below the warnings\n");
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err, "");
  EXPECT_EQ(log.Count("codec: clipping 0 dct coefficients\n"), 1) << log.Text();
  EXPECT_LE(log.Count("dct coefficients"), 20);
  EXPECT_EQ(log.Count("a note below"), 0);
}

}  // namespace
