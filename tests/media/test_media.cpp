#include "test_media.h"

#include <sys/wait.h>

#include <filesystem>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>

#include "platform/process.h"
#include "support/temp_dir.h"

namespace testmedia {

namespace {

TempDir& Dir() {
  static TempDir dir;
  return dir;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

bool Run(const std::vector<std::string>& argv) {
  platform::SpawnOptions options;
  options.searchPath = true;
  auto pid = platform::Spawn(argv, options);
  if (!pid) return false;
  auto status = platform::WaitChild(*pid, std::chrono::seconds(60));
  if (!status) platform::EndChild(*pid);
  return status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0;
}

std::string Folder() { return Dir().path(); }

std::string Make(const std::string& name, const std::vector<std::string>& args) {
  static std::mutex mutex;
  static std::map<std::string, std::string> made;
  std::lock_guard lock(mutex);
  if (auto it = made.find(name); it != made.end()) return it->second;
  const std::string path = Dir() / name;
  std::vector<std::string> argv{"ffmpeg", "-v", "error", "-y"};
  argv.insert(argv.end(), args.begin(), args.end());
  argv.push_back(path);
  return made[name] = Run(argv) ? path : std::string();
}

std::vector<uint8_t> ReferencePictures(const std::string& path, int count) {
  const std::string out = Dir() / ("reference-" + std::to_string(std::hash<std::string>{}(path)) + ".yuv");
  if (!Run({"ffmpeg", "-v", "error", "-y", "-i", path, "-frames:v", std::to_string(count),
            "-pix_fmt", "yuv420p", "-f", "rawvideo", out}))
    return {};
  const std::string bytes = ReadAll(out);
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

std::vector<int16_t> ReferenceSound(const std::string& path, int channels) {
  const std::string out = Dir() / ("reference-" + std::to_string(std::hash<std::string>{}(path)) + ".pcm");
  if (!Run({"ffmpeg", "-v", "error", "-y", "-i", path, "-vn", "-ac", std::to_string(channels),
            "-f", "s16le", out}))
    return {};
  const std::string bytes = ReadAll(out);
  std::vector<int16_t> samples(bytes.size() / 2);
  std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
  return samples;
}

}  // namespace testmedia
