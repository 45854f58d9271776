#include "document/project_shorthands.h"

#include <algorithm>
#include <map>

#include "document/connection.h"
#include "document/container.h"
#include "document/embedded_file.h"
#include "document/new_objects.h"
#include "document/patch_manager.h"
#include "document/plug_kinds.h"
#include "document/sequence_text.h"
#include "document/sequencer.h"
#include "document/vst_plugin_module.h"
#include "engine/midi_automation.h"
#include "modules/list_text.h"
#include "modules/module_registry.h"
#include "platform/file_names.h"
#include "platform/files.h"
#include "platform/text.h"

namespace ov {
namespace {

// The plug a connection by name starts from. Connecting an auto-duplicating
// plug adds a fresh spare of the same name after it, so a name given again
// means that spare (the last plug of the name), as the editor user would drag
// from it: each connection to a gate's "Input" is an input of its own.
CPlug2* ConnectablePlug(const CUG& module, std::string_view name) {
  CPlug2* found = module.FindPlug(name);
  // Plugs that repeat once per channel ("Signal Out" of a "VST Plugin") are
  // told apart by number: "Signal Out 2" is the second.
  if (found == nullptr) {
    const std::size_t space = name.find_last_of(' ');
    const std::string_view number =
        space == std::string_view::npos ? std::string_view() : name.substr(space + 1);
    const bool digits = !number.empty() && number.size() < 4 &&
                        std::all_of(number.begin(), number.end(),
                                    [](char c) { return c >= '0' && c <= '9'; });
    int wanted = digits ? std::stoi(std::string(number)) : 0;
    for (const auto& plug : module.plugs()) {
      if ((plug->Flags() & kPlugSkippedByClones) == 0 || plug->Name() != name.substr(0, space)) {
        continue;
      }
      if (--wanted == 0) return plug.get();
    }
    return nullptr;
  }
  if (found == nullptr || (found->Flags() & kPlugAutoDuplicate) == 0) return found;
  for (const auto& plug : module.plugs()) {
    if (plug->Name() == name && (plug->Flags() & kPlugAutoDuplicate) != 0) found = plug.get();
  }
  return found;
}

std::string Trim(std::string_view text) {
  const std::size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string_view::npos) return {};
  const std::size_t end = text.find_last_not_of(" \t");
  return std::string(text.substr(begin, end - begin + 1));
}

// A plug value as the text the plug stores.
std::optional<std::string> ValueText(const Json& value) {
  if (value.is_string()) return value.get<std::string>();
  if (value.is_boolean()) return value.get<bool>() ? "1" : "0";
  if (value.is_number_integer()) return value.dump();
  if (value.is_number()) return FormatDouble(value.get<double>());
  return std::nullopt;
}

// The declaration words; "enum" is read as well as "list".
constexpr std::pair<int32_t, const char*> kDatatypeWords[] = {
    {DT_ENUM, "list"}, {DT_TEXT, "text"},     {DT_MIDI, "midi"},   {DT_DOUBLE, "double"},
    {DT_BOOL, "bool"}, {DT_FSAMPLE, "audio"}, {DT_FLOAT, "float"}, {DT_INT, "int"},
};

std::optional<int32_t> DatatypeNamed(const Json& value) {
  if (!value.is_string()) return std::nullopt;
  if (value == "enum") return DT_ENUM;
  for (const auto& [datatype, word] : kDatatypeWords) {
    if (value == word) return datatype;
  }
  return std::nullopt;
}

std::vector<std::string> PlugNames(const CUG& module) {
  std::vector<std::string> names;
  for (const auto& plug : module.plugs()) {
    if (std::find(names.begin(), names.end(), plug->Name()) == names.end()) {
      names.push_back(plug->Name());
    }
  }
  return names;
}

// Audio, MIDI and text plugs meet only their own kind; the control kinds
// (list, bool, int, float, double) convert into one another.
bool DatatypesMeet(int32_t a, int32_t b) {
  const auto stream = [](int32_t datatype) {
    return datatype == DT_FSAMPLE || datatype == DT_MIDI || datatype == DT_TEXT;
  };
  return a == b || (!stream(a) && !stream(b));
}

// A container's spare takes the datatype of what it is joined to; the plugs
// a project declares keep theirs.
bool TakesAnyDatatype(const CPlug2& plug) {
  return dynamic_cast<const CPlugIO2*>(&plug) != nullptr && plug.Name() == "Spare" &&
         plug.connections().empty();
}

// Text plugs that name a file carry the file's default extension as their
// list text and flag 0x10. The recorders name the file they write.
constexpr int32_t kPlugFileName = 0x10;
bool NamesFileRead(const CUG& module, const CPlug2& plug) {
  static constexpr std::string_view kWriters[] = {"Wave Recorder", "MIDI Recorder", "Audio Out"};
  if (std::find(std::begin(kWriters), std::end(kWriters), module.type_key()) !=
      std::end(kWriters)) {
    return false;
  }
  const InterfaceObject& descriptor = plug.Descriptor();
  return plug.Datatype() == DT_TEXT && (plug.Flags() & kPlugFileName) != 0 &&
         !descriptor.list_text.empty() && descriptor.list_text.find(',') == std::string::npos;
}

// Patch numbers given as the keys of an object, or as positions in a list.
template <class Visit>
void ForEachPatch(const Json& values, const std::string& path, Visit visit) {
  auto fail = [](const std::string& where, const std::string& why) {
    throw ArchiveError(ArchiveErrorKind::kGeneric, where, why);
  };
  if (values.is_array()) {
    if (values.size() > static_cast<std::size_t>(CPatchManager::kPatchCount)) {
      fail(path, "more than 128 patches");
    }
    for (std::size_t i = 0; i < values.size(); ++i) {
      visit(static_cast<int32_t>(i), values[i], path + "[" + std::to_string(i) + "]");
    }
    return;
  }
  if (!values.is_object()) fail(path, "expected a list or an object of patch numbers");
  for (const auto& [key, value] : values.items()) {
    const std::optional<long long> patch = ParseInteger(key);
    if (!patch || *patch < 0 || *patch >= CPatchManager::kPatchCount) {
      fail(path + "." + key, "expected a patch number from 0 to 127");
    }
    visit(static_cast<int32_t>(*patch), value, path + "." + key);
  }
}

}  // namespace

