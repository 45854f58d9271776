#include "document/text_writer.h"

#include <cmath>

#include "document/archive_error.h"
#include "document/base64.h"
#include "document/object_pool.h"

namespace ov {
namespace {

bool IsUtf8(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<uint8_t>(text[i]);
    std::size_t length = 0;
    uint32_t code = 0;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if ((lead & 0xE0) == 0xC0) {
      length = 2;
      code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3;
      code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4;
      code = lead & 0x07;
    } else {
      return false;
    }
    if (i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<uint8_t>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    static constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
      return false;
    }
    i += length;
  }
  return true;
}

}  // namespace

Json TextOf(const std::string& value) {
  if (IsUtf8(value)) return value;
  const auto* bytes = reinterpret_cast<const uint8_t*>(value.data());
  return Json{{"base64", EncodeBase64({bytes, value.size()})}};
}

Json NumberOf(double value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
  return value;
}

TextWriter::TextWriter(int32_t load_version, Json& out,
                       const std::unordered_set<uint32_t>* shown_ids)
    : FieldWalker(WalkPurpose::kWriteText, load_version), shown_ids_(shown_ids) {
  if (!out.is_object()) out = Json::object();
  nodes_.push_back(&out);
}

Json& TextWriter::Slot(std::string_view name) {
  Json& node = *nodes_.back();
  if (name.empty()) return node;
  return node[std::string(name)];
}

void TextWriter::UInt8(std::string_view name, uint8_t& value) { Slot(name) = value; }
void TextWriter::Bool8(std::string_view name, bool& value) { Slot(name) = value; }
void TextWriter::Int16(std::string_view name, int16_t& value) { Slot(name) = value; }
void TextWriter::UInt16(std::string_view name, uint16_t& value) { Slot(name) = value; }
void TextWriter::Bool16(std::string_view name, bool& value) { Slot(name) = value; }
void TextWriter::Int32(std::string_view name, int32_t& value) { Slot(name) = value; }
void TextWriter::UInt32(std::string_view name, uint32_t& value) { Slot(name) = value; }
void TextWriter::Bool32(std::string_view name, bool& value) { Slot(name) = value; }
void TextWriter::Float32(std::string_view name, float& value) { Slot(name) = NumberOf(value); }
void TextWriter::Float64(std::string_view name, double& value) { Slot(name) = NumberOf(value); }

void TextWriter::RectField(std::string_view name, Rect& value) {
  Slot(name) = Json::array({value.left, value.top, value.right, value.bottom});
}

void TextWriter::PointField(std::string_view name, Point& value) {
  Slot(name) = Json::array({value.x, value.y});
}

void TextWriter::String(std::string_view name, std::string& value) { Slot(name) = TextOf(value); }

void TextWriter::Bytes(std::string_view name, std::vector<uint8_t>& bytes, std::size_t size) {
  std::vector<uint8_t> exact = bytes;
  exact.resize(size, 0);
  Slot(name) = EncodeBase64(exact);
}

void TextWriter::SizedBytes(std::string_view name, std::vector<uint8_t>& bytes, CountForm) {
  Slot(name) = EncodeBase64(bytes);
}

void TextWriter::Object(std::string_view name, Persistent*& object, const SerialClass*, bool) {
  Json& slot = Slot(name);
  if (object == nullptr) {
    slot = nullptr;
    return;
  }
  if (const auto known = object_ids_.find(object); known != object_ids_.end()) {
    referenced_.insert(known->second);
    slot = Json{{"ref", known->second}};
    return;
  }
  // Ids follow the stream's index table: a class record takes an index too.
  const SerialClass& serial_class = object->GetClass();
  if (classes_.insert(&serial_class).second) ++next_index_;
  const uint32_t id = next_index_++;
  object_ids_[object] = id;
  slot = Json{{"class", serial_class.name}};
  if (shown_ids_ != nullptr && shown_ids_->contains(id)) slot["id"] = id;
  if (depth_ >= ObjectPool::kMaxDepth) {
    throw ArchiveError(ArchiveErrorKind::kGeneric, "", "objects nested too deeply");
  }
  ++depth_;
  nodes_.push_back(&slot);
  object->Serialize(*this);
  nodes_.pop_back();
  --depth_;
}

std::optional<std::size_t> TextWriter::BeginList(std::string_view name, std::size_t count,
                                                 CountForm, std::size_t) {
  Json& slot = Slot(name);
  slot = Json::array();
  nodes_.push_back(&slot);
  return count;
}

void TextWriter::BeginElement() {
  Json& list = *nodes_.back();
  list.push_back(nullptr);
  nodes_.push_back(&list.back());
}

void TextWriter::BeginGroup(std::string_view name) {
  Json& slot = Slot(name);
  slot = Json::object();
  nodes_.push_back(&slot);
}

}  // namespace ov
