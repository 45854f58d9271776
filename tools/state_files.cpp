#include "tools/state_files.h"

#include <cstdint>
#include <span>
#include <vector>

#include "host/fx_files.h"
#include "platform/files.h"
#include "platform/text.h"
#include "tools/vst_plugin.h"

namespace ov {
namespace {

// Far beyond any state a patch holds; a larger file is not ours.
constexpr std::size_t kMaxStateFileBytes = 256u << 20;

bool HasChunks(VstPlugin& plugin, const std::string& path, std::string* error) {
  if (plugin.Effect().flags & vst2::effFlagsProgramChunks) return true;
  *error = path + ": the plug-in keeps no state chunks, so its state cannot go in a file";
  return false;
}

bool EndsWithProgramExtension(const std::string& path) {
  if (path.size() < 4) return false;
  std::string extension = path.substr(path.size() - 4);
  for (char& c : extension) c = ToLowerAscii(c);
  return extension == ".fxp";
}

}  // namespace

bool SaveStateFile(VstPlugin& plugin, const std::string& path, std::string* error) {
  if (!HasChunks(plugin, path, error)) return false;
  const bool program = EndsWithProgramExtension(path);
  void* data = nullptr;
  const intptr_t size = plugin.Dispatch(vst2::effGetChunk, program ? 1 : 0, 0, &data);
  if (size <= 0 || data == nullptr) {
    *error = path + ": the plug-in gave no state to save";
    return false;
  }
  const std::span<const uint8_t> chunk(static_cast<const uint8_t*>(data),
                                       static_cast<std::size_t>(size));
  const std::string name = program ? plugin.DispatchText(vst2::effGetProgramName) : std::string();
  const std::vector<uint8_t> file = WriteFxFile(program ? FxKind::kProgram : FxKind::kBank,
                                                plugin.Effect().uniqueID, name, chunk);
  return WriteFileBytes(path, file, error);
}

bool LoadStateFile(VstPlugin& plugin, const std::string& path, std::string* error) {
  if (!HasChunks(plugin, path, error)) return false;
  std::vector<uint8_t> bytes;
  if (!ReadFileBytes(path, kMaxStateFileBytes, &bytes, error)) return false;
  std::string problem;
  std::optional<FxFile> file = ReadFxFile(bytes, &problem);
  if (!file) {
    *error = path + ": " + problem;
    return false;
  }
  if (!FxFileIdAccepted(file->plugin_id, plugin.Effect().uniqueID)) {
    *error = path + ": This file not compatible - " + FourCharacterId(file->plugin_id);
    return false;
  }
  if (file->chunk.size() > INT32_MAX) {
    *error = path + ": the state is too large to hand to a plug-in";
    return false;
  }
  const bool program = file->kind == FxKind::kProgram;
  if (program) {
    plugin.Dispatch(vst2::effSetProgramName, 0, 0, file->program_name.data());
  }
  plugin.Dispatch(vst2::effSetChunk, program ? 1 : 0, static_cast<intptr_t>(file->chunk.size()),
                  file->chunk.data());
  return true;
}

}  // namespace ov
