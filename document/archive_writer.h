// ArchiveWriter: writes project streams by the rules a producer follows:
// the shortest string form, a class record the first time a class is written
// and a class reference afterwards, an object's contents the first time and a
// back-reference afterwards, long tags for indexes of 0x7FFF and more. It
// writes any load version the reader accepts: each class's Serialize() writes
// the fields that version has.
//
// Threads: one writer per stream, used by one thread.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "document/archive_error.h"
#include "document/field_walker.h"

namespace ov {

class ArchiveWriter final : public FieldWalker {
 public:
  explicit ArchiveWriter(int32_t load_version = kCurrentLoadVersion);

  const std::vector<uint8_t>& bytes() const { return bytes_; }
  std::vector<uint8_t> TakeBytes() { return std::move(bytes_); }

  void WriteUInt8(uint8_t value) { bytes_.push_back(value); }
  void WriteUInt16(uint16_t value);
  void WriteInt16(int16_t value) { WriteUInt16(static_cast<uint16_t>(value)); }
  void WriteUInt32(uint32_t value);
  void WriteInt32(int32_t value) { WriteUInt32(static_cast<uint32_t>(value)); }
  void WriteFloat32(float value);
  void WriteFloat64(double value);
  void WriteRect(const Rect& rect);
  void WritePoint(const Point& point);
  void WriteBytes(std::span<const uint8_t> bytes);
  // 8-bit text in the shortest length form.
  void WriteString(std::string_view text);
  // UTF-16 code units with the wide mark.
  void WriteWideString(std::span<const uint16_t> units);
  void WriteCount(uint32_t count);
  // A null tag, a back-reference, or a class record or reference followed by
  // the object's fields.
  void WriteObject(const Persistent* object);

  // FieldWalker
  void UInt8(std::string_view name, uint8_t& value) override;
  void Bool8(std::string_view name, bool& value) override;
  void Int16(std::string_view name, int16_t& value) override;
  void UInt16(std::string_view name, uint16_t& value) override;
  void Bool16(std::string_view name, bool& value) override;
  void Int32(std::string_view name, int32_t& value) override;
  void UInt32(std::string_view name, uint32_t& value) override;
  void Bool32(std::string_view name, bool& value) override;
  void Float32(std::string_view name, float& value) override;
  void Float64(std::string_view name, double& value) override;
  void RectField(std::string_view name, Rect& value) override;
  void PointField(std::string_view name, Point& value) override;
  void String(std::string_view name, std::string& value) override;
  void Bytes(std::string_view name, std::vector<uint8_t>& bytes, std::size_t size) override;
  void SizedBytes(std::string_view name, std::vector<uint8_t>& bytes, CountForm form) override;
  void Object(std::string_view name, Persistent*& object, const SerialClass* expected,
              bool owned) override;
  std::optional<std::size_t> BeginList(std::string_view name, std::size_t count, CountForm form,
                                       std::size_t min_element_bytes) override;

 private:
  void WriteStringLength(std::size_t length, bool wide);
  void WriteTag(uint32_t index, bool is_class);
  uint32_t NextIndex();

  std::vector<uint8_t> bytes_;
  uint32_t next_index_ = 1;  // index 0 stands for null
  std::unordered_map<const SerialClass*, uint32_t> class_indexes_;
  std::unordered_map<const Persistent*, uint32_t> object_indexes_;
  int depth_ = 0;
};

}  // namespace ov
