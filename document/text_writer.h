// TextWriter: the walk that prints a document as JSON - every object with
// its class and every field by name, in stream order. An object's first
// mention holds its fields; later mentions are {"ref": id}, the id being the
// object's index in the stream. Only objects that are referenced again carry
// their "id", so the walk runs twice (see DumpDocument).
//
// Threads: one walk, one thread.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "document/field_walker.h"

namespace ov {

using Json = nlohmann::ordered_json;

class TextWriter final : public FieldWalker {
 public:
  // `shown_ids`: the ids to print; null prints none and only gathers them.
  TextWriter(int32_t load_version, Json& out, const std::unordered_set<uint32_t>* shown_ids);

  // The ids that back-references named during the walk.
  const std::unordered_set<uint32_t>& referenced_ids() const { return referenced_; }

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
  void EndList() override { nodes_.pop_back(); }
  void BeginElement() override;
  void EndElement() override { nodes_.pop_back(); }
  void BeginGroup(std::string_view name) override;
  void EndGroup() override { nodes_.pop_back(); }

 private:
  Json& Slot(std::string_view name);

  std::vector<Json*> nodes_;
  const std::unordered_set<uint32_t>* shown_ids_;
  std::unordered_set<uint32_t> referenced_;
  std::unordered_map<const Persistent*, uint32_t> object_ids_;
  std::unordered_set<const SerialClass*> classes_;
  uint32_t next_index_ = 1;
  int depth_ = 0;
};

// Text for a string: itself when it is valid UTF-8, else {"base64": bytes}.
Json TextOf(const std::string& value);
// Numbers that JSON cannot hold become "nan", "inf" and "-inf".
Json NumberOf(double value);

}  // namespace ov