std::string DatatypeKeyword(int32_t datatype) {
  for (const auto& [known, word] : kDatatypeWords) {
    if (known == datatype) return word;
  }
  return "datatype " + std::to_string(datatype);
}

std::unique_ptr<Persistent> ProjectShorthands::Create(TextReader& reader, const Json& node,
                                                      const SerialClass* expected) {
  if (const Json* type = reader.Take("type")) {
    if (!type->is_string())
      reader.FailAt(reader.PathOf("type"), ArchiveErrorKind::kBadClass,
                    "expected a module type key");
    std::unique_ptr<CDocOb> made = CreateDocumentObject(reader.modules(), type->get<std::string>());
    if (!made) {
      std::vector<std::string> keys;
      for (const auto& [key, info] : reader.modules().Types()) keys.push_back(key);
      const auto name = node.find("name");
      const std::string whose = name != node.end() && name->is_string()
                                    ? " for module \"" + name->get<std::string>() + "\""
                                    : "";
      reader.FailAt(reader.PathOf("type"), ArchiveErrorKind::kBadClass,
                    "no module type '" + type->get<std::string>() + "'" + whose +
                        DidYouMean(type->get<std::string>(), keys));
    }
    return made;
  }
  if (expected == &imbedded_file::kClass && node.contains("path")) {
    return ReadFile(reader, *reader.Take("path"));
  }
  // A container given without its type is a new "Container".
  if (expected == &CContainer::kClass) return CreateDocumentObject(reader.modules(), "Container");
  // A field that holds one class only needs no "class".
  if (expected != nullptr && expected != &CDocOb::kClass) return expected->factory();
  return nullptr;
}

std::unique_ptr<Persistent> ProjectShorthands::ReadFile(TextReader& reader, const Json& path) {
  const std::string where = reader.PathOf("path");
  if (!path.is_string() || path.get<std::string>().empty()) {
    reader.FailAt(where, ArchiveErrorKind::kGeneric, "expected a file path");
  }
  const std::string given = path.get<std::string>();
  // Only the last component of a stored name counts.
  const std::string name = given.substr(given.find_last_of('/') + 1);
  std::string full = given.front() == '/' ? given : options_.base_directory + "/" + given;
  if (!IsRegularFile(full) && !name.empty()) {
    for (const std::string& folder : options_.fallback_folders) {
      if (IsRegularFile(folder + "/" + name)) {
        full = folder + "/" + name;
        break;
      }
    }
  }
  std::vector<uint8_t> bytes;
  std::string error;
  if (!ReadFileBytes(full, options_.max_file_bytes, &bytes, &error)) {
    reader.FailAt(where, ArchiveErrorKind::kGeneric, error);
  }
  if (options_.on_file_read) options_.on_file_read(full);
  return std::make_unique<imbedded_file>(name, std::move(bytes));
}

