// Any bytes given to the state-chunk reader (the first byte chooses a bank
// or a program) load whole, or change nothing; never a crash or an overrun.
// A chunk that loads leaves a state that saves to a chunk which loads whole
// again and saves to the very same bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "host/chunks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  ov::CPatchManager& manager = *ov::fuzz::Project().manager;
  const bool preset = (data[0] & 1) != 0;
  std::string problem;
  const ov::ChunkLoad loaded =
      ov::ReadStateChunk(manager, nullptr, {data + 1, size - 1}, preset, &problem);
  if (loaded != ov::ChunkLoad::kLoaded && loaded != ov::ChunkLoad::kSomeMissing) return 0;
  const std::vector<uint8_t> saved = ov::WriteStateChunk(manager, nullptr, preset);
  if (ov::ReadStateChunk(manager, nullptr, saved, preset, &problem) != ov::ChunkLoad::kLoaded) {
    __builtin_trap();
  }
  if (ov::WriteStateChunk(manager, nullptr, preset) != saved) __builtin_trap();
  return 0;
}
