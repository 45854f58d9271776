// The values patch parameters keep, as both sides of the engine see them:
// their types, their message form, and the normalised view hosts, MIDI
// controllers and panel controls use.
//
// Threads: plain functions and values; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/message_queue.h"

namespace ov {

class ListText;

// The patch parameters' messages (payloads in the comments).
inline constexpr uint32_t kMsgInit = MessageId("init");  // see dsp_patch_manager
inline constexpr uint32_t kMsgPpc = MessageId("ppc");    // flag byte, value
inline constexpr uint32_t kMsgPpca = MessageId("ppca");  // normalised float
inline constexpr uint32_t kMsgCcid = MessageId("CCID");  // int32 controller id
inline constexpr uint32_t kMsgLern = MessageId("lern");  // int32 controller id learned

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