void ProjectShorthands::Complete(TextReader& reader, Persistent& object) {
  // Container plugs store their names; a module's plugs are named by index,
  // and the dump's "name" beside it must agree.
  if (auto* plug = dynamic_cast<CPlug2*>(&object); plug && !dynamic_cast<CPlugIO2*>(plug)) {
    if (const Json* name = reader.Take("name")) {
      if (!name->is_string())
        reader.FailAt(reader.PathOf("name"), ArchiveErrorKind::kGeneric, "expected text");
      plug_names_[plug] = {name->get<std::string>(), reader.PathOf("name")};
    }
  }
  if (auto* module = dynamic_cast<CUG*>(&object)) CompleteModule(reader, *module);
  if (auto* container = dynamic_cast<CContainer*>(&object)) CompleteContainer(reader, *container);
}

void ProjectShorthands::CompleteModule(TextReader& reader, CUG& module) {
  for (const auto& plug : module.plugs()) {
    const auto named = plug_names_.find(plug.get());
    if (named == plug_names_.end()) continue;
    const auto [given, where] = named->second;
    plug_names_.erase(named);
    if (plug->Name() != given) {
      reader.FailAt(where, ArchiveErrorKind::kGeneric,
                    "plug " + std::to_string(plug->index()) + " of a \"" + module.type_key() +
                        "\" is \"" + plug->Name() + "\", not \"" + given + "\"");
    }
  }
  if (const Json* name = reader.Take("name")) {
    if (!name->is_string())
      reader.FailAt(reader.PathOf("name"), ArchiveErrorKind::kGeneric, "expected text");
    names_[&module] = name->get<std::string>();
  }
  if (const Json* values = reader.Take("plug_values")) {
    const std::string path = reader.PathOf("plug_values");
    if (!values->is_object())
      reader.FailAt(path, ArchiveErrorKind::kGeneric, "expected an object of plug names");
    for (const auto& [plug_name, value] : values->items()) {
      CPlug2* plug = module.FindPlug(plug_name);
      if (plug == nullptr) {
        reader.FailAt(path + "." + plug_name, ArchiveErrorKind::kGeneric,
                      Label(module) + " has no plug \"" + plug_name + "\"" +
                          DidYouMean(plug_name, PlugNames(module)));
      }
      const std::optional<std::string> text = ValueText(value);
      if (!text)
        reader.FailAt(path + "." + plug_name, ArchiveErrorKind::kGeneric,
                      "expected text or a number");
      CheckValue(module, *plug, *text, path + "." + plug_name);
      if (NamesFileRead(module, *plug) && !text->empty()) {
        file_names_.push_back({Label(module), plug_name, *text, plug->Descriptor().list_text,
                               path + "." + plug_name});
      }
      plug->SetValueText(*text);
      given_values_.insert(plug);
      if (KeepsPatchValues(*plug)) {
        stored_plug_values_.push_back({&module, Json{{plug_name, *text}}, path});
      }
    }
  }
  if (const Json* plugin = reader.Take("vst_plugin")) {
    auto* hosted = dynamic_cast<Ctl_VST_Plugin*>(&module);
    if (hosted == nullptr) {
      reader.FailAt(reader.PathOf("vst_plugin"), ArchiveErrorKind::kGeneric,
                    "only a \"VST Plugin\" module hosts a plug-in");
    }
    SetUpHostedPlugin(reader, *hosted, *plugin);
  }
  if (const Json* pos = reader.Take("panel_pos")) PlaceOnPanel(reader, module, *pos);
  if (const Json* sequence = reader.Take("sequence")) {
    auto* sequencer = dynamic_cast<CPattSeq*>(&module);
    if (sequencer == nullptr) {
      reader.FailAt(reader.PathOf("sequence"), ArchiveErrorKind::kGeneric,
                    "only a \"Step Sequencer\" or \"Drum Sequencer\" has a sequence");
    }
    ReadSequence(*sequence, reader.PathOf("sequence"), *sequencer,
                 [&](const std::string& path, const std::string& text) {
                   reader.FailAt(path, ArchiveErrorKind::kGeneric, text);
                 });
  }
  if (const Json* values = reader.Take("patch_values")) {
    patch_values_.push_back({&module, *values, reader.PathOf("patch_values")});
  }
  if (const Json* controllers = reader.Take("midi_controllers")) {
    patch_controllers_.push_back({&module, *controllers, reader.PathOf("midi_controllers")});
  }
}

