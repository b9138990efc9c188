// Copy-data records as another program may leave them in its property: the
// serial the message announced and the record's bytes.
#include <algorithm>
#include <cstring>
#include <vector>

#include "fuzz_check.h"
#include "platform/copy_data_record.h"

using platform::DecodeCopyData;
using platform::EncodeCopyData;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  uint32_t serial;
  std::memcpy(&serial, data, 4);
  const uint8_t* record = data + 4;
  const size_t length = size - 4;
  constexpr uint32_t kMax = 1024;

  const auto got = DecodeCopyData(record, length, serial, kMax);
  if (got.ok()) {
    FUZZ_CHECK(got.size <= kMax && length == platform::kCopyDataHeaderBytes + size_t{got.size});
    FUZZ_CHECK(got.bytes.size() == size_t{got.size} + 1 && got.bytes.back() == 0);
    // A good record is exactly what the sender's encoder makes of its parts.
    FUZZ_CHECK(EncodeCopyData(serial, got.identifier, got.bytes.data(), got.size) ==
               std::vector<unsigned char>(record, record + length));
  } else {
    FUZZ_CHECK(got.bytes.empty() && got.size == 0);
  }

  // Whatever the sender encodes within the bound comes through whole.
  const uint32_t payload = static_cast<uint32_t>(std::min<size_t>(length, kMax));
  const auto encoded = EncodeCopyData(serial, serial ^ 0x5a5a5a5au, record, payload);
  const auto back = DecodeCopyData(encoded.data(), encoded.size(), serial, kMax);
  FUZZ_CHECK(back.ok() && back.size == payload && back.identifier == (serial ^ 0x5a5a5a5au));
  FUZZ_CHECK(payload == 0 || std::memcmp(back.bytes.data(), record, payload) == 0);
  // ... and only to the message it belongs to.
  FUZZ_CHECK(!DecodeCopyData(encoded.data(), encoded.size(), serial + 1, kMax).ok());
  return 0;
}
