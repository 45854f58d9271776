// The values patch parameters keep, as both sides of the engine see them:
// their types, their message form, and the normalised view hosts, MIDI
// controllers and panel controls use.
//
// Threads: plain functions and values; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/message_queue.h"

namespace ov {

class ListText;

// The patch parameters' messages (payloads in the comments).
inline constexpr uint32_t kMsgInit = MessageId("init");  // see dsp_patch_manager
inline constexpr uint32_t kMsgPpc = MessageId("ppc");    // flag byte, value
inline constexpr uint32_t kMsgPpca = MessageId("ppca");  // normalised float
inline constexpr uint32_t kMsgCcid = MessageId("CCID");  // int32 controller id
inline constexpr uint32_t kMsgLern = MessageId("lern");  // int32 controller id learned
// New metadata for a running parameter: float minimum and maximum, or one
// part of an item list or file type (a list part, below).
inline constexpr uint32_t kMsgMeta = MessageId("meta");

// Item lists and file types travel as list parts, since a list can be longer
// than one message: uint8 flags, uint32 the whole list's UTF-8 bytes, then a
// queue string of at most kListPartBytes of it. The first part rides in
// "init" (or starts a "meta"); the engine uses the list when the last is in.
inline constexpr uint8_t kListFirst = 1;
inline constexpr uint8_t kListLast = 2;
inline constexpr std::size_t kListPartBytes = 900;
// The list cut into parts at character boundaries; one empty part for "".
std::vector<std::string_view> ListParts(std::string_view list);
void WriteListPart(MessageWriter& writer, std::span<const std::string_view> parts,
                   std::size_t index, std::size_t total_bytes);
// The room the engine keeps for the lists of a parameter that started with a
// list of `initial_bytes`, so later lists up to it arrive without
// allocating: twice that, and at least 4096.
std::size_t EngineListCapacity(std::size_t initial_bytes);

// The value types, by the editor persistence ids that project streams store.
enum PatchValueType : int32_t {
  kPatchEnum = 0,  // signed 16-bit item value
  kPatchText = 1,
  kPatchBool = 4,
  kPatchFloat = 6,
  kPatchInt = 8,
};
bool IsPatchValueType(int32_t value_type);
// The engine persistence id of a value type (20 to 24), or -1.
int32_t EnginePersistenceId(int32_t value_type);
// The value type an engine persistence id names, or -1.
int32_t ValueTypeOfEngineId(int32_t engine_id);

// The least a stored value of `value_type` takes in a project stream or a
// state chunk: enum 2 bytes, bool 1, float and int 4, text 1 (its length).
std::size_t StoredValueBytes(int32_t value_type);

// One value of any type: enum, bool and int in `number`, float in `real`.
struct PatchValue {
  int32_t number = 0;
  float real = 0.0f;
  std::string text;
};

// Message form: enum 2 bytes, bool 1, float and int 4, text a queue string.
void WritePatchValue(MessageWriter& writer, int32_t value_type, const PatchValue& value);
// Text is appended within the capacity `value.text` has (see
// MessageReader::ReadString); the caller clears it first.
bool ReadPatchValue(MessageReader& reader, int32_t value_type, PatchValue& value);

// A float parameter's range; a panel control may set it.
struct FloatRange {
  float minimum = 0.0f;
  float maximum = 10.0f;
};

// Normalised values are clamped to [0, 1]; NaN counts as 0.
float ClampNormalised(float normalised);
// (value - minimum) / (maximum - minimum) within [0, 1]; 0 when the range is
// empty.
float NormaliseFloat(float value, const FloatRange& range);
float DenormaliseFloat(float normalised, const FloatRange& range);

// The value of the parameter at `normalised` for enum, bool and float; the
// same value back for int and text, which have no normalised form. False
// when the type has none.
bool FromNormalised(int32_t value_type, float normalised, const FloatRange& range,
                    const ListText& items, PatchValue& value);
// Enum and float normalised, bool 0 or 1, int 0, text -1.
float ToNormalised(int32_t value_type, const PatchValue& value, const FloatRange& range,
                   const ListText& items);

// A float shown with 4 decimals below 0.1, 2 up to 10, 1 up to 100, none
// above.
std::string FloatValueText(float value);

}  // namespace ov
