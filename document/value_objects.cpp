#include "document/value_objects.h"

#include <charconv>

#include "modules/list_text.h"
#include "platform/text.h"

namespace ov {
namespace {

// The decimal number at the start of `text` (leading blanks and a sign
// allowed), 0 when there is none; not swayed by the process's locale.
float LeadingNumber(const std::string& text) {
  std::size_t at = text.find_first_not_of(" \t\r\n");
  if (at == std::string::npos) return 0.0f;
  if (text[at] == '+') ++at;
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data() + at, text.data() + text.size(), value);
  (void)end;
  return error == std::errc() ? static_cast<float>(value) : 0.0f;
}

}  // namespace

// Bools and integers are written as numbers so that they read back.
std::string ValueToText(bool value) { return value ? "1" : "0"; }
std::string ValueToText(float value) { return FormatFixed(value, 3); }
std::string ValueToText(int16_t value) { return std::to_string(value); }
std::string ValueToText(int32_t value) { return std::to_string(value); }
std::string ValueToText(const std::string& value) { return value; }

void ValueFromText(const std::string& text, bool* value) {
  *value = ParseLeadingInteger(text) != 0;
}
void ValueFromText(const std::string& text, float* value) { *value = LeadingNumber(text); }
void ValueFromText(const std::string& text, int16_t* value) {
  *value = static_cast<int16_t>(ParseLeadingInteger(text));
}
void ValueFromText(const std::string& text, int32_t* value) { *value = ParseLeadingInteger(text); }
void ValueFromText(const std::string& text, std::string* value) { *value = text; }

namespace {

template <typename T, typename M>
std::unique_ptr<generic_feature> MakeVariable(value_owner* owner, const std::string& text) {
  T value{};
  ValueFromText(text, &value);
  return std::make_unique<variable_addin<T, M>>(owner, std::move(value));
}

}  // namespace

std::unique_ptr<generic_feature> MakeFeatureVariable(int32_t datatype, value_owner* owner,
                                                     const std::string& text) {
  switch (datatype) {
    case DT_ENUM:
      return MakeVariable<int16_t, MetaData_enum>(owner, text);
    case DT_TEXT:
      return MakeVariable<std::string, MetaData_filename>(owner, text);
    case DT_BOOL:
      return MakeVariable<bool, MetaData_none>(owner, text);
    case DT_FLOAT:
      return MakeVariable<float, MetaData_float>(owner, text);
    case DT_INT:
      return MakeVariable<int32_t, MetaData_none>(owner, text);
    default:
      return nullptr;
  }
}

}  // namespace ov
