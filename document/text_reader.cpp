#include "document/text_reader.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "document/base64.h"

namespace ov {
namespace {

std::string IdText(const Json& id) { return id.is_string() ? id.get<std::string>() : id.dump(); }

}  // namespace

TextReader::TextReader(const Json& top, int32_t load_version, TextShorthands* shorthands)
    : FieldWalker(WalkPurpose::kReadText, load_version), shorthands_(shorthands) {
  PushFrame(&top, "");
}

void TextReader::PushFrame(const Json* node, std::string path) {
  frames_.push_back({node, std::move(path), {}, 0});
}

void TextReader::PopFrame() { frames_.pop_back(); }

std::string TextReader::PathOf(std::string_view key) const {
  const std::string& base = frames_.back().path;
  if (key.empty()) return base.empty() ? "(top)" : base;
  return base.empty() ? std::string(key) : base + "." + std::string(key);
}

std::string TextReader::FieldPath(std::string_view name) const { return PathOf(name); }

void TextReader::FailAt(const std::string& path, ArchiveErrorKind kind,
                        const std::string& detail) const {
  throw ArchiveError(kind, path, detail);
}

void TextReader::Fail(ArchiveErrorKind kind, const std::string& detail) const {
  FailAt(PathOf(""), kind, detail);
}

const Json* TextReader::Take(std::string_view key) {
  Frame& frame = frames_.back();
  if (frame.node == nullptr || !frame.node->is_object()) return nullptr;
  const auto found = frame.node->find(std::string(key));
  if (found == frame.node->end()) return nullptr;
  frame.used.emplace_back(key);
  return &*found;
}

const Json* TextReader::Field(std::string_view name) {
  if (name.empty()) {
    frames_.back().whole = true;
    return frames_.back().node;
  }
  const Frame& frame = frames_.back();
  if (frame.node != nullptr && !frame.node->is_object() && !frame.node->is_null()) {
    Fail(ArchiveErrorKind::kGeneric,
         "expected an object with the field '" + std::string(name) + "'");
  }
  return Take(name);
}

void TextReader::CheckAllUsed() const {
  const Frame& frame = frames_.back();
  if (frame.whole || frame.node == nullptr || !frame.node->is_object()) return;
  for (const auto& [key, value] : frame.node->items()) {
    if (std::find(frame.used.begin(), frame.used.end(), key) == frame.used.end()) {
      FailAt(PathOf(key), ArchiveErrorKind::kGeneric, "unknown field");
    }
  }
}

int64_t TextReader::Integer(std::string_view name, const Json& node, int64_t low, int64_t high) {
  if (!node.is_number_integer()) {
    FailAt(FieldPath(name), ArchiveErrorKind::kGeneric, "expected an integer");
  }
  if (node.is_number_unsigned()) {
    const uint64_t value = node.get<uint64_t>();
    if (value > static_cast<uint64_t>(high)) {
      FailAt(FieldPath(name), ArchiveErrorKind::kGeneric, "out of range");
    }
    return static_cast<int64_t>(value);
  }
  const int64_t value = node.get<int64_t>();
  if (value < low || value > high) {
    FailAt(FieldPath(name), ArchiveErrorKind::kGeneric,
           "out of range " + std::to_string(low) + " to " + std::to_string(high));
  }
  return value;
}

bool TextReader::Boolean(std::string_view name, const Json& node) {
  if (node.is_boolean()) return node.get<bool>();
  return Integer(name, node, 0, 1) != 0;
}

double TextReader::Number(std::string_view name, const Json& node) {
  if (node.is_number()) return node.get<double>();
  if (node == "nan") return std::numeric_limits<double>::quiet_NaN();
  if (node == "inf") return std::numeric_limits<double>::infinity();
  if (node == "-inf") return -std::numeric_limits<double>::infinity();
  FailAt(FieldPath(name), ArchiveErrorKind::kGeneric, "expected a number");
}

std::vector<uint8_t> TextReader::Base64(std::string_view name, const Json& node) {
  std::optional<std::vector<uint8_t>> bytes;
  if (node.is_string()) bytes = DecodeBase64(node.get<std::string>());
  if (!bytes) FailAt(FieldPath(name), ArchiveErrorKind::kGeneric, "expected base64 text");
  return std::move(*bytes);
}

void TextReader::UInt8(std::string_view name, uint8_t& value) {
  if (const Json* node = Field(name)) value = static_cast<uint8_t>(Integer(name, *node, 0, 255));
}

void TextReader::Bool8(std::string_view name, bool& value) {
  if (const Json* node = Field(name)) value = Boolean(name, *node);
}

void TextReader::Int16(std::string_view name, int16_t& value) {
  if (const Json* node = Field(name)) {
    value = static_cast<int16_t>(Integer(name, *node, INT16_MIN, INT16_MAX));
  }
}

void TextReader::UInt16(std::string_view name, uint16_t& value) {
  if (const Json* node = Field(name)) {
    value = static_cast<uint16_t>(Integer(name, *node, 0, UINT16_MAX));
  }
}

void TextReader::Bool16(std::string_view name, bool& value) { Bool8(name, value); }

void TextReader::Int32(std::string_view name, int32_t& value) {
  if (const Json* node = Field(name)) {
    value = static_cast<int32_t>(Integer(name, *node, INT32_MIN, INT32_MAX));
  }
}

void TextReader::UInt32(std::string_view name, uint32_t& value) {
  if (const Json* node = Field(name)) {
    value = static_cast<uint32_t>(Integer(name, *node, 0, UINT32_MAX));
  }
}

void TextReader::Bool32(std::string_view name, bool& value) { Bool8(name, value); }

void TextReader::Float32(std::string_view name, float& value) {
  if (const Json* node = Field(name)) value = static_cast<float>(Number(name, *node));
}

void TextReader::Float64(std::string_view name, double& value) {
  if (const Json* node = Field(name)) value = Number(name, *node);
}

void TextReader::RectField(std::string_view name, Rect& value) {
  const Json* node = Field(name);
  if (node == nullptr) return;
  if (!node->is_array() || node->size() != 4) {
    FailAt(FieldPath(name), ArchiveErrorKind::kGeneric, "expected [left, top, right, bottom]");
  }
  int32_t* sides[] = {&value.left, &value.top, &value.right, &value.bottom};
  for (int i = 0; i < 4; ++i) {
    *sides[i] = static_cast<int32_t>(Integer(name, (*node)[i], INT32_MIN, INT32_MAX));
  }
}

void TextReader::PointField(std::string_view name, Point& value) {
  const Json* node = Field(name);
  if (node == nullptr) return;
  if (!node->is_array() || node->size() != 2) {
    FailAt(FieldPath(name), ArchiveErrorKind::kGeneric, "expected [x, y]");
  }
  value.x = static_cast<int32_t>(Integer(name, (*node)[0], INT32_MIN, INT32_MAX));
  value.y = static_cast<int32_t>(Integer(name, (*node)[1], INT32_MIN, INT32_MAX));
}

void TextReader::String(std::string_view name, std::string& value) {
  const Json* node = Field(name);
  if (node == nullptr) return;
  if (node->is_string()) {
    value = node->get<std::string>();
    return;
  }
  // Text that is not UTF-8 is kept as its bytes.
  if (node->is_object() && node->size() == 1 && node->contains("base64")) {
    const std::vector<uint8_t> bytes = Base64(name, (*node)["base64"]);
    value.assign(bytes.begin(), bytes.end());
    return;
  }
  FailAt(FieldPath(name), ArchiveErrorKind::kGeneric, "expected text");
}

void TextReader::Bytes(std::string_view name, std::vector<uint8_t>& bytes, std::size_t size) {
  const Json* node = Field(name);
  if (node == nullptr) return;
  std::vector<uint8_t> decoded = Base64(name, *node);
  if (decoded.size() != size) {
    FailAt(FieldPath(name), ArchiveErrorKind::kGeneric,
           "expected " + std::to_string(size) + " bytes, found " + std::to_string(decoded.size()));
  }
  bytes = std::move(decoded);
}

void TextReader::SizedBytes(std::string_view name, std::vector<uint8_t>& bytes, CountForm) {
  if (const Json* node = Field(name)) bytes = Base64(name, *node);
}

Persistent* TextReader::ReadObjectNode(const Json& node, const std::string& path,
                                       const SerialClass* expected) {
  if (node.is_null()) return nullptr;
  if (!node.is_object()) FailAt(path, ArchiveErrorKind::kGeneric, "expected an object");
  if (const auto ref = node.find("ref"); ref != node.end()) {
    if (node.size() != 1) FailAt(path, ArchiveErrorKind::kGeneric, "a reference has no fields");
    const auto found = ids_.find(IdText(*ref));
    if (found == ids_.end()) {
      FailAt(path + ".ref", ArchiveErrorKind::kBadIndex, "no object with id " + IdText(*ref));
    }
    if (expected != nullptr && !found->second->IsKindOf(*expected)) {
      FailAt(path + ".ref", ArchiveErrorKind::kBadClass,
             std::string("a ") + found->second->GetClass().name + " where a " + expected->name +
                 " belongs");
    }
    return found->second;
  }
  if (pool_.reading_depth() >= static_cast<std::size_t>(ObjectPool::kMaxDepth)) {
    FailAt(path, ArchiveErrorKind::kGeneric, "objects nested too deeply");
  }

  PushFrame(&node, path);
  std::unique_ptr<Persistent> created;
  if (const Json* class_name = Take("class")) {
    if (!class_name->is_string()) Fail(ArchiveErrorKind::kBadClass, "expected a class name");
    const SerialClass* serial_class = StreamClasses().FindByName(class_name->get<std::string>());
    if (serial_class == nullptr) {
      FailAt(PathOf("class"), ArchiveErrorKind::kBadClass,
             "unknown class '" + class_name->get<std::string>() + "'");
    }
    created = serial_class->factory();
  } else if (shorthands_ != nullptr) {
    created = shorthands_->Create(*this, node, expected);
  }
  if (!created) Fail(ArchiveErrorKind::kBadClass, "no \"class\" given");
  if (expected != nullptr && !created->IsKindOf(*expected)) {
    Fail(ArchiveErrorKind::kBadClass,
         std::string("a ") + created->GetClass().name + " where a " + expected->name + " belongs");
  }
  Persistent* object = pool_.Add(std::move(created));
  if (const Json* id = Take("id")) {
    if (!ids_.emplace(IdText(*id), object).second) {
      FailAt(PathOf("id"), ArchiveErrorKind::kBadIndex, "id " + IdText(*id) + " given twice");
    }
  }
  {
    const ObjectPool::Reading reading(pool_, object);
    object->Serialize(*this);
    if (shorthands_ != nullptr) shorthands_->Complete(*this, *object);
    CheckAllUsed();
  }
  PopFrame();
  return object;
}

void TextReader::Object(std::string_view name, Persistent*& object, const SerialClass* expected,
                        bool) {
  const Json* node = Field(name);
  if (node != nullptr) object = ReadObjectNode(*node, FieldPath(name), expected);
}

std::unique_ptr<Persistent> TextReader::Adopt(Persistent* object) {
  std::string problem;
  std::unique_ptr<Persistent> adopted = pool_.Adopt(object, &problem);
  if (!adopted) Fail(ArchiveErrorKind::kGeneric, problem);
  return adopted;
}

std::shared_ptr<Persistent> TextReader::Share(Persistent* object) {
  std::string problem;
  std::shared_ptr<Persistent> shared = pool_.Share(object, &problem);
  if (!shared) Fail(ArchiveErrorKind::kGeneric, problem);
  return shared;
}

std::optional<std::size_t> TextReader::BeginList(std::string_view name, std::size_t count,
                                                 CountForm form, std::size_t) {
  const Json* node = Field(name);
  const std::string path = FieldPath(name);
  PushFrame(node, path);
  if (node == nullptr) return std::nullopt;
  if (!node->is_array()) FailAt(path, ArchiveErrorKind::kGeneric, "expected a list");
  if (form == CountForm::kFixed && node->size() != count) {
    FailAt(path, ArchiveErrorKind::kGeneric, "expected " + std::to_string(count) + " elements");
  }
  return node->size();
}

void TextReader::EndList() { PopFrame(); }

void TextReader::BeginElement() {
  Frame& list = frames_.back();
  const std::size_t index = list.next_element++;
  const Json* element = list.node != nullptr ? &(*list.node)[index] : nullptr;
  PushFrame(element, list.path + "[" + std::to_string(index) + "]");
}

void TextReader::EndElement() {
  CheckAllUsed();
  PopFrame();
}

void TextReader::BeginGroup(std::string_view name) {
  const Json* node = Field(name);
  if (node != nullptr && !node->is_object()) {
    FailAt(FieldPath(name), ArchiveErrorKind::kGeneric, "expected an object");
  }
  PushFrame(node, FieldPath(name));
}

void TextReader::EndGroup() {
  CheckAllUsed();
  PopFrame();
}

}  // namespace ov
