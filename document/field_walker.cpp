#include "document/field_walker.h"

#include "modules/module_registry.h"

namespace ov {

// The base walker touches no values: the checks after a load only follow
// objects and references.
void FieldWalker::UInt8(std::string_view, uint8_t&) {}
void FieldWalker::Bool8(std::string_view, bool&) {}
void FieldWalker::Int16(std::string_view, int16_t&) {}
void FieldWalker::UInt16(std::string_view, uint16_t&) {}
void FieldWalker::Bool16(std::string_view, bool&) {}
void FieldWalker::Int32(std::string_view, int32_t&) {}
void FieldWalker::UInt32(std::string_view, uint32_t&) {}
void FieldWalker::Bool32(std::string_view, bool&) {}
void FieldWalker::Float32(std::string_view, float&) {}
void FieldWalker::Float64(std::string_view, double&) {}
void FieldWalker::RectField(std::string_view, Rect&) {}
void FieldWalker::PointField(std::string_view, Point&) {}
void FieldWalker::String(std::string_view, std::string&) {}
void FieldWalker::Bytes(std::string_view, std::vector<uint8_t>&, std::size_t) {}
void FieldWalker::SizedBytes(std::string_view, std::vector<uint8_t>&, CountForm) {}
void FieldWalker::Object(std::string_view, Persistent*&, const SerialClass*, bool) {}
void FieldWalker::BeginGroup(std::string_view) {}

const ModuleRegistry& FieldWalker::modules() const {
  return modules_ != nullptr ? *modules_ : BuiltInModules();
}

void FieldWalker::Fail(ArchiveErrorKind kind, const std::string& detail) const {
  throw ArchiveError(kind, "", detail);
}

std::unique_ptr<Persistent> FieldWalker::Adopt(Persistent*) { return nullptr; }
std::shared_ptr<Persistent> FieldWalker::Share(Persistent*) { return nullptr; }

std::optional<std::size_t> FieldWalker::BeginList(std::string_view, std::size_t count, CountForm,
                                                  std::size_t) {
  return count;
}

namespace {

// A list of plain values, one per element.
template <class T, class Walk>
void WalkValues(FieldWalker& walker, std::string_view name, std::vector<T>& values, CountForm form,
                std::size_t value_bytes, Walk walk) {
  const std::optional<std::size_t> count = walker.BeginList(name, values.size(), form, value_bytes);
  if (count) {
    if (walker.Loading()) values.assign(*count, T());
    for (T& value : values) {
      walker.BeginElement();
      walk(value);
      walker.EndElement();
    }
  }
  walker.EndList();
}

}  // namespace

void StringArray(FieldWalker& walker, std::string_view name, std::vector<std::string>& strings) {
  WalkValues(walker, name, strings, CountForm::kCount, 1,
             [&](std::string& text) { walker.String("", text); });
}

void Int32Array(FieldWalker& walker, std::string_view name, std::vector<int32_t>& values) {
  WalkValues(walker, name, values, CountForm::kInt32, 4,
             [&](int32_t& value) { walker.Int32("", value); });
}

void FixedInt32s(FieldWalker& walker, std::string_view name, std::span<int32_t> values) {
  if (walker.BeginList(name, values.size(), CountForm::kFixed, 4)) {
    for (int32_t& value : values) {
      walker.BeginElement();
      walker.Int32("", value);
      walker.EndElement();
    }
  }
  walker.EndList();
}

}  // namespace ov