void ProjectShorthands::SetUpHostedPlugin(TextReader& reader, Ctl_VST_Plugin& module,
                                          const Json& plugin) {
  const std::string path = reader.PathOf("vst_plugin");
  if (!plugin.is_object()) reader.FailAt(path, ArchiveErrorKind::kGeneric, "expected an object");
  for (const auto& [key, value] : plugin.items()) {
    if (key != "path" && key != "parameters" && key != "program") {
      reader.FailAt(path + "." + key, ArchiveErrorKind::kGeneric,
                    "expected \"path\", \"parameters\" or \"program\"");
    }
  }
  const auto library = plugin.find("path");
  if (library == plugin.end() || !library->is_string() || library->get<std::string>().empty()) {
    reader.FailAt(path + ".path", ArchiveErrorKind::kGeneric, "expected a library path");
  }
  std::string full = library->get<std::string>();
  if (full.front() != '/') full = options_.base_directory + "/" + full;
  std::string error;
  if (!module.PrepareForLibrary(full, &error)) {
    reader.FailAt(path + ".path", ArchiveErrorKind::kGeneric, error);
  }
  VST_Wrapper& hosted = module.wrapper();
  if (const auto program = plugin.find("program"); program != plugin.end()) {
    if (!program->is_number_integer() || program->get<int64_t>() < 0 ||
        program->get<int64_t>() >= hosted.ProgramCount()) {
      reader.FailAt(path + ".program", ArchiveErrorKind::kGeneric,
                    "expected a program number from 0 to " +
                        std::to_string(hosted.ProgramCount() - 1));
    }
    hosted.SetProgram(program->get<int32_t>());
  }
  if (const auto parameters = plugin.find("parameters"); parameters != plugin.end()) {
    if (!parameters->is_object()) {
      reader.FailAt(path + ".parameters", ArchiveErrorKind::kGeneric,
                    "expected an object of parameter names or indices");
    }
    for (const auto& [name, value] : parameters->items()) {
      const int32_t index = module.ParameterIndex(name);
      if (index < 0) {
        reader.FailAt(path + ".parameters." + name, ArchiveErrorKind::kGeneric,
                      "the plug-in has no parameter \"" + name + "\"");
      }
      if (!value.is_number() || value.get<double>() < 0.0 || value.get<double>() > 1.0) {
        reader.FailAt(path + ".parameters." + name, ArchiveErrorKind::kGeneric,
                      "expected a normalised value from 0 to 1");
      }
      hosted.SetParameter(index, value.get<float>());
    }
  }
  module.CaptureLiveState();
}

void ProjectShorthands::PlaceOnPanel(TextReader& reader, CUG& module, const Json& pos) {
  const std::string path = reader.PathOf("panel_pos");
  const std::optional<Rect> now = module.ViewRect(kViewControlPanel);
  if (!now) reader.FailAt(path, ArchiveErrorKind::kGeneric, "this module has no place on the panel");
  const bool sized = pos.is_array() && pos.size() == 4;
  if (!pos.is_array() || (pos.size() != 2 && !sized)) {
    reader.FailAt(path, ArchiveErrorKind::kGeneric, "expected [x, y] or [x, y, width, height]");
  }
  int32_t numbers[4] = {0, 0, now->right - now->left, now->bottom - now->top};
  for (std::size_t i = 0; i < pos.size(); ++i) {
    const Json& n = pos[i];
    // Sides stay positive and every edge well within 32 bits.
    const int64_t low = i < 2 ? -100000 : 1;
    if (!n.is_number_integer() || n.get<int64_t>() < low || n.get<int64_t>() > 100000) {
      reader.FailAt(path + "[" + std::to_string(i) + "]", ArchiveErrorKind::kGeneric,
                    i < 2 ? "expected a whole number from -100000 to 100000"
                          : "expected a whole number from 1 to 100000");
    }
    numbers[i] = n.get<int32_t>();
  }
  module.SetViewRect(kViewControlPanel, {numbers[0], numbers[1], numbers[0] + numbers[2],
                                         numbers[1] + numbers[3]});
}

