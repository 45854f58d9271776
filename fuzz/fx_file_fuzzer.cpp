// Any bytes given to the bank and program file reader give a file or an
// error; a file that reads writes back to bytes that read as the same file,
// and its chunk then goes to the state-chunk reader as a host's load would.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "host/chunks.h"
#include "host/fx_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::string error;
  const std::optional<ov::FxFile> file = ov::ReadFxFile({data, size}, &error);
  if (!file) return 0;
  static_cast<void>(ov::FourCharacterId(file->plugin_id));
  const std::vector<uint8_t> written =
      ov::WriteFxFile(file->kind, file->plugin_id, file->program_name, file->chunk);
  const std::optional<ov::FxFile> again = ov::ReadFxFile(written, &error);
  if (!again || again->kind != file->kind || again->plugin_id != file->plugin_id ||
      again->chunk != file->chunk ||
      ov::WriteFxFile(again->kind, again->plugin_id, again->program_name, again->chunk) !=
          written) {
    __builtin_trap();
  }
  std::string problem;
  static_cast<void>(ov::ReadStateChunk(*ov::fuzz::Project().manager, nullptr, file->chunk,
                                       file->kind == ov::FxKind::kProgram, &problem));
  return 0;
}
