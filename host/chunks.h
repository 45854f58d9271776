// The state chunks hosts save and restore: the names and values of all 128
// patches (a bank) or of the current patch only (a program).
//
// Layout (little-endian integers, archive strings): format tag, generic
// count G, patch-parameter count M (format 852171 only), G generic keys (ids,
// or names in format 852218, nothing in 852154), M patch-parameter ids,
// patch count P, P patch names, G x P generic value texts, then per patch
// parameter a count and that many values in their archive widths. Writing
// always gives format 852171.
//
// The panel parameters go in host order (HostGenericOrder); the id saved
// for each is its position in the collection order, which a renamed
// parameter keeps. Controls that keep one value per patch save that patch's
// value; any other parameter its current value for every patch.
//
// Threads: editor only.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace ov {

class CContainer;
class CPatchManager;

inline constexpr int32_t kChunkFormatOldest = 852154;
inline constexpr int32_t kChunkFormatIds = 852170;
inline constexpr int32_t kChunkFormatCurrent = 852171;
inline constexpr int32_t kChunkFormatNames = 852218;

// A program chunk (`preset`) holds the current patch; a bank all 128. The
// panel parameters are those below `panel` (none when null).
std::vector<uint8_t> WriteStateChunk(CPatchManager& manager, const CContainer* panel, bool preset);

enum class ChunkLoad {
  kLoaded,
  kSomeMissing,    // loaded, but saved parameters matched nothing here
  kUnknownFormat,  // not a chunk of ours: nothing changed
  kDamaged,        // short or inconsistent: nothing changed
};

// Reads a chunk into a temporary copy bounded by its size and applies it
// only when the whole of it reads. A program chunk (`preset`) holding one
// patch lands on the current patch; a bank, or a program chunk holding any
// other number of patches, on patches 0 up; names and values of patches past the last
// are read and dropped. `problem` receives what was wrong with a damaged
// chunk.
// Saved panel parameters are matched with those below `panel` (none when
// null) by position and id (by name in format 852218, by position alone in
// 852154).
ChunkLoad ReadStateChunk(CPatchManager& manager, const CContainer* panel,
                         std::span<const uint8_t> bytes, bool preset, std::string* problem);

}  // namespace ov
