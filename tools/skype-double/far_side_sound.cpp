#include "far_side_sound.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "call_timeline.h"
#include "platform/process.h"

namespace call {
namespace {

// The voice stays well below the beep, so that the beep's onset is the
// loudest thing at 1 kHz and stands out from the speech around it.
constexpr double kVoicePeak = 6000;
constexpr double kBeepAmplitude = 24000;
constexpr double kBeepHz = 1000;
// A short fade at the beep's end keeps it from clicking; its start is hard,
// since that is the instant a measurement looks for.
constexpr std::int64_t kBeepFadeFrames = 96;
// A breath between repetitions of the sentence.
constexpr std::int64_t kPauseFrames = kRate * 6 / 10;
constexpr std::int64_t kLevelBlock = kRate / 100;
// espeak-ng speaks a few sentences in well under a second; this bounds a hung one.
constexpr std::chrono::seconds kSpeechTimeout{20};

std::uint32_t Le32(const std::uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t(p[3]) << 24;
}
std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

std::vector<std::int16_t> ResampleTo48k(const std::vector<std::int16_t>& in, std::uint32_t rate) {
  if (rate == kRate || in.empty()) return in;
  const auto frames = static_cast<std::size_t>(in.size() * static_cast<double>(kRate) / rate);
  std::vector<std::int16_t> out(frames);
  const double step = static_cast<double>(rate) / kRate;
  for (std::size_t i = 0; i < frames; ++i) {
    // Linear interpolation is plenty for a test voice.
    const double at = i * step;
    const auto j = static_cast<std::size_t>(at);
    const double f = at - static_cast<double>(j);
    const double a = in[j], b = j + 1 < in.size() ? in[j + 1] : in[j];
    out[i] = static_cast<std::int16_t>(std::lround(a + (b - a) * f));
  }
  return out;
}

}  // namespace

std::optional<std::vector<std::int16_t>> DecodeWave(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
      std::memcmp(bytes.data() + 8, "WAVE", 4) != 0)
    return std::nullopt;
  std::uint16_t channels = 0, bits = 0, format = 0;
  std::uint32_t rate = 0;
  std::size_t at = 12;
  while (at + 8 <= bytes.size()) {
    const std::uint8_t* chunk = bytes.data() + at;
    // A writer that streamed its output may leave a chunk's size too large;
    // the bytes that are there count.
    const std::size_t size = std::min<std::size_t>(Le32(chunk + 4), bytes.size() - at - 8);
    if (std::memcmp(chunk, "fmt ", 4) == 0 && size >= 16) {
      format = Le16(chunk + 8);
      channels = Le16(chunk + 10);
      rate = Le32(chunk + 12);
      bits = Le16(chunk + 22);
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      if (format != 1 || bits != 16 || channels == 0 || rate == 0) return std::nullopt;
      std::vector<std::int16_t> mono(size / (2u * channels));
      for (std::size_t i = 0; i < mono.size(); ++i)
        mono[i] = static_cast<std::int16_t>(Le16(chunk + 8 + i * 2u * channels));
      return ResampleTo48k(mono, rate);
    }
    at += 8 + size + (size & 1);
  }
  return std::nullopt;
}

std::optional<std::vector<std::int16_t>> SpeakText(const std::string& text, std::string* error) {
  auto fail = [&](const std::string& why) -> std::optional<std::vector<std::int16_t>> {
    if (error) *error = why;
    return std::nullopt;
  };
  std::string path = (std::filesystem::temp_directory_path() / "far-side-voice.XXXXXX").string();
  const int fd = ::mkstemp(path.data());
  if (fd < 0) return fail("no temporary file for the voice");
  ::close(fd);
  struct Remove {
    std::string path;
    ~Remove() { std::filesystem::remove(path); }
  } removeLater{path};

  auto pid = platform::Spawn({"espeak-ng", "-w", path, text},
                             {.extraEnv = {}, .outputFile = "/dev/null", .searchPath = true});
  if (!pid) return fail("espeak-ng could not be started");
  auto status = platform::WaitChild(*pid, kSpeechTimeout);
  if (!status) {
    platform::EndChild(*pid);
    return fail("espeak-ng did not finish");
  }
  if (*status != 0) return fail("espeak-ng failed with status " + std::to_string(*status));
  std::ifstream in(path, std::ios::binary);
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                        std::istreambuf_iterator<char>());
  auto voice = DecodeWave(bytes);
  if (!voice || voice->empty()) return fail("espeak-ng wrote no 16-bit wave");
  return voice;
}

FarSideSound::FarSideSound(std::vector<std::int16_t> voice) : voice_(std::move(voice)) {
  if (voice_.empty()) return;
  int peak = 1;
  for (auto s : voice_) peak = std::max(peak, std::abs(static_cast<int>(s)));
  for (auto& s : voice_) s = static_cast<std::int16_t>(s * kVoicePeak / peak);
  voice_.resize(voice_.size() + kPauseFrames, 0);
  const std::size_t blocks = (voice_.size() + kLevelBlock - 1) / kLevelBlock;
  level_.resize(blocks);
  for (std::size_t b = 0; b < blocks; ++b) {
    double sum = 0;
    const std::size_t end = std::min(voice_.size(), (b + 1) * kLevelBlock);
    for (std::size_t i = b * kLevelBlock; i < end; ++i) sum += std::abs(voice_[i]);
    // Speech averages about a third of its peak while a syllable sounds.
    level_[b] = static_cast<float>(std::min(1.0, 3 * sum / kLevelBlock / kVoicePeak));
  }
}

void FarSideSound::Render(std::int64_t first, std::span<std::int16_t> out) const {
  const std::int64_t frames = static_cast<std::int64_t>(out.size() / 2);
  std::int64_t beep = FlashIndexAt(first);
  for (std::int64_t i = 0; i < frames; ++i) {
    const std::int64_t t = first + i;
    double v = voice_.empty() ? 0.0 : voice_[static_cast<std::size_t>(t % std::ssize(voice_))];
    if (FlashStart(beep + 1) <= t) ++beep;
    const std::int64_t intoBeep = beep >= 0 ? t - FlashStart(beep) : -1;
    if (intoBeep >= 0 && intoBeep < MsToFrames(kBeepMs)) {
      const double fade =
          std::min(1.0, static_cast<double>(MsToFrames(kBeepMs) - intoBeep) / kBeepFadeFrames);
      v += kBeepAmplitude * fade * std::sin(2 * M_PI * kBeepHz * intoBeep / kRate);
    }
    const auto s = static_cast<std::int16_t>(std::clamp(std::lround(v), -32768l, 32767l));
    out[2 * i] = out[2 * i + 1] = s;
  }
}

double FarSideSound::VoiceLevel(std::int64_t frame) const {
  if (level_.empty() || frame < 0) return 0;
  return level_[static_cast<std::size_t>(frame % std::ssize(voice_) / kLevelBlock)];
}

}  // namespace call
