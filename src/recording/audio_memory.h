#pragma once
// How a sound chunk reaches the file without a copy of its own: whoever
// makes the chunk is handed the memory of the packet it goes out in.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

namespace recording {

// Asked once with the chunk's size in bytes, it gives that much of the
// packet's own buffer, or an empty span when it cannot.
using AudioMemory = std::function<std::span<uint8_t>(std::size_t bytes)>;
// Makes one sound chunk in the memory it asks for (whole 4-byte frames) and
// returns its size; 0 for no chunk, having asked for nothing or not used it.
using AudioChunkMaker = std::function<std::size_t(const AudioMemory& memory)>;

}  // namespace recording
