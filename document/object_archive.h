// ObjectArchive: the reader of project streams. It reads the primitives of
// the format, object tags with their class records and back-references, and
// calls each new object's Serialize() to read its fields. Every length and
// count is checked against the bytes that remain before anything is
// allocated; the first problem throws ArchiveError.
//
// Threads: one archive per load, used by one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "document/archive_error.h"
#include "document/field_walker.h"
#include "document/object_pool.h"

namespace ov {

class ObjectArchive final : public FieldWalker {
 public:
  // `bytes` must outlive the archive.
  explicit ObjectArchive(std::span<const uint8_t> bytes,
                         const SerialClassRegistry& classes = StreamClasses(),
                         int32_t load_version = kCurrentLoadVersion);

  uint8_t ReadUInt8();
  bool ReadBool8() { return ReadUInt8() != 0; }
  int16_t ReadInt16() { return static_cast<int16_t>(ReadUInt16()); }
  uint16_t ReadUInt16();
  bool ReadBool16() { return ReadUInt16() != 0; }
  int32_t ReadInt32() { return static_cast<int32_t>(ReadUInt32()); }
  uint32_t ReadUInt32();
  bool ReadBool32() { return ReadUInt32() != 0; }
  float ReadFloat32();
  double ReadFloat64();
  Rect ReadRect();
  Point ReadPoint();
  std::vector<uint8_t> ReadBytes(std::size_t count);
  std::string ReadString();
  uint32_t ReadCount();
  // Reads one object tag and what follows it. The result is of `expected`
  // (when given) or derives from it. A new object belongs to the archive's
  // pool until a holder adopts it.
  Persistent* ReadObject(const SerialClass* expected);
  void ReadStringArray(std::vector<std::string>& strings) { StringArray(*this, "", strings); }
  void ReadByteArray(std::vector<uint8_t>& bytes) { SizedBytes("", bytes, CountForm::kCount); }

  std::size_t Position() const { return position_; }
  std::size_t Remaining() const { return bytes_.size() - position_; }
  // The schema that a class record stored for a versionable class.
  uint16_t StoredSchema(const SerialClass& serial_class) const;
  // Throws the error, placed at the current byte.
  [[noreturn]] void Fail(ArchiveErrorKind kind, const std::string& detail) const override;

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
  std::unique_ptr<Persistent> Adopt(Persistent* object) override;
  std::shared_ptr<Persistent> Share(Persistent* object) override;
  std::optional<std::size_t> BeginList(std::string_view name, std::size_t count, CountForm form,
                                       std::size_t min_element_bytes) override;

 private:
  struct TableEntry {
    const SerialClass* serial_class;
    Persistent* object;  // null for a class entry
  };

  void Take(void* out, std::size_t count);
  // Refuses `count` elements of `element_bytes` each when fewer bytes remain.
  void Require(uint64_t count, uint64_t element_bytes) const;
  void AddEntry(const SerialClass* serial_class, Persistent* object);
  const SerialClass* ReadClassRecord();

  std::span<const uint8_t> bytes_;
  std::size_t position_ = 0;
  const SerialClassRegistry& classes_;
  std::vector<TableEntry> table_;
  std::unordered_map<const SerialClass*, uint16_t> stored_schemas_;
  ObjectPool pool_;
};

}  // namespace ov
