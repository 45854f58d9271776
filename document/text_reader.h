// TextReader: the walk that builds objects from a project's JSON text. Each
// field is read by its name; a field that the text leaves out keeps the value
// the object already has, which for a module made from its type key is what
// the editor gives a new module. Objects carry "class" (or, for modules,
// just "type"); {"ref": id} names an object given earlier with that "id".
// Keys that no field and no shorthand uses are errors. Errors name the JSON
// path and the reason.
//
// Threads: one walk, one thread.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "document/object_pool.h"
#include "document/text_writer.h"

namespace ov {

class TextReader;

// The concise form's shorthands, applied around each object the reader
// makes (see project_text.h).
class TextShorthands {
 public:
  // Makes the object for a node that names no class, or returns null.
  virtual std::unique_ptr<Persistent> Create(TextReader& reader, const Json& node,
                                             const SerialClass* expected) = 0;
  // After the object's fields: takes the shorthand keys of `node`.
  virtual void Complete(TextReader& reader, Persistent& object) = 0;

 protected:
  ~TextShorthands() = default;
};

class TextReader final : public FieldWalker {
 public:
  TextReader(const Json& top, int32_t load_version, TextShorthands* shorthands);

  // The value of `key` in the current JSON object, marked as used; null when
  // the key is absent.
  const Json* Take(std::string_view key);
  // The JSON path of `key` below the current node.
  std::string PathOf(std::string_view key) const;
  [[noreturn]] void Fail(ArchiveErrorKind kind, const std::string& detail) const override;
  [[noreturn]] void FailAt(const std::string& path, ArchiveErrorKind kind,
                           const std::string& detail) const;
  // Reads an object node found by a shorthand; `path` names it in errors.
  Persistent* ReadObjectNode(const Json& node, const std::string& path,
                             const SerialClass* expected);

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
  void EndList() override;
  void BeginElement() override;
  void EndElement() override;
  void BeginGroup(std::string_view name) override;
  void EndGroup() override;

  // Refuses keys of the current JSON object that nothing used.
  void CheckAllUsed() const;

 private:
  struct Frame {
    const Json* node;  // null: the text left this part out
    std::string path;
    std::vector<std::string> used;
    std::size_t next_element = 0;
    bool whole = false;  // the node was read as one value or object
  };

  // The node of field `name`, or null when absent. An unnamed field is the
  // current node itself.
  const Json* Field(std::string_view name);
  std::string FieldPath(std::string_view name) const;
  int64_t Integer(std::string_view name, const Json& node, int64_t low, int64_t high);
  bool Boolean(std::string_view name, const Json& node);
  double Number(std::string_view name, const Json& node);
  std::vector<uint8_t> Base64(std::string_view name, const Json& node);
  void PushFrame(const Json* node, std::string path);
  void PopFrame();

  std::vector<Frame> frames_;
  TextShorthands* shorthands_;
  ObjectPool pool_;
  std::map<std::string, Persistent*> ids_;
};

}  // namespace ov
