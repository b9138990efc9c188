#include "platform/copy_data_record.h"

#include <cstring>

namespace platform {

std::vector<unsigned char> EncodeCopyData(uint32_t serial, uint32_t identifier, const void* data,
                                          uint32_t size) {
  std::vector<unsigned char> record(kCopyDataHeaderBytes + size_t{size});
  const uint32_t header[3] = {serial, identifier, size};
  std::memcpy(record.data(), header, sizeof header);
  if (size) std::memcpy(record.data() + kCopyDataHeaderBytes, data, size);
  return record;
}

DecodedCopyData DecodeCopyData(const unsigned char* record, size_t length, uint32_t serial,
                               uint32_t maxSize) {
  DecodedCopyData out;
  if (!record || length < kCopyDataHeaderBytes) {
    out.error = "copy-data record of " + std::to_string(length) + " bytes has no whole header";
    return out;
  }
  uint32_t header[3];
  std::memcpy(header, record, sizeof header);
  const uint32_t count = header[2];
  const size_t body = length - kCopyDataHeaderBytes;
  if (header[0] != serial) {
    out.error = "copy-data record belongs to message " + std::to_string(header[0]) +
                ", not to message " + std::to_string(serial);
  } else if (count > maxSize) {
    out.error = "copy-data record claims " + std::to_string(count) + " bytes, more than the " +
                std::to_string(maxSize) + " a record may hold";
  } else if (body != count) {
    out.error = "copy-data record claims " + std::to_string(count) + " bytes but carries " +
                std::to_string(body);
  }
  if (!out.ok()) return out;
  out.identifier = header[1];
  out.size = count;
  out.bytes.assign(record + kCopyDataHeaderBytes, record + length);
  out.bytes.push_back(0);
  return out;
}

}  // namespace platform