void ProjectShorthands::CompleteContainer(TextReader& reader, CContainer& container) {
  if (const Json* plugs = reader.Take("io")) DeclarePlugs(reader, container, *plugs);
  if (const Json* ignore = reader.Take("ignore_program_change")) {
    if (!ignore->is_boolean()) {
      reader.FailAt(reader.PathOf("ignore_program_change"), ArchiveErrorKind::kGeneric,
                    "expected true or false");
    }
    container.SetIgnoreProgramChange(ignore->get<bool>());
    // Its patch values are its own from the start.
    if (ignore->get<bool>()) container.EnsurePatchManager();
  }
  if (const Json* patches = reader.Take("patches")) {
    const std::string path = reader.PathOf("patches");
    if (!patches->is_object())
      reader.FailAt(path, ArchiveErrorKind::kGeneric, "expected an object");
    CPatchManager& manager = container.EnsurePatchManager();
    for (const auto& [key, value] : patches->items()) {
      if (key == "current") {
        if (!value.is_number_integer() || value.get<int64_t>() < 0 ||
            value.get<int64_t>() >= CPatchManager::kPatchCount) {
          reader.FailAt(path + ".current", ArchiveErrorKind::kGeneric,
                        "expected a patch number from 0 to 127");
        }
        manager.SetCurrentPatch(value.get<int32_t>());
      } else if (key == "names") {
        ForEachPatch(value, path + ".names",
                     [&](int32_t patch, const Json& name, const std::string& where) {
                       if (!name.is_string()) {
                         throw ArchiveError(ArchiveErrorKind::kGeneric, where, "expected text");
                       }
                       manager.SetPatchName(patch, name.get<std::string>());
                     });
      } else {
        reader.FailAt(path + "." + key, ArchiveErrorKind::kGeneric, "unknown field");
      }
    }
  }
  if (const Json* modules = reader.Take("modules")) {
    const std::string path = reader.PathOf("modules");
    if (!modules->is_array()) reader.FailAt(path, ArchiveErrorKind::kGeneric, "expected a list");
    for (std::size_t i = 0; i < modules->size(); ++i) {
      const std::string where = path + "[" + std::to_string(i) + "]";
      Persistent* object = reader.ReadObjectNode((*modules)[i], where, &CDocOb::kClass);
      if (object == nullptr) reader.FailAt(where, ArchiveErrorKind::kGeneric, "expected a module");
      std::unique_ptr<Persistent> adopted = reader.Adopt(object);
      CDocOb* child =
          container.AddChild(std::unique_ptr<CDocOb>(static_cast<CDocOb*>(adopted.release())));
      child->SetParent(&container);
    }
  }
  if (const Json* connections = reader.Take("connections"))
    Connect(reader, container, *connections);
}

void ProjectShorthands::DeclarePlugs(TextReader& reader, CContainer& container, const Json& plugs) {
  const std::string path = reader.PathOf("io");
  if (!plugs.is_array()) reader.FailAt(path, ArchiveErrorKind::kGeneric, "expected a list");
  for (std::size_t i = 0; i < plugs.size(); ++i) {
    const std::string where = path + "[" + std::to_string(i) + "]";
    const Json& plug = plugs[i];
    if (!plug.is_object()) reader.FailAt(where, ArchiveErrorKind::kGeneric, "expected an object");
    const auto name = plug.find("name");
    if (name == plug.end() || !name->is_string()) {
      reader.FailAt(where + ".name", ArchiveErrorKind::kGeneric, "expected the plug's name");
    }
    const auto direction = plug.find("direction");
    if (direction == plug.end() || (*direction != "in" && *direction != "out")) {
      reader.FailAt(where + ".direction", ArchiveErrorKind::kGeneric, "expected \"in\" or \"out\"");
    }
    int32_t datatype = DT_FSAMPLE;
    if (const auto given = plug.find("datatype"); given != plug.end()) {
      const std::optional<int32_t> named = DatatypeNamed(*given);
      if (!named) {
        reader.FailAt(where + ".datatype", ArchiveErrorKind::kGeneric,
                      "expected one of enum, list, text, midi, double, bool, audio, float, int");
      }
      datatype = *named;
    }
    for (const auto& [key, value] : plug.items()) {
      if (key != "name" && key != "direction" && key != "datatype") {
        reader.FailAt(where + "." + key, ArchiveErrorKind::kGeneric, "unknown field");
      }
    }
    container.AddContainerPlug(name->get<std::string>(), *direction == "in" ? DR_IN : DR_OUT,
                               datatype);
  }
}

