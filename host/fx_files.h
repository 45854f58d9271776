// Bank (.fxb) and program (.fxp) files in the published VST 2 layout, with an
// opaque state chunk inside. All header integers are big-endian:
//   0 'CcnK', 4 byte size (0), 8 'FBCh' or 'FPCh', 12 version 1,
//   16 plug-in id, 20 plug-in version 0, 24 program count (128 or 1);
//   program: 28 name (28 bytes), 56 chunk size, 60 chunk;
//   bank: 28..155 zero, 156 chunk size, 160 chunk.
//
// Threads: any; pure functions on bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ov {

enum class FxKind { kBank, kProgram };

struct FxFile {
  FxKind kind = FxKind::kBank;
  int32_t plugin_id = 0;
  std::string program_name;  // programs only
  std::vector<uint8_t> chunk;
};

// The program name keeps at most its first 20 bytes.
std::vector<uint8_t> WriteFxFile(FxKind kind, int32_t plugin_id, std::string_view program_name,
                                 std::span<const uint8_t> chunk);

// Checks the magics and every size against the bytes there are. On failure
// `error` says what is wrong.
std::optional<FxFile> ReadFxFile(std::span<const uint8_t> bytes, std::string* error);

// Whether a file saved with `file_id` may be loaded into a plug-in whose id is
// `own_id`: the same id, four blanks, or the generic "OVdt" on either side.
bool FxFileIdAccepted(int32_t file_id, int32_t own_id);

// An id as its four characters, most significant first; bytes that are not
// printable ASCII show as '?'.
std::string FourCharacterId(int32_t id);

}  // namespace ov
