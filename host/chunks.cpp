#include "host/chunks.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "document/archive_error.h"
#include "document/archive_writer.h"
#include "document/control.h"
#include "document/generic_parameter.h"
#include "document/object_archive.h"
#include "document/patch_manager.h"
#include "host/host_parameters.h"
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
  // Panel parameters found, with their texts of patches first, first + 1, ...
  std::vector<std::pair<generic_parameter*, std::vector<std::string>>> generics;
  bool some_missing = false;
};

// The panel parameter a saved one lands on: the one after the last found
// when its key matches, else the first whose key does; null when none
// does. Format 852154 saved no keys and takes the next one, round the list.
class GenericMatcher {
 public:
  GenericMatcher(std::span<const HostGeneric> current, int32_t tag)
      : current_(current), tag_(tag) {}

  generic_parameter* Match(int32_t id, const std::string& name) {
    if (current_.empty()) return nullptr;
    const auto fits = [&](const HostGeneric& candidate) {
      return tag_ == kChunkFormatNames ? candidate.parameter->Name() == name : candidate.id == id;
    };
    std::size_t chosen = next_ % current_.size();
    if (tag_ != kChunkFormatOldest && !fits(current_[chosen])) {
      const auto found = std::find_if(current_.begin(), current_.end(), fits);
      if (found == current_.end()) return nullptr;
      chosen = static_cast<std::size_t>(found - current_.begin());
    }
    next_ = chosen + 1;
    return current_[chosen].parameter;
  }

 private:
  std::span<const HostGeneric> current_;
  int32_t tag_;
  std::size_t next_ = 0;
};

ParsedChunk Parse(const CPatchManager& manager, std::span<const HostGeneric> current,
                  ObjectArchive& archive, int32_t tag, bool preset) {
  ParsedChunk parsed;
  // Each saved panel parameter has at least its key here (a 4-byte id, a
  // name of one byte or more) and one value byte per patch further on.
  const uint64_t key_bytes = tag == kChunkFormatNames ? 1 : tag == kChunkFormatOldest ? 0 : 4;
  const std::size_t generic_count = ReadCount(archive, key_bytes, "generic parameters");
  const std::size_t parameter_count =
      tag == kChunkFormatCurrent ? ReadCount(archive, 4, "patch parameters") : 0;
  std::vector<int32_t> generic_ids;
  std::vector<std::string> generic_names;
  if (tag == kChunkFormatNames) {
    generic_names.reserve(generic_count);
    for (std::size_t i = 0; i < generic_count; ++i) generic_names.push_back(archive.ReadString());
  } else if (tag != kChunkFormatOldest) {
    generic_ids.reserve(generic_count);
    for (std::size_t i = 0; i < generic_count; ++i) generic_ids.push_back(archive.ReadInt32());
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

  if (generic_count > 0 && patch_count > 0) {
    if (static_cast<uint64_t>(generic_count) * patch_count > archive.Remaining()) {
      throw ArchiveError(ArchiveErrorKind::kEndOfData, std::to_string(archive.Position()),
                         "generic parameter values do not fit in the chunk");
    }
    GenericMatcher matcher(current, tag);
    const std::string no_name;
    for (std::size_t j = 0; j < generic_count; ++j) {
      generic_parameter* target = matcher.Match(generic_ids.empty() ? -1 : generic_ids[j],
                                                generic_names.empty() ? no_name : generic_names[j]);
      if (target == nullptr) parsed.some_missing = true;
      std::vector<std::string> texts;
      for (std::size_t k = 0; k < patch_count; ++k) {
        std::string text = archive.ReadString();
        if (target != nullptr && first + static_cast<int64_t>(k) < kPatchCount) {
          texts.push_back(std::move(text));
        }
      }
      if (target != nullptr) parsed.generics.emplace_back(target, std::move(texts));
    }
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

std::vector<uint8_t> WriteStateChunk(CPatchManager& manager, const CContainer* panel, bool preset) {
  const int32_t first = preset ? manager.current_patch() : 0;
  const int32_t last = preset ? first : kPatchCount - 1;
  const std::vector<HostGeneric> generics =
      panel != nullptr ? HostGenericOrder(*panel) : std::vector<HostGeneric>();
  ArchiveWriter writer;
  writer.WriteInt32(kChunkFormatCurrent);
  writer.WriteInt32(static_cast<int32_t>(generics.size()));
  writer.WriteInt32(static_cast<int32_t>(manager.parameters().size()));
  for (const HostGeneric& generic : generics) writer.WriteInt32(generic.id);
  for (const auto& [id, parameter] : manager.parameters()) writer.WriteInt32(id);
  writer.WriteInt32(last - first + 1);
  for (int32_t patch = first; patch <= last; ++patch) writer.WriteString(manager.PatchName(patch));
  for (const HostGeneric& generic : generics) {
    const auto* control = dynamic_cast<const CControl*>(generic.parameter);
    for (int32_t patch = first; patch <= last; ++patch) {
      writer.WriteString(control != nullptr ? control->ValueText(patch)
                                            : generic.parameter->ValueText());
    }
  }
  for (const auto& [id, parameter] : manager.parameters()) {
    parameter->WalkPatchRange(writer, first, last);
  }
  return writer.TakeBytes();
}

ChunkLoad ReadStateChunk(CPatchManager& manager, const CContainer* panel,
                         std::span<const uint8_t> bytes, bool preset, std::string* problem) {
  ParsedChunk parsed;
  try {
    ObjectArchive archive(bytes);
    const int32_t tag = archive.ReadInt32();
    if (!IsKnownFormat(tag)) return ChunkLoad::kUnknownFormat;
    const std::vector<HostGeneric> current =
        panel != nullptr ? HostGenericOrder(*panel) : std::vector<HostGeneric>();
    parsed = Parse(manager, current, archive, tag, preset);
  } catch (const ArchiveError& error) {
    if (problem != nullptr) *problem = error.Describe();
    return ChunkLoad::kDamaged;
  }
  for (std::size_t i = 0; i < parsed.names.size(); ++i) {
    manager.SetPatchName(parsed.first + static_cast<int32_t>(i), std::move(parsed.names[i]));
  }
  for (const auto& [parameter, texts] : parsed.generics) {
    if (auto* control = dynamic_cast<CControl*>(parameter)) {
      for (std::size_t k = 0; k < texts.size(); ++k) {
        control->SetValueText(parsed.first + static_cast<int32_t>(k), texts[k]);
      }
    } else if (!texts.empty()) {
      // One value for all patches: the last saved one stands.
      parameter->WriteValueText(texts.back());
    }
  }
  for (const auto& [parameter, values] : parsed.blocks) parameter->LoadSlots(parsed.first, values);
  return parsed.some_missing ? ChunkLoad::kSomeMissing : ChunkLoad::kLoaded;
}

}  // namespace ov
