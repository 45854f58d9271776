#include "host/patch_files.h"

#include <string>
#include <vector>

#include "document/container.h"
#include "document/control_mapper.h"
#include "document/patch_manager.h"
#include "host/chunks.h"
#include "host/fx_files.h"
#include "platform/file_dialog.h"
#include "platform/files.h"
#include "platform/message_sink.h"

namespace ov {
namespace {

// Far above any bank of 128 patches: a larger file is not one of ours.
constexpr std::size_t kMostFxFileBytes = 64u << 20;

void Load(const std::string& path, bool program, CContainer& container, CPatchManager& manager,
          int32_t plugin_id,
          MessageSink& messages) {
  std::vector<uint8_t> bytes;
  std::string error;
  if (!ReadFileBytes(path, kMostFxFileBytes, &bytes, &error)) {
    messages.Post("Couldn't open file.\n", MessageStyle::kWarning);
    return;
  }
  const std::optional<FxFile> file = ReadFxFile(bytes, &error);
  if (!file) {
    messages.Post("The file is damaged and was not loaded: " + error, MessageStyle::kWarning);
    return;
  }
  if (!FxFileIdAccepted(file->plugin_id, plugin_id)) {
    messages.Post("This file not compatible - " + FourCharacterId(file->plugin_id),
                  MessageStyle::kWarning);
    return;
  }
  std::string problem;
  switch (ReadStateChunk(manager, &container, file->chunk, program, &problem)) {
    case ChunkLoad::kLoaded:
      break;
    case ChunkLoad::kSomeMissing:
      messages.Post("Some parameters could not be loaded", MessageStyle::kWarning);
      break;
    case ChunkLoad::kDamaged:
      messages.Post("The file is damaged and was not loaded: " + problem, MessageStyle::kWarning);
      return;
    case ChunkLoad::kUnknownFormat:
      messages.Post("The file holds no patches of this plug-in and was not loaded",
                    MessageStyle::kWarning);
      return;
  }
}

void Save(const std::string& path, bool program, CContainer& container, CPatchManager& manager,
          int32_t plugin_id,
          MessageSink& messages) {
  const std::vector<uint8_t> chunk = WriteStateChunk(manager, &container, program);
  if (chunk.empty()) {
    messages.Post("Save Disabled by plugin", MessageStyle::kWarning);
    return;
  }
  const std::vector<uint8_t> bytes =
      WriteFxFile(program ? FxKind::kProgram : FxKind::kBank, plugin_id,
                  program ? manager.PatchName(manager.current_patch()) : std::string(), chunk);
  std::string error;
  if (!WriteFileBytes(path, bytes, &error)) messages.Post(error, MessageStyle::kWarning);
}

}  // namespace

bool IsPatchFileCommand(int32_t id) { return id >= kCommandLoadBank && id <= kCommandSaveProgram; }

void RunPatchFileCommand(int32_t id, CContainer& container, int32_t plugin_id,
                         FileDialog& dialog, MessageSink& messages) {
  CPatchManager* patches = container.GetPatchManager();
  if (!IsPatchFileCommand(id) || patches == nullptr) return;
  CPatchManager& manager = *patches;
  const bool save = id == kCommandSaveBank || id == kCommandSaveProgram;
  const bool program = id == kCommandLoadProgram || id == kCommandSaveProgram;
  FileDialogRequest request;
  request.save = save;
  request.types = {program ? "fxp" : "fxb"};
  dialog.Ask(request, [=, &container, &manager, &messages](const FileDialogAnswer& answer) {
    if (!answer.chosen) return;
    if (save) {
      Save(answer.path, program, container, manager, plugin_id, messages);
    } else {
      Load(answer.path, program, container, manager, plugin_id, messages);
    }
  });
}

}  // namespace ov
