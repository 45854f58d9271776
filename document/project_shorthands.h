// The concise form's shorthands: modules by type key, plugs set by name,
// container plugs declared by name, direction and datatype, connections as
// "module.plug -> module.plug", patches and patch values, embedded files by
// path.
//
// Threads: one compile, one thread.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "document/project_text.h"
#include "document/text_reader.h"

namespace ov {

class CContainer;
class CUG;

class ProjectShorthands final : public TextShorthands {
 public:
  explicit ProjectShorthands(const CompileOptions& options) : options_(options) {}

  std::unique_ptr<Persistent> Create(TextReader& reader, const Json& node,
                                     const SerialClass* expected) override;
  void Complete(TextReader& reader, Persistent& object) override;
  // Patch values and their MIDI controllers need the patch managers that the
  // finished tree provides.
  void ApplyPatchValues();

 private:
  struct PatchValues {
    CUG* module;
    Json values;
    std::string path;
  };

  std::unique_ptr<Persistent> ReadFile(TextReader& reader, const Json& path);
  void CompleteModule(TextReader& reader, CUG& module);
  // "panel_pos": the module's panel rectangle moved, and sized when given.
  void PlaceOnPanel(TextReader& reader, CUG& module, const Json& pos);
  void CompleteContainer(TextReader& reader, CContainer& container);
  void DeclarePlugs(TextReader& reader, CContainer& container, const Json& plugs);
  void Connect(TextReader& reader, CContainer& container, const Json& connections);

  const CompileOptions& options_;
  std::unordered_map<const CUG*, std::string> names_;
  // "plug_values" of plugs whose values patch parameters keep: every patch
  // takes the value.
  std::vector<PatchValues> stored_plug_values_;
  std::vector<PatchValues> patch_values_;
  std::vector<PatchValues> patch_controllers_;
};

}  // namespace ov
