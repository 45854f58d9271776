#include "host/chunks.h"

#include <optional>
#include <utility>

#include "document/archive_error.h"
#include "document/archive_writer.h"
#include "document/object_archive.h"
#include "document/patch_manager.h"
#include "patches/patch_value.h"

namespace ov {
namespace {

constexpr int32_t kPatchCount = CPatchManager::kPatchCount;

bool IsKnownFormat(int32_t tag) {
  return tag == kChunkFormatOldest || tag == kChunkFormatIds || tag == kChunkFormatCurrent ||
         tag == kChunkFormatNames;
}

PatchValue ReadValue(ObjectArchive& archive, int32_t value_type) {
  PatchValue value;
  switch (value_type) {
    case kPatchEnum:
      value.number = archive.ReadInt16();
      break;
    case kPatchBool:
      value.number = archive.ReadUInt8() != 0;
      break;
    case kPatchFloat:
      value.real = archive.ReadFloat32();
      break;
    case kPatchText:
      value.text = archive.ReadString();
      break;
    default:
      value.number = archive.ReadInt32();
      break;
  }
  return value;
}

// A stored count, refused when negative or when `element_bytes` each would
// need more bytes than remain.
std::size_t ReadCount(ObjectArchive& archive, uint64_t element_bytes, const char* what) {
  const int32_t count = archive.ReadInt32();
  if (count < 0) {
    throw ArchiveError(ArchiveErrorKind::kGeneric, std::to_string(archive.Position()),
                       std::string("negative ") + what);
  }
  if (static_cast<uint64_t>(count) * element_bytes > archive.Remaining()) {
    throw ArchiveError(ArchiveErrorKind::kEndOfData, std::to_string(archive.Position()),
                       std::to_string(count) + " " + what + " do not fit in the chunk");
  }
  return static_cast<std::size_t>(count);
}

// Everything a chunk would change, read before anything is changed.
struct ParsedChunk {
  int32_t first = 0;               // the patch the saved ones start at
  std::vector<std::string> names;  // of patches first, first + 1, ...
  std::vector<std::pair<PatchParameter*, std::vector<PatchValue>>> blocks;
  bool some_missing = false;
};

ParsedChunk Parse(const CPatchManager& manager, ObjectArchive& archive, int32_t tag, bool preset) {
  ParsedChunk parsed;
  const std::size_t generic_count = ReadCount(archive, 0, "generic parameters");
  const std::size_t parameter_count =
      tag == kChunkFormatCurrent ? ReadCount(archive, 4, "patch parameters") : 0;
  if (tag == kChunkFormatNames) {
    if (generic_count > archive.Remaining()) {
      throw ArchiveError(ArchiveErrorKind::kEndOfData, std::to_string(archive.Position()),
                         "generic parameter names do not fit in the chunk");
    }
    for (std::size_t i = 0; i < generic_count; ++i) archive.ReadString();
  } else if (tag != kChunkFormatOldest) {
    if (generic_count * 4 > archive.Remaining()) {
      throw ArchiveError(ArchiveErrorKind::kEndOfData, std::to_string(archive.Position()),
                         "generic parameter ids do not fit in the chunk");
    }
    for (std::size_t i = 0; i < generic_count; ++i) archive.ReadInt32();
  }
  std::vector<int32_t> ids(parameter_count);
  for (int32_t& id : ids) id = archive.ReadInt32();

  const std::size_t patch_count = ReadCount(archive, 1, "patch names");
  // Some hosts mark a whole bank as a program: only a chunk that holds one
  // patch lands on the current one, anything else keeps its own numbering.
  const int32_t first = preset && patch_count == 1 ? manager.current_patch() : 0;
  parsed.first = first;
  for (std::size_t i = 0; i < patch_count; ++i) {
    std::string name = archive.ReadString();
    if (first + static_cast<int64_t>(i) < kPatchCount) parsed.names.push_back(std::move(name));
  }

  // No generic (panel control) parameters exist in this build, so every
  // saved one, in any format, is missing: its texts are read and dropped.
  if (generic_count > 0 && patch_count > 0) {
    parsed.some_missing = true;
    if (static_cast<uint64_t>(generic_count) * patch_count > archive.Remaining()) {
      throw ArchiveError(ArchiveErrorKind::kEndOfData, std::to_string(archive.Position()),
                         "generic parameter values do not fit in the chunk");
    }
    for (std::size_t i = 0; i < generic_count * patch_count; ++i) archive.ReadString();
  }

  for (const int32_t id : ids) {
    const auto found = manager.parameters().find(id);
    if (found == manager.parameters().end()) {
      // The block's width is unknown, so nothing after it can be found.
      parsed.some_missing = true;
      break;
    }
    PatchParameter* parameter = found->second.get();
    const int32_t type = parameter->value_type();
    const std::size_t count = ReadCount(archive, StoredValueBytes(type), "values");
    std::vector<PatchValue> values;
    for (std::size_t i = 0; i < count; ++i) {
      PatchValue value = ReadValue(archive, type);
      if (first + static_cast<int64_t>(i) < kPatchCount) values.push_back(std::move(value));
    }
    parsed.blocks.emplace_back(parameter, std::move(values));
  }
  return parsed;
}

}  // namespace

std::vector<uint8_t> WriteStateChunk(CPatchManager& manager, bool preset) {
  const int32_t first = preset ? manager.current_patch() : 0;
  const int32_t last = preset ? first : kPatchCount - 1;
  ArchiveWriter writer;
  writer.WriteInt32(kChunkFormatCurrent);
  writer.WriteInt32(0);  // generic parameters
  writer.WriteInt32(static_cast<int32_t>(manager.parameters().size()));
  for (const auto& [id, parameter] : manager.parameters()) writer.WriteInt32(id);
  writer.WriteInt32(last - first + 1);
  for (int32_t patch = first; patch <= last; ++patch) writer.WriteString(manager.PatchName(patch));
  for (const auto& [id, parameter] : manager.parameters()) {
    parameter->WalkPatchRange(writer, first, last);
  }
  return writer.TakeBytes();
}

ChunkLoad ReadStateChunk(CPatchManager& manager, std::span<const uint8_t> bytes, bool preset,
                         std::string* problem) {
  ParsedChunk parsed;
  try {
    ObjectArchive archive(bytes);
    const int32_t tag = archive.ReadInt32();
    if (!IsKnownFormat(tag)) return ChunkLoad::kUnknownFormat;
    parsed = Parse(manager, archive, tag, preset);
  } catch (const ArchiveError& error) {
    if (problem != nullptr) *problem = error.Describe();
    return ChunkLoad::kDamaged;
  }
  for (std::size_t i = 0; i < parsed.names.size(); ++i) {
    manager.SetPatchName(parsed.first + static_cast<int32_t>(i), std::move(parsed.names[i]));
  }
  for (const auto& [parameter, values] : parsed.blocks) parameter->LoadSlots(parsed.first, values);
  return parsed.some_missing ? ChunkLoad::kSomeMissing : ChunkLoad::kLoaded;
}

}  // namespace ov
