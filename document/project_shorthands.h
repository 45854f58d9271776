// The concise form's shorthands: modules by type key, plugs set by name,
// container plugs declared by name, direction and datatype, connections as
// "module.plug -> module.plug", patches and patch values, embedded files by
// path.
//
// Threads: one compile, one thread.
#pragma once

#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "document/project_text.h"
#include "document/text_reader.h"

namespace ov {

class CContainer;
class CPlug2;
class CUG;
class Ctl_VST_Plugin;

class ProjectShorthands final : public TextShorthands {
 public:
  explicit ProjectShorthands(const CompileOptions& options) : options_(options) {}

  std::unique_ptr<Persistent> Create(TextReader& reader, const Json& node,
                                     const SerialClass* expected) override;
  void Complete(TextReader& reader, Persistent& object) override;
  // Patch values and their MIDI controllers need the patch managers that the
  // finished tree provides.
  void ApplyPatchValues();
  // The file names that "plug_values" gave, against the project's files and
  // the disk (under the options' checks).
  void CheckFileNames(const COrvaneDocBase& document);

 private:
  struct PatchValues {
    CUG* module;
    Json values;
    std::string path;
  };

  std::unique_ptr<Persistent> ReadFile(TextReader& reader, const Json& path);
  void CompleteModule(TextReader& reader, CUG& module);
  // "vst_plugin": the library loaded, its program chosen and its parameters
  // set; the module stores what the plug-in then holds.
  void SetUpHostedPlugin(TextReader& reader, Ctl_VST_Plugin& module, const Json& plugin);
  // "panel_pos": the module's panel rectangle moved, and sized when given.
  void PlaceOnPanel(TextReader& reader, CUG& module, const Json& pos);
  void CompleteContainer(TextReader& reader, CContainer& container);
  void DeclarePlugs(TextReader& reader, CContainer& container, const Json& plugs);
  void Connect(TextReader& reader, CContainer& container, const Json& connections);

  struct FileName {
    std::string module;  // as messages name it
    std::string plug;
    std::string name;
    std::string extension;  // the plug's default
    std::string path;
  };

  // Under kRefuse throws the finding at `where`; under kWarn reports it.
  void Finding(const std::string& where, const std::string& text) const;
  void CheckValue(const CUG& module, const CPlug2& plug, const std::string& text,
                  const std::string& where);
  std::string Label(const CUG& module) const;

  const CompileOptions& options_;
  std::vector<FileName> file_names_;
  // Plugs given a value in "plug_values": a connection made afterwards keeps
  // it, where the editor's first connection copies the input's value into a
  // settable output.
  std::unordered_set<const CPlug2*> given_values_;
  // Controls given their "values": connecting them keeps those, where the
  // editor's connection stores the input's value into every patch.
  std::unordered_set<const CUG*> given_control_values_;
  std::unordered_map<const CUG*, std::string> names_;
  // The "name" a dump prints beside a stored plug's index, with its path:
  // checked against the descriptor once the plug's module is complete.
  std::unordered_map<const CPlug2*, std::pair<std::string, std::string>> plug_names_;
  // "plug_values" of plugs whose values patch parameters keep: every patch
  // takes the value.
  std::vector<PatchValues> stored_plug_values_;
  std::vector<PatchValues> patch_values_;
  std::vector<PatchValues> patch_controllers_;
};

}  // namespace ov
