#pragma once
// Tells from a file's RIFF structure alone (headers and chunk headers, no
// decoding) whether it is a finished AVI, a recording of ours whose writer
// was killed before it could finish, or something to leave alone.
//
// What a killed recording looks like: libavformat's AVI muxer writes size
// placeholders (0xFFFFFFFF) for the open RIFF and its "movi" list and fills
// them in, with the frame counts and the index, only when it finishes. So a
// killed file has a complete header list, zero frame counts, an open "RIFF
// AVI " (or, past the first gibibyte, a finished "RIFF AVI " with its index
// followed by an open "RIFF AVIX"), and whole data chunks up to the point the
// kill came, the last of them possibly cut.
#include <cstddef>
#include <cstdint>
#include <string>

namespace media {

enum class AviState {
  Complete,    // every RIFF closed with its size: a finished file
  Unfinished,  // one of our recordings left open, with whole chunks in it
  NotAvi,      // no "RIFF....AVI " header: another kind of file or garbage
  NotOurs,     // an open AVI with streams this recorder never writes
  Damaged,     // cut inside its header, shorter than it says, or nothing in it
  Unreadable,  // could not be opened or read
};

struct AviInspection {
  AviState state = AviState::NotAvi;
  std::string detail;      // the reason in words, for messages
  int64_t fileSize = 0;
  int64_t usableEnd = 0;   // Unfinished: where the last whole chunk ends
  int64_t mediaChunks = 0; // Unfinished: whole non-empty picture and sound chunks
};

// Reads only headers; never changes the file.
AviInspection InspectAvi(const std::string& path);
// The same for a file's bytes already in memory.
AviInspection InspectAviBytes(const uint8_t* bytes, size_t size);

// Our recordings: an "MP43" picture stream, then 48 kHz 16-bit stereo PCM.
inline constexpr uint32_t kPictureHandler = 0x3334504D;  // "MP43"
inline constexpr int kSoundRate = 48000;

}  // namespace media
