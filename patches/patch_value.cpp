#include "patches/patch_value.h"

#include <algorithm>
#include <cmath>

#include "modules/list_text.h"
#include "platform/text.h"

namespace ov {

bool IsPatchValueType(int32_t value_type) { return EnginePersistenceId(value_type) >= 0; }

int32_t EnginePersistenceId(int32_t value_type) {
  switch (value_type) {
    case kPatchText:
      return 20;
    case kPatchEnum:
      return 21;
    case kPatchFloat:
      return 22;
    case kPatchBool:
      return 23;
    case kPatchInt:
      return 24;
    default:
      return -1;
  }
}

int32_t ValueTypeOfEngineId(int32_t engine_id) {
  for (const int32_t type : {kPatchEnum, kPatchText, kPatchBool, kPatchFloat, kPatchInt}) {
    if (EnginePersistenceId(type) == engine_id) return type;
  }
  return -1;
}

void WritePatchValue(MessageWriter& writer, int32_t value_type, const PatchValue& value) {
  switch (value_type) {
    case kPatchEnum:
      writer.Write(static_cast<int16_t>(value.number));
      break;
    case kPatchText:
      writer.WriteString(value.text);
      break;
    case kPatchBool:
      writer.Write(static_cast<uint8_t>(value.number != 0));
      break;
    case kPatchFloat:
      writer.Write(value.real);
      break;
    default:
      writer.Write(value.number);
      break;
  }
}

bool ReadPatchValue(MessageReader& reader, int32_t value_type, PatchValue& value) {
  switch (value_type) {
    case kPatchEnum: {
      int16_t item = 0;
      if (!reader.Read(item)) return false;
      value.number = item;
      return true;
    }
    case kPatchText:
      return reader.ReadString(value.text);
    case kPatchBool: {
      uint8_t flag = 0;
      if (!reader.Read(flag)) return false;
      value.number = flag != 0;
      return true;
    }
    case kPatchFloat:
      return reader.Read(value.real);
    default:
      return reader.Read(value.number);
  }
}

std::vector<std::string_view> ListParts(std::string_view list) {
  std::vector<std::string_view> parts;
  do {
    std::size_t cut = std::min(list.size(), kListPartBytes);
    // Never inside a character: back off over continuation bytes.
    while (cut < list.size() && cut > 0 && (static_cast<uint8_t>(list[cut]) & 0xC0) == 0x80) --cut;
    if (cut == 0) cut = std::min(list.size(), kListPartBytes);  // not UTF-8 at all
    parts.push_back(list.substr(0, cut));
    list.remove_prefix(cut);
  } while (!list.empty());
  return parts;
}

void WriteListPart(MessageWriter& writer, std::span<const std::string_view> parts,
                   std::size_t index, std::size_t total_bytes) {
  uint8_t flags = 0;
  if (index == 0) flags |= kListFirst;
  if (index + 1 == parts.size()) flags |= kListLast;
  writer.Write(flags).Write(static_cast<uint32_t>(total_bytes)).WriteString(parts[index]);
}

std::size_t EngineListCapacity(std::size_t initial_bytes) {
  return std::max<std::size_t>(2 * initial_bytes, 4096);
}

float ClampNormalised(float normalised) {
  if (!(normalised > 0.0f)) return 0.0f;  // NaN too
  return normalised < 1.0f ? normalised : 1.0f;
}

float NormaliseFloat(float value, const FloatRange& range) {
  const float span = range.maximum - range.minimum;
  if (span == 0.0f || !std::isfinite(span)) return 0.0f;
  return ClampNormalised((value - range.minimum) / span);
}

float DenormaliseFloat(float normalised, const FloatRange& range) {
  return range.minimum + (range.maximum - range.minimum) * ClampNormalised(normalised);
}

bool FromNormalised(int32_t value_type, float normalised, const FloatRange& range,
                    const ListText& items, PatchValue& value) {
  switch (value_type) {
    case kPatchFloat:
      value.real = DenormaliseFloat(normalised, range);
      return true;
    case kPatchEnum:
      value.number = static_cast<int16_t>(items.ValueAt(ClampNormalised(normalised)));
      return true;
    case kPatchBool:
      value.number = ClampNormalised(normalised) >= 0.5f;
      return true;
    default:
      return false;
  }
}

float ToNormalised(int32_t value_type, const PatchValue& value, const FloatRange& range,
                   const ListText& items) {
  switch (value_type) {
    case kPatchFloat:
      return NormaliseFloat(value.real, range);
    case kPatchEnum:
      return static_cast<float>(items.PositionOf(value.number));
    case kPatchBool:
      return value.number != 0 ? 1.0f : 0.0f;
    case kPatchText:
      return -1.0f;
    default:
      return 0.0f;
  }
}

std::string FloatValueText(float value) {
  const float magnitude = std::fabs(value);
  const int decimals = magnitude < 0.1f ? 4 : magnitude <= 10.0f ? 2 : magnitude <= 100.0f ? 1 : 0;
  return FormatFixed(value, decimals);
}

std::size_t StoredValueBytes(int32_t value_type) {
  switch (value_type) {
    case kPatchEnum:
      return 2;
    case kPatchBool:
    case kPatchText:
      return 1;
    default:
      return 4;
  }
}

}  // namespace ov