void ProjectShorthands::Connect(TextReader& reader, CContainer& container,
                                const Json& connections) {
  const std::string path = reader.PathOf("connections");
  if (!connections.is_array()) reader.FailAt(path, ArchiveErrorKind::kGeneric, "expected a list");
  // Modules by name (their "name", else their title); the container's
  // input/output module is "io". A name given twice names nothing.
  std::map<std::string, CUG*, std::less<>> modules;
  if (CUG* io = container.IoModule()) modules["io"] = io;
  for (const auto& child : container.children()) {
    auto* module = dynamic_cast<CUG*>(child.get());
    if (module == nullptr || module->type_key() == "IO Mod") continue;
    const auto named = names_.find(module);
    const std::string name = named != names_.end() ? named->second : module->title();
    const auto [where, added] = modules.emplace(name, module);
    if (!added) where->second = nullptr;
  }
  for (std::size_t i = 0; i < connections.size(); ++i) {
    const std::string where = path + "[" + std::to_string(i) + "]";
    const Json& entry = connections[i];
    const std::string text = entry.is_string() ? entry.get<std::string>() : std::string();
    const std::size_t arrow = text.find("->");
    if (arrow == std::string::npos) {
      reader.FailAt(where, ArchiveErrorKind::kGeneric, "expected \"module.plug -> module.plug\"");
    }
    CPlug2* ends[2] = {nullptr, nullptr};
    const std::string sides[2] = {Trim(text.substr(0, arrow)), Trim(text.substr(arrow + 2))};
    for (int side = 0; side < 2; ++side) {
      // Names may hold dots: try each split until one names a module's plug.
      const std::string& end = sides[side];
      const CUG* named = nullptr;
      std::string plug_name;
      for (std::size_t dot = end.find('.'); dot != std::string::npos && !ends[side];
           dot = end.find('.', dot + 1)) {
        const auto module = modules.find(Trim(end.substr(0, dot)));
        if (module == modules.end()) continue;
        if (module->second == nullptr) {
          reader.FailAt(where, ArchiveErrorKind::kGeneric,
                        "more than one module is named '" + module->first + "'");
        }
        named = module->second;
        plug_name = Trim(end.substr(dot + 1));
        ends[side] = ConnectablePlug(*module->second, plug_name);
      }
      if (ends[side] != nullptr) continue;
      if (named != nullptr) {
        reader.FailAt(where, ArchiveErrorKind::kGeneric,
                      Label(*named) + " has no plug \"" + plug_name + "\"" +
                          DidYouMean(plug_name, PlugNames(*named)));
      }
      std::vector<std::string> names;
      for (const auto& [name, module] : modules) names.push_back(name);
      const std::string module_name = Trim(end.substr(0, end.find('.')));
      reader.FailAt(where, ArchiveErrorKind::kGeneric,
                    "no module and plug '" + end + "' here" +
                        (end.find('.') == std::string::npos ? std::string(" (expected module.plug)")
                                                            : DidYouMean(module_name, names)));
    }
    CPlug2* a = ends[0];
    CPlug2* b = ends[1];
    if (a == b) reader.FailAt(where, ArchiveErrorKind::kGeneric, "a plug cannot connect to itself");
    const bool already = std::any_of(a->connections().begin(), a->connections().end(),
                                     [&](const CLine2* line) { return line->OtherEnd(a) == b; });
    if (already)
      reader.FailAt(where, ArchiveErrorKind::kGeneric, "These two plugs are already connected");
    const bool io = dynamic_cast<CPlugIO2*>(a) != nullptr || dynamic_cast<CPlugIO2*>(b) != nullptr;
    const bool both_plain = !io && a->Direction() <= DR_OUT && b->Direction() <= DR_OUT;
    if (both_plain && a->Direction() == b->Direction()) {
      reader.FailAt(where, ArchiveErrorKind::kGeneric,
                    "Can't connect. An output must go to an input (plugs on the left = Inputs, "
                    "right = Outputs");
    }
    if (!TakesAnyDatatype(*a) && !TakesAnyDatatype(*b) &&
        !DatatypesMeet(a->Datatype(), b->Datatype())) {
      Finding(where, "Can't connect different plug types: \"" + sides[0] + "\" is " +
                         DatatypeKeyword(a->Datatype()) + ", \"" + sides[1] + "\" is " +
                         DatatypeKeyword(b->Datatype()));
    }
    // Declared container plugs are complete already; only other plugs grow
    // spares as the editor makes them do.
    const std::string kept[2] = {a->value_text(), b->value_text()};
    // A control connected in the editor takes the other plug's name as its
    // title; one the text titled keeps what it was given.
    const std::string titles[2] = {a->owner() ? a->owner()->title() : "",
                                   b->owner() ? b->owner()->title() : ""};
    if (io) {
      container.Join(a, b);
    } else {
      container.Connect(a, b);
    }
    if (given_values_.contains(a)) a->SetValueText(kept[0]);
    if (given_values_.contains(b)) b->SetValueText(kept[1]);
    for (int side = 0; side < 2; ++side) {
      CUG* owner = ends[side]->owner();
      const Module_Info* type = owner ? owner->module_type() : nullptr;
      if (type != nullptr && titles[side] != type->GetName()) owner->SetTitle(titles[side]);
    }
  }
}

