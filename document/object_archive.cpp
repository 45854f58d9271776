#include "document/object_archive.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

#include "platform/text.h"

namespace ov {
namespace {

constexpr uint16_t kLongTag = 0x7FFF;
constexpr uint16_t kNewClassTag = 0xFFFF;
constexpr uint32_t kClassBit = 0x80000000u;
constexpr std::size_t kMaxTableEntries = 0x3FFFFFFD;
constexpr uint16_t kMaxClassNameLength = 64;

}  // namespace

ObjectArchive::ObjectArchive(std::span<const uint8_t> bytes, const SerialClassRegistry& classes,
                             int32_t load_version)
    : FieldWalker(WalkPurpose::kReadStream, load_version), bytes_(bytes), classes_(classes) {
  table_.push_back({nullptr, nullptr});  // index 0 stands for null
}

void ObjectArchive::Fail(ArchiveErrorKind kind, const std::string& detail) const {
  throw ArchiveError(kind, "byte " + std::to_string(position_), detail);
}

void ObjectArchive::Require(uint64_t count, uint64_t element_bytes) const {
  const uint64_t remaining = Remaining();
  if (element_bytes != 0 && count > remaining / element_bytes) {
    Fail(ArchiveErrorKind::kEndOfData, std::to_string(count) + " elements of " +
                                           std::to_string(element_bytes) + " bytes, but only " +
                                           std::to_string(remaining) + " bytes remain");
  }
}

void ObjectArchive::Take(void* out, std::size_t count) {
  Require(count, 1);
  std::memcpy(out, bytes_.data() + position_, count);
  position_ += count;
}

uint8_t ObjectArchive::ReadUInt8() {
  uint8_t value;
  Take(&value, 1);
  return value;
}

uint16_t ObjectArchive::ReadUInt16() {
  uint8_t b[2];
  Take(b, 2);
  return static_cast<uint16_t>(b[0] | (b[1] << 8));
}

uint32_t ObjectArchive::ReadUInt32() {
  uint8_t b[4];
  Take(b, 4);
  return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
         (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
}

float ObjectArchive::ReadFloat32() { return std::bit_cast<float>(ReadUInt32()); }

double ObjectArchive::ReadFloat64() {
  const uint64_t low = ReadUInt32();
  const uint64_t high = ReadUInt32();
  return std::bit_cast<double>(low | (high << 32));
}

Rect ObjectArchive::ReadRect() {
  Rect rect;
  rect.left = ReadInt32();
  rect.top = ReadInt32();
  rect.right = ReadInt32();
  rect.bottom = ReadInt32();
  return rect;
}

Point ObjectArchive::ReadPoint() {
  Point point;
  point.x = ReadInt32();
  point.y = ReadInt32();
  return point;
}

std::vector<uint8_t> ObjectArchive::ReadBytes(std::size_t count) {
  Require(count, 1);
  std::vector<uint8_t> bytes(bytes_.begin() + position_, bytes_.begin() + position_ + count);
  position_ += count;
  return bytes;
}

std::string ObjectArchive::ReadString() {
  bool wide = false;
  uint64_t length = 0;
  for (;;) {
    const uint8_t short_length = ReadUInt8();
    if (short_length < 0xFF) {
      length = short_length;
      break;
    }
    const uint16_t medium = ReadUInt16();
    if (medium == 0xFFFE && !wide) {  // the wide mark, once; then an ordinary length
      wide = true;
      continue;
    }
    if (medium != 0xFFFF) {
      length = medium;
      break;
    }
    const uint32_t long_length = ReadUInt32();
    if (long_length != 0xFFFFFFFFu) {
      length = long_length;
      break;
    }
    const uint64_t low = ReadUInt32();
    const uint64_t high = ReadUInt32();
    length = low | (high << 32);
    if (length >= (uint64_t{1} << 31)) {
      Fail(ArchiveErrorKind::kGeneric, "string length " + std::to_string(length));
    }
    break;
  }
  const uint64_t unit_bytes = wide ? 2 : 1;
  Require(length, unit_bytes);
  const uint8_t* text = bytes_.data() + position_;
  position_ += length * unit_bytes;
  if (wide) return Utf16LeBytesToUtf8(text, length * 2);
  return std::string(reinterpret_cast<const char*>(text), length);
}

uint32_t ObjectArchive::ReadCount() {
  const uint16_t count = ReadUInt16();
  return count != 0xFFFF ? count : ReadUInt32();
}

void ObjectArchive::AddEntry(const SerialClass* serial_class, Persistent* object) {
  if (table_.size() > kMaxTableEntries) Fail(ArchiveErrorKind::kBadIndex, "object table full");
  table_.push_back({serial_class, object});
}

const SerialClass* ObjectArchive::ReadClassRecord() {
  const uint16_t schema = ReadUInt16();
  const uint16_t name_length = ReadUInt16();
  if (name_length >= kMaxClassNameLength) {
    Fail(ArchiveErrorKind::kBadClass,
         "class name of " + std::to_string(name_length) + " characters");
  }
  Require(name_length, 1);
  const std::string name(reinterpret_cast<const char*>(bytes_.data() + position_), name_length);
  position_ += name_length;
  const SerialClass* serial_class = classes_.FindByName(name);
  if (serial_class == nullptr) Fail(ArchiveErrorKind::kBadClass, "unknown class '" + name + "'");
  if (serial_class->versionable) {
    stored_schemas_[serial_class] = schema;
  } else if (schema != serial_class->schema) {
    Fail(ArchiveErrorKind::kBadSchema, "class " + name + " stored with schema " +
                                           std::to_string(schema) + ", expected " +
                                           std::to_string(serial_class->schema));
  }
  AddEntry(serial_class, nullptr);
  return serial_class;
}

Persistent* ObjectArchive::ReadObject(const SerialClass* expected) {
  const uint16_t tag = ReadUInt16();
  uint32_t value = tag;
  if (tag == kLongTag) {
    value = ReadUInt32();
  } else if (tag & 0x8000) {
    value = kClassBit | (tag & 0x7FFF);
  }

  if ((value & kClassBit) == 0) {
    if (value == 0) return nullptr;
    if (value >= table_.size()) {
      Fail(ArchiveErrorKind::kBadIndex, "object index " + std::to_string(value) +
                                            " beyond the table's " + std::to_string(table_.size()) +
                                            " entries");
    }
    const TableEntry& entry = table_[value];
    if (entry.object == nullptr) {
      Fail(ArchiveErrorKind::kBadIndex, "index " + std::to_string(value) + " names a class");
    }
    if (expected != nullptr && !entry.object->IsKindOf(*expected)) {
      Fail(ArchiveErrorKind::kBadClass, std::string("object ") + std::to_string(value) + " is a " +
                                            entry.serial_class->name + ", not a " + expected->name);
    }
    return entry.object;
  }

  const SerialClass* serial_class = nullptr;
  if (tag == kNewClassTag) {
    serial_class = ReadClassRecord();
  } else {
    const uint32_t index = value & ~kClassBit;
    if (index == 0 || index >= table_.size()) {
      Fail(ArchiveErrorKind::kBadIndex, "class index " + std::to_string(index) +
                                            " beyond the table's " + std::to_string(table_.size()) +
                                            " entries");
    }
    if (table_[index].object != nullptr || table_[index].serial_class == nullptr) {
      Fail(ArchiveErrorKind::kBadIndex, "index " + std::to_string(index) + " names an object");
    }
    serial_class = table_[index].serial_class;
  }
  if (expected != nullptr && !serial_class->IsKindOf(*expected)) {
    Fail(ArchiveErrorKind::kBadClass,
         std::string("a ") + serial_class->name + " where a " + expected->name + " belongs");
  }
  if (pool_.reading_depth() >= static_cast<std::size_t>(ObjectPool::kMaxDepth)) {
    Fail(ArchiveErrorKind::kGeneric, "objects nested too deeply");
  }

  std::unique_ptr<Persistent> created;
  try {
    created = serial_class->factory();
  } catch (const std::bad_alloc&) {
  }
  if (!created) {
    Fail(ArchiveErrorKind::kOutOfMemory, std::string("could not create a ") + serial_class->name);
  }
  Persistent* object = pool_.Add(std::move(created));
  AddEntry(serial_class, object);
  const ObjectPool::Reading reading(pool_, object);
  object->Serialize(*this);
  return object;
}

uint16_t ObjectArchive::StoredSchema(const SerialClass& serial_class) const {
  const auto found = stored_schemas_.find(&serial_class);
  return found != stored_schemas_.end() ? found->second
                                        : static_cast<uint16_t>(serial_class.schema);
}

// --- FieldWalker -----------------------------------------------------------

void ObjectArchive::UInt8(std::string_view, uint8_t& value) { value = ReadUInt8(); }
void ObjectArchive::Bool8(std::string_view, bool& value) { value = ReadBool8(); }
void ObjectArchive::Int16(std::string_view, int16_t& value) { value = ReadInt16(); }
void ObjectArchive::UInt16(std::string_view, uint16_t& value) { value = ReadUInt16(); }
void ObjectArchive::Bool16(std::string_view, bool& value) { value = ReadBool16(); }
void ObjectArchive::Int32(std::string_view, int32_t& value) { value = ReadInt32(); }
void ObjectArchive::UInt32(std::string_view, uint32_t& value) { value = ReadUInt32(); }
void ObjectArchive::Bool32(std::string_view, bool& value) { value = ReadBool32(); }
void ObjectArchive::Float32(std::string_view, float& value) { value = ReadFloat32(); }
void ObjectArchive::Float64(std::string_view, double& value) { value = ReadFloat64(); }
void ObjectArchive::RectField(std::string_view, Rect& value) { value = ReadRect(); }
void ObjectArchive::PointField(std::string_view, Point& value) { value = ReadPoint(); }
void ObjectArchive::String(std::string_view, std::string& value) { value = ReadString(); }

void ObjectArchive::Bytes(std::string_view, std::vector<uint8_t>& bytes, std::size_t size) {
  bytes = ReadBytes(size);
}

void ObjectArchive::SizedBytes(std::string_view, std::vector<uint8_t>& bytes, CountForm form) {
  uint32_t size = 0;
  if (form == CountForm::kInt32) {
    const int32_t stored = ReadInt32();
    if (stored < 0) Fail(ArchiveErrorKind::kGeneric, "negative size " + std::to_string(stored));
    size = static_cast<uint32_t>(stored);
  } else {
    size = ReadCount();
  }
  bytes = ReadBytes(size);
}

void ObjectArchive::Object(std::string_view, Persistent*& object, const SerialClass* expected,
                           bool) {
  object = ReadObject(expected);
}

std::unique_ptr<Persistent> ObjectArchive::Adopt(Persistent* object) {
  std::string problem;
  std::unique_ptr<Persistent> adopted = pool_.Adopt(object, &problem);
  if (!adopted) Fail(ArchiveErrorKind::kGeneric, problem);
  return adopted;
}

std::shared_ptr<Persistent> ObjectArchive::Share(Persistent* object) {
  std::string problem;
  std::shared_ptr<Persistent> shared = pool_.Share(object, &problem);
  if (!shared) Fail(ArchiveErrorKind::kGeneric, problem);
  return shared;
}

std::optional<std::size_t> ObjectArchive::BeginList(std::string_view, std::size_t count,
                                                    CountForm form, std::size_t min_element_bytes) {
  switch (form) {
    case CountForm::kCount:
      count = ReadCount();
      break;
    case CountForm::kInt32:
      count = static_cast<std::size_t>(std::max(ReadInt32(), 0));
      break;
    case CountForm::kFixed:
      break;
    case CountForm::kTerminated:
      return kUntilMarker;
  }
  Require(count, min_element_bytes);
  return count;
}

}  // namespace ov
