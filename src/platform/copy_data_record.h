#pragma once
// The bytes of a copy-data record as they travel between two message
// windows, without any window: the sender's property holds serial (4 bytes),
// identifier (4), byte count (4), then the bytes, in the host's byte order
// (both ends are on one display, which this layer only uses locally).
//
// The receiver must not trust the count: another program writes it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

inline constexpr int kCopyDataHeaderBytes = 12;

std::vector<unsigned char> EncodeCopyData(uint32_t serial, uint32_t identifier, const void* data,
                                          uint32_t size);

struct DecodedCopyData {
  uint32_t identifier = 0;
  uint32_t size = 0;
  // The record's `size` bytes and one zero after them, so that text always
  // arrives terminated even when the sender's was not.
  std::vector<unsigned char> bytes;
  std::string error;  // why the record was refused; empty when it is good
  bool ok() const { return error.empty(); }
};

// The record must be the one the message with `serial` announces, at most
// `maxSize` bytes, and exactly as long as it says: a short, long, oversized
// or stale record is refused as a whole, before anything is allocated for it.
DecodedCopyData DecodeCopyData(const unsigned char* record, size_t length, uint32_t serial,
                               uint32_t maxSize);

}  // namespace platform