namespace {

// Calls `visit` with the patch parameter of each named plug of `given`.
template <class Visit>
void ForEachParameter(CUG& module, const Json& plugs, const std::string& path, Visit visit) {
  CPatchManager* manager = PatchManagerFor(module);
  if (!plugs.is_object()) {
    throw ArchiveError(ArchiveErrorKind::kGeneric, path, "expected an object of plug names");
  }
  for (const auto& [plug_name, value] : plugs.items()) {
    const std::string where = path + "." + plug_name;
    CPlug2* plug = module.FindPlug(plug_name);
    if (plug == nullptr)
      throw ArchiveError(ArchiveErrorKind::kGeneric, where, "no plug with that name");
    PatchParameter* parameter =
        manager != nullptr ? manager->CreateParameterForPlug(*plug) : nullptr;
    if (parameter == nullptr) {
      throw ArchiveError(ArchiveErrorKind::kGeneric, where, "this plug keeps no patch values");
    }
    visit(*parameter, value, where);
  }
}

// A controller number 0-127, or {"rpn": n} / {"nrpn": n} with n 0-16383.
int32_t ControllerId(const Json& given, const std::string& where) {
  if (given.is_number_integer() && given.get<int64_t>() >= 0 && given.get<int64_t>() <= 127) {
    return kControllerIdPlain + given.get<int32_t>();
  }
  if (given.is_object() && given.size() == 1) {
    const std::string kind = given.begin().key();
    const Json& number = given.begin().value();
    if ((kind == "rpn" || kind == "nrpn") && number.is_number_integer() &&
        number.get<int64_t>() >= 0 && number.get<int64_t>() <= 0x3FFF) {
      return (kind == "rpn" ? kControllerIdRpn : kControllerIdNrpn) + number.get<int32_t>();
    }
  }
  throw ArchiveError(ArchiveErrorKind::kGeneric, where,
                     "expected a controller number from 0 to 127, or {\"rpn\": n} or "
                     "{\"nrpn\": n} with n from 0 to 16383");
}

}  // namespace

void ProjectShorthands::ApplyPatchValues() {
  // First, so that "patch_values" given for the same plug override them.
  for (const PatchValues& given : stored_plug_values_) {
    ForEachParameter(*given.module, given.values, given.path,
                     [](PatchParameter& parameter, const Json& text, const std::string&) {
                       parameter.SetAllFromText(text.get<std::string>());
                     });
  }
  for (const PatchValues& given : patch_values_) {
    ForEachParameter(
        *given.module, given.values, given.path,
        [&](PatchParameter& parameter, const Json& values, const std::string& where) {
          const CPlug2* plug = given.module->FindPlug(where.substr(given.path.size() + 1));
          ForEachPatch(values, where, [&](int32_t patch, const Json& value, const std::string& at) {
            const std::optional<std::string> text = ValueText(value);
            if (!text)
              throw ArchiveError(ArchiveErrorKind::kGeneric, at, "expected text or a number");
            if (plug != nullptr) CheckValue(*given.module, *plug, *text, at);
            parameter.SetSlotFromText(patch, *text);
          });
        });
  }
  for (const PatchValues& given : patch_controllers_) {
    ForEachParameter(*given.module, given.values, given.path,
                     [](PatchParameter& parameter, const Json& id, const std::string& where) {
                       parameter.SetMidiController(ControllerId(id, where));
                     });
  }
}

}  // namespace ov

