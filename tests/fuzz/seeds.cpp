// Writes the seed corpora of the fuzz targets into OUT/<target>/, each input
// made by the program's own writers or in the form the other side sends:
//   fuzz_seeds OUT
// The AVI seeds are recordings of the real writer, killed or finished, and
// the cuts a kill leaves at other moments.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/ini_file.h"
#include "killed_recording.h"
#include "platform/copy_data_record.h"

namespace fs = std::filesystem;

namespace {

std::string gOut;
int gCount = 0;

void Seed(const std::string& target, const std::string& bytes) {
  fs::create_directories(gOut + "/" + target);
  std::ofstream(gOut + "/" + target + "/seed-" + std::to_string(++gCount), std::ios::binary)
      << bytes;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// What the call client says, with every kind of separator between words.
std::vector<std::string> Notifications() {
  const std::vector<std::vector<std::string>> forms = {
      {"CALL", "1234", "STATUS", "INPROGRESS"}, {"CALL", "77", "STATUS", "RINGING"},
      {"CALL", "55", "STATUS", "MISSED"},       {"CALL", "-2147483648", "STATUS", "FAILED"},
      {"CALL", "4321", "SUBJECT", "hello"},     {"CONTACTS", "FOCUSED", "alice"},
      {"USERS", "bob", "carol"},                {"CHAT", "12", "STATUS", "INPROGRESS"},
      {"PROTOCOL", "99999"},                    {"CALL", "99999999999", "STATUS", "ROUTING"},
  };
  const char* separators[] = {" ", ",", ";", "\t", ", ", " ;\t"};
  std::vector<std::string> out;
  int turn = 0;
  for (const auto& words : forms) {
    std::string text;
    for (const auto& w : words) text += (text.empty() ? "" : separators[turn++ % 6]) + w;
    out.push_back(text);
  }
  return out;
}

void NotificationSeeds() {
  for (const auto& n : Notifications()) Seed("notification", n);
}

// A serial, then the record the sender puts in its property for it.
void CopyDataSeeds() {
  uint32_t serial = 1;
  auto seed = [&](uint32_t identifier, const std::string& body) {
    std::string input(4, '\0');
    std::memcpy(input.data(), &serial, 4);
    const auto record = platform::EncodeCopyData(serial++, identifier, body.data(),
                                                 static_cast<uint32_t>(body.size()));
    Seed("copy_data", input + std::string(record.begin(), record.end()));
  };
  for (const auto& n : Notifications()) seed(0, n + std::string(1, '\0'));
  seed(7, "SET AUDIO_OUT Speaker");
  seed(0, "");
  seed(0, std::string(1024, ';'));
}

// The settings files our writer makes, each with a value to write into it.
void SettingsSeeds() {
  const std::string path = gOut + "/config.ini";
  fs::remove(path);
  IniFile ini(path);
  const std::vector<std::vector<std::string>> steps = {
      {"General", "FilePath", "/home/user/PlovanderOutput"},
      {"General", "Other", "1"},
      {"Tail", "K", "v"},
      {"General", "FilePath", "/new path/with spaces/"},
  };
  for (const auto& s : steps) {
    ini.WriteString(s[0], s[1], s[2]);
    Seed("settings", "/chosen/folder\n" + ReadAll(path));
  }
  Seed("settings", "  padded value  \n; comment\r\n[ general ]\r\nfilepath = x\r\n[General]\n");
  fs::remove(path);
}

// Recordings of the real writer, and the bytes a kill at another moment
// would have left of them.
bool AviSeeds() {
  const std::string killed = gOut + "/killed.avi", finished = gOut + "/finished.avi";
  fs::remove(killed);
  fs::remove(finished);
  killtest::Plan plan;
  plan.width = 64, plan.height = 48, plan.pictures = 6, plan.audioChunkFrames = 480;
  plan.skipped = {3};
  const killtest::Outcome k = killtest::Record(killed, plan);
  plan.finish = true;
  const killtest::Outcome f = killtest::Record(finished, plan);
  if (!k.ok || !f.ok) {
    std::fprintf(stderr, "fuzz_seeds: the writer failed: %s%s\n", k.error.c_str(), f.error.c_str());
    return false;
  }
  const std::string open = ReadAll(killed), whole = ReadAll(finished);
  Seed("avi_triage", open);
  Seed("avi_triage", whole);
  for (size_t cut : {size_t{11}, size_t{30}, open.size() / 2, open.size() - 3})
    if (cut < open.size()) Seed("avi_triage", open.substr(0, cut));
  fs::remove(killed);
  fs::remove(finished);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_seeds OUT\n");
    return 2;
  }
  gOut = argv[1];
  fs::create_directories(gOut);
  NotificationSeeds();
  CopyDataSeeds();
  SettingsSeeds();
  if (!AviSeeds()) return 1;
  std::printf("fuzz_seeds: %d inputs in %s\n", gCount, gOut.c_str());
  return 0;
}
