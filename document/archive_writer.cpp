#include "document/archive_writer.h"

#include <algorithm>
#include <bit>
#include <limits>

#include "document/object_pool.h"

namespace ov {
namespace {

constexpr uint32_t kLongTagFrom = 0x7FFF;

[[noreturn]] void Refuse(const std::string& detail) {
  throw ArchiveError(ArchiveErrorKind::kGeneric, "", detail);
}

}  // namespace

ArchiveWriter::ArchiveWriter(int32_t load_version)
    : FieldWalker(WalkPurpose::kWriteStream, load_version) {}

void ArchiveWriter::WriteUInt16(uint16_t value) {
  bytes_.push_back(static_cast<uint8_t>(value));
  bytes_.push_back(static_cast<uint8_t>(value >> 8));
}

void ArchiveWriter::WriteUInt32(uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8)
    bytes_.push_back(static_cast<uint8_t>(value >> shift));
}

void ArchiveWriter::WriteFloat32(float value) { WriteUInt32(std::bit_cast<uint32_t>(value)); }

void ArchiveWriter::WriteFloat64(double value) {
  const uint64_t bits = std::bit_cast<uint64_t>(value);
  WriteUInt32(static_cast<uint32_t>(bits));
  WriteUInt32(static_cast<uint32_t>(bits >> 32));
}

void ArchiveWriter::WriteRect(const Rect& rect) {
  WriteInt32(rect.left);
  WriteInt32(rect.top);
  WriteInt32(rect.right);
  WriteInt32(rect.bottom);
}

void ArchiveWriter::WritePoint(const Point& point) {
  WriteInt32(point.x);
  WriteInt32(point.y);
}

void ArchiveWriter::WriteBytes(std::span<const uint8_t> bytes) {
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
}

void ArchiveWriter::WriteStringLength(std::size_t length, bool wide) {
  if (length > std::numeric_limits<int32_t>::max()) Refuse("string too long");
  if (wide) {
    WriteUInt8(0xFF);
    WriteUInt16(0xFFFE);
  }
  // After the wide mark, 0xFFFE is an ordinary length.
  const std::size_t longest_medium = wide ? 0xFFFE : 0xFFFD;
  if (length < 0xFF) {
    WriteUInt8(static_cast<uint8_t>(length));
  } else if (length <= longest_medium) {
    WriteUInt8(0xFF);
    WriteUInt16(static_cast<uint16_t>(length));
  } else {
    WriteUInt8(0xFF);
    WriteUInt16(0xFFFF);
    WriteUInt32(static_cast<uint32_t>(length));
  }
}

void ArchiveWriter::WriteString(std::string_view text) {
  WriteStringLength(text.size(), false);
  WriteBytes({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
}

void ArchiveWriter::WriteWideString(std::span<const uint16_t> units) {
  WriteStringLength(units.size(), true);
  for (const uint16_t unit : units) WriteUInt16(unit);
}

void ArchiveWriter::WriteCount(uint32_t count) {
  if (count < 0xFFFF) {
    WriteUInt16(static_cast<uint16_t>(count));
  } else {
    WriteUInt16(0xFFFF);
    WriteUInt32(count);
  }
}

uint32_t ArchiveWriter::NextIndex() {
  if (next_index_ > 0x3FFFFFFD) Refuse("too many objects for one stream");
  return next_index_++;
}

void ArchiveWriter::WriteTag(uint32_t index, bool is_class) {
  if (index < kLongTagFrom) {
    WriteUInt16(static_cast<uint16_t>(is_class ? 0x8000 | index : index));
  } else {
    WriteUInt16(0x7FFF);
    WriteUInt32(is_class ? 0x80000000u | index : index);
  }
}

void ArchiveWriter::WriteObject(const Persistent* object) {
  if (object == nullptr) {
    WriteUInt16(0);
    return;
  }
  if (const auto known = object_indexes_.find(object); known != object_indexes_.end()) {
    WriteTag(known->second, false);
    return;
  }
  const SerialClass& serial_class = object->GetClass();
  if (const auto known = class_indexes_.find(&serial_class); known != class_indexes_.end()) {
    WriteTag(known->second, true);
  } else {
    const std::string_view name = serial_class.name;
    WriteUInt16(0xFFFF);
    WriteUInt16(static_cast<uint16_t>(serial_class.schema));
    WriteUInt16(static_cast<uint16_t>(name.size()));
    WriteBytes({reinterpret_cast<const uint8_t*>(name.data()), name.size()});
    class_indexes_[&serial_class] = NextIndex();
  }
  object_indexes_[object] = NextIndex();
  if (depth_ >= ObjectPool::kMaxDepth) Refuse("objects nested too deeply for a stream");
  ++depth_;
  // Writing does not change the object; Serialize() takes it mutable because
  // the same walk also reads.
  const_cast<Persistent*>(object)->Serialize(*this);
  --depth_;
}

// --- FieldWalker -----------------------------------------------------------

void ArchiveWriter::UInt8(std::string_view, uint8_t& value) { WriteUInt8(value); }
void ArchiveWriter::Bool8(std::string_view, bool& value) { WriteUInt8(value ? 1 : 0); }
void ArchiveWriter::Int16(std::string_view, int16_t& value) { WriteInt16(value); }
void ArchiveWriter::UInt16(std::string_view, uint16_t& value) { WriteUInt16(value); }
void ArchiveWriter::Bool16(std::string_view, bool& value) { WriteUInt16(value ? 1 : 0); }
void ArchiveWriter::Int32(std::string_view, int32_t& value) { WriteInt32(value); }
void ArchiveWriter::UInt32(std::string_view, uint32_t& value) { WriteUInt32(value); }
void ArchiveWriter::Bool32(std::string_view, bool& value) { WriteUInt32(value ? 1 : 0); }
void ArchiveWriter::Float32(std::string_view, float& value) { WriteFloat32(value); }
void ArchiveWriter::Float64(std::string_view, double& value) { WriteFloat64(value); }
void ArchiveWriter::RectField(std::string_view, Rect& value) { WriteRect(value); }
void ArchiveWriter::PointField(std::string_view, Point& value) { WritePoint(value); }
void ArchiveWriter::String(std::string_view, std::string& value) { WriteString(value); }

void ArchiveWriter::Bytes(std::string_view, std::vector<uint8_t>& bytes, std::size_t size) {
  // A block that was never filled in is written as zeros.
  const std::size_t kept = std::min(bytes.size(), size);
  WriteBytes({bytes.data(), kept});
  bytes_.insert(bytes_.end(), size - kept, 0);
}

void ArchiveWriter::SizedBytes(std::string_view, std::vector<uint8_t>& bytes, CountForm form) {
  if (bytes.size() > std::numeric_limits<int32_t>::max()) Refuse("block too large");
  if (form == CountForm::kInt32) {
    WriteInt32(static_cast<int32_t>(bytes.size()));
  } else {
    WriteCount(static_cast<uint32_t>(bytes.size()));
  }
  WriteBytes(bytes);
}

void ArchiveWriter::Object(std::string_view, Persistent*& object, const SerialClass*, bool) {
  WriteObject(object);
}

std::optional<std::size_t> ArchiveWriter::BeginList(std::string_view, std::size_t count,
                                                    CountForm form, std::size_t) {
  if (count > std::numeric_limits<int32_t>::max()) Refuse("list too long");
  if (form == CountForm::kCount) WriteCount(static_cast<uint32_t>(count));
  if (form == CountForm::kInt32) WriteInt32(static_cast<int32_t>(count));
  return count;
}

}  // namespace ov