namespace ov {

std::string ProjectShorthands::Label(const CUG& module) const {
  const auto named = names_.find(&module);
  const std::string& name = named != names_.end() ? named->second : module.title();
  return "module \"" + name + "\"" +
         (name == module.type_key() ? std::string() : " (" + module.type_key() + ")");
}

void ProjectShorthands::Finding(const std::string& where, const std::string& text) const {
  if (options_.checks == CompileChecks::kRefuse) {
    throw ArchiveError(ArchiveErrorKind::kGeneric, where, text);
  }
  if (options_.checks == CompileChecks::kWarn && options_.on_warning) {
    options_.on_warning(where, text);
  }
}

void ProjectShorthands::CheckValue(const CUG& module, const CPlug2& plug, const std::string& text,
                                   const std::string& where) {
  if (options_.checks == CompileChecks::kNone) return;
  const std::string what = Label(module) + " plug \"" + plug.Name() + "\"";
  const int32_t datatype = plug.Datatype();
  if (datatype == DT_MIDI) {
    Finding(where, what + " carries MIDI and takes no value");
  } else if (datatype == DT_FSAMPLE || datatype == DT_FLOAT || datatype == DT_DOUBLE) {
    if (!ParseDouble(text)) Finding(where, what + " takes a number, not \"" + text + "\"");
  } else if (datatype == DT_INT || datatype == DT_BOOL) {
    if (!ParseInteger(text)) Finding(where, what + " takes a whole number, not \"" + text + "\"");
  } else if (datatype == DT_ENUM) {
    const std::string& list = plug.Descriptor().list_text;
    const std::optional<long long> value = ParseInteger(text);
    if (list.empty() || list == kAutoListText) {
      if (!value) Finding(where, what + " takes a whole number, not \"" + text + "\"");
      return;
    }
    const ListText items(list);
    if (list.starts_with("range")) {
      const int64_t first = items.ItemAt(0).value, last = items.ItemAt(items.Count() - 1).value;
      if (!value || *value < std::min(first, last) || *value > std::max(first, last)) {
        Finding(where, what + " takes a whole number from " +
                           std::to_string(std::min(first, last)) + " to " +
                           std::to_string(std::max(first, last)) + ", not \"" + text + "\"");
      }
      return;
    }
    bool listed = false;
    std::string choices;
    std::string meant;
    items.ForEach([&](const ListText::Item& item) {
      listed = listed || (value && *value == item.value);
      if (EqualsIgnoringCase(item.label, text)) meant = std::to_string(item.value);
      choices += (choices.empty() ? "" : ", ") + std::to_string(item.value) + " " + item.label;
      return true;
    });
    if (!listed) {
      Finding(where, what + " takes the value of one of its items (" + choices + "), not \"" +
                         text + "\"" + (meant.empty() ? "" : " (did you mean " + meant + "?)"));
    }
  }
}

void ProjectShorthands::CheckFileNames(const COrvaneDocBase& document) {
  if (options_.checks == CompileChecks::kNone) return;
  for (const FileName& given : file_names_) {
    std::string name = given.name;
    if (FileExtension(name).empty()) name += "." + given.extension;
    const std::string_view wanted = LastComponent(name);
    const bool carried = std::any_of(
        document.files().begin(), document.files().end(),
        [&](const auto& file) { return EqualsIgnoringCase(LastComponent(file->name()), wanted); });
    if (carried || (IsAbsoluteName(name) && IsRegularFile(name))) continue;
    const std::string what = given.module + " plug \"" + given.plug + "\" names \"" + name + "\"";
    if (!IsAbsoluteName(name) && IsRegularFile(options_.base_directory + "/" + name)) {
      Finding(given.path, what +
                              ", which is beside the project but not among its \"files\": add "
                              "{\"path\": \"" +
                              name + "\"} there so the plug-in carries it");
    } else {
      Finding(given.path, what + ", which is neither among the project's \"files\" nor on disk");
    }
  }
}

}  // namespace ov
