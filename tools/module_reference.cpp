#include "tools/module_reference.h"

#include <algorithm>
#include <iomanip>
#include <map>

#include "document/module.h"
#include "document/new_objects.h"
#include "document/plug.h"
#include "document/project_text.h"
#include "document/text_writer.h"
#include "modules/list_text.h"
#include "modules/module_purposes.h"
#include "modules/ug_unavailable.h"
#include "platform/text.h"

namespace ov {
namespace {

// What a user needs of one descriptor, in words.
struct PlugFacts {
  std::string name;
  std::string direction;
  std::string datatype;
  std::string default_text;
  std::string values;  // items, or a range, or empty
  std::string unit;
  bool patch_stored;
  std::string hint;
};

std::string DirectionName(int32_t direction) {
  switch (direction) {
    case DR_IN:
      return "in";
    case DR_OUT:
      return "out";
    case DR_CONTAINER_IO:
      return "container";
    case DR_PARAMETER:
      return "setting";
    default:
      return std::to_string(direction);
  }
}

bool Mentions(const std::string& text, std::string_view part) {
  return text.find(part) != std::string::npos;
}

// Audio plugs carry volts; pitch inputs say which scale in their hint.
std::string UnitOf(const InterfaceObject& plug) {
  if (plug.datatype != DT_FSAMPLE) return "";
  const std::string& hint = plug.hint;
  const bool per_octave = Mentions(hint, "Volt per Octave") || Mentions(hint, "1V/Oct");
  if (per_octave && Mentions(hint, "kHz")) return "1 V/oct or 1 V/kHz (Freq Scale)";
  if (per_octave) return "1 V/oct, 5 V = A 440";
  return "V";
}

// Items of a list plug, the range of a number or audio plug.
std::string ValuesOf(const InterfaceObject& plug) {
  const std::string& list = plug.list_text;
  if (list.empty()) return "";
  if (list == kAutoListText) return "the names of its connected plugs";
  if (plug.datatype == DT_ENUM || plug.datatype == DT_INT || list.starts_with("range")) {
    if (list.starts_with("range")) {
      const ListText range(list);
      return "integers " + std::to_string(range.ItemAt(0).value) + " to " +
             std::to_string(range.ItemAt(range.Count() - 1).value);
    }
    std::string items;
    ListText(list).ForEach([&](const ListText::Item& item) {
      if (!items.empty()) items += ", ";
      items += item.label;
      return true;
    });
    return items;
  }
  // Number plugs give their ends upper first, "10,-10"; a second pair, when
  // there is one, is the range in volts ("100, 0, 10, 0" is 0 to 10 V).
  std::vector<double> ends;
  for (std::size_t begin = 0; begin <= list.size();) {
    const std::size_t comma = std::min(list.find(',', begin), list.size());
    const std::optional<double> number = ParseDouble(list.substr(begin, comma - begin));
    if (!number) return list;
    ends.push_back(*number);
    begin = comma + 1;
  }
  if (ends.size() == 2 || ends.size() == 4) {
    const std::size_t pair = ends.size() - 2;
    return FormatDouble(ends[pair + 1]) + " to " + FormatDouble(ends[pair]);
  }
  return list;
}

PlugFacts FactsOf(const InterfaceObject& plug) {
  const bool patch_stored =
      (plug.flags & (kPlugPatchStored | kPlugPanelSide)) == (kPlugPatchStored | kPlugPanelSide) ||
      (plug.direction == DR_IN && (plug.flags & kPlugPatchParameter) != 0);
  return {plug.name,
          DirectionName(plug.direction),
          DatatypeKeyword(plug.datatype),
          plug.default_text,
          ValuesOf(plug),
          UnitOf(plug),
          patch_stored,
          plug.hint};
}

bool IsPlaceholder(const Module_Info& type) {
  const std::unique_ptr<ug_base> generator = type.CreateGenerator();
  return dynamic_cast<const ug_unavailable*>(generator.get()) != nullptr;
}

// The plugs a module of the type has: its type's descriptors, or, for
// types without any (panel faces, the helpers described by features), the
// plugs a new module of the type makes itself.
struct TypePlugs {
  std::vector<InterfaceObject> plugs;
  bool made_by_module = false;
};

TypePlugs PlugsOf(const ModuleRegistry& registry, const std::string& key,
                  const Module_Info& type) {
  if (!type.Descriptors().empty()) return {type.Descriptors(), false};
  TypePlugs made{{}, true};
  const std::unique_ptr<CDocOb> object = CreateDocumentObject(registry, key);
  if (const auto* module = dynamic_cast<const CUG*>(object.get())) {
    for (const auto& plug : module->plugs()) {
      made.plugs.emplace_back(nullptr, plug->Direction(), "", plug->Name(), plug->value_text(),
                              plug->ItemList(), plug->Flags(), plug->Datatype(), nullptr);
    }
  }
  return made;
}

constexpr char kMadeByModuleNote[] = "Plugs a new module makes itself, from its features:";

struct TypeFacts {
  std::string key;
  std::string family;
  std::string purpose;
  bool placeholder;
  TypePlugs plugs;
};

// Families in the purpose table's order, types by key within each; types
// that table does not know (a module library's) come last.
std::vector<TypeFacts> ListedTypes(const ModuleRegistry& registry) {
  std::map<std::string, std::size_t> family_order;
  for (const ModulePurpose& purpose : ModulePurposes()) {
    family_order.emplace(purpose.family, family_order.size());
  }
  std::vector<TypeFacts> types;
  for (const auto& [key, type] : registry.Types()) {
    const ModulePurpose* purpose = FindModulePurpose(key);
    types.push_back({key, purpose ? purpose->family : "Other",
                     purpose ? purpose->purpose : "(not described)", IsPlaceholder(*type),
                     PlugsOf(registry, key, *type)});
  }
  const auto rank = [&](const TypeFacts& facts) {
    const auto found = family_order.find(facts.family);
    return found == family_order.end() ? family_order.size() : found->second;
  };
  std::stable_sort(types.begin(), types.end(),
                   [&](const TypeFacts& a, const TypeFacts& b) { return rank(a) < rank(b); });
  return types;
}

constexpr char kPlaceholderNote[] = "placeholder: loads and keeps its outputs at 0 in this build";

Json PlugsJson(const TypePlugs& type) {
  Json plugs = Json::array();
  int index = 0;
  for (const InterfaceObject& descriptor : type.plugs) {
    const PlugFacts facts = FactsOf(descriptor);
    plugs.push_back({{"index", index++},
                     {"name", facts.name},
                     {"direction", facts.direction},
                     {"datatype", facts.datatype},
                     {"default", facts.default_text},
                     {"values", facts.values},
                     {"unit", facts.unit},
                     {"patch_stored", facts.patch_stored},
                     {"hint", facts.hint}});
  }
  return plugs;
}

// Pipes and line breaks would end a Markdown table cell.
std::string Cell(std::string text) {
  std::string escaped;
  for (const char c : text) {
    if (c == '|') {
      escaped += "\\|";
    } else {
      escaped += c == '\n' || c == '\r' ? ' ' : c;
    }
  }
  return escaped;
}

void PrintPlugTable(const TypePlugs& type, std::ostream& out) {
  if (type.plugs.empty()) {
    out << "No plugs of its own.\n";
    return;
  }
  if (type.made_by_module) out << kMadeByModuleNote << "\n\n";
  out << "| # | Plug | Dir | Type | Default | Values | Unit | Per patch | Hint |\n"
      << "|---|---|---|---|---|---|---|---|---|\n";
  int index = 0;
  for (const InterfaceObject& descriptor : type.plugs) {
    const PlugFacts facts = FactsOf(descriptor);
    out << "| " << index++ << " | " << Cell(facts.name) << " | " << facts.direction << " | "
        << facts.datatype << " | " << Cell(facts.default_text) << " | " << Cell(facts.values)
        << " | " << facts.unit << " | " << (facts.patch_stored ? "yes" : "") << " | "
        << Cell(facts.hint) << " |\n";
  }
}

void PrintMarkdown(const std::vector<TypeFacts>& types, std::ostream& out) {
  out << "<!-- Generated from the module registry by `orvane modules --markdown`; do not edit.\n"
         "     Regenerate after changing a module type or its plugs:\n"
         "       build/orvane modules --markdown > docs/module-reference.md\n"
         "     The test ModuleReference.IsCurrent fails while this file is stale. -->\n"
         "# Module reference\n\n"
         "Every module type of this build, by family, with its plugs in plug order (the\n"
         "number is the plug's index in stored projects). Names are case-sensitive and\n"
         "are what a JSON project's \"type\", \"plug_values\" and connections use.\n\n"
         "- Dir: `in`, `out`, or `setting` (a value the module reads when it starts, set\n"
         "  in \"plug_values\" and not connectable in most modules).\n"
         "- Type: `audio` plugs carry volts (a JSON value of 5 is 5 V; the signal itself\n"
         "  is volts / 10, so 10 V is full scale); `midi` plugs carry MIDI; a `list`\n"
         "  plug takes an item's value, which is its position from 0 unless the list\n"
         "  says \"Item=value\"; `bool`, `int`, `float`, `double` and `text` take what\n"
         "  their names say. Plugs connect only to plugs of a datatype that can meet\n"
         "  theirs (see docs/patching.md).\n"
         "- Unit: for audio plugs; `1 V/oct, 5 V = A 440` marks pitch inputs.\n"
         "- Per patch: the value is kept once for each of the 128 patches.\n"
         "- A placeholder type loads so that old projects keep opening, but its\n"
         "  outputs stay at 0 in this build.\n\n";
  std::string family;
  for (const TypeFacts& facts : types) {
    if (facts.family != family) {
      family = facts.family;
      out << "## " << family << "\n\n";
      for (const TypeFacts& listed : types) {
        if (listed.family == family)
          out << "- \"" << listed.key << "\": " << listed.purpose << "\n";
      }
      out << "\n";
    }
    out << "### " << facts.key << "\n\n" << facts.purpose << "\n\n";
    if (facts.placeholder) out << "*" << kPlaceholderNote << ".*\n\n";
    PrintPlugTable(facts.plugs, out);
    out << "\n";
  }
}

}  // namespace

int RunModulesCommand(const ModuleRegistry& registry, ReferenceForm form, std::ostream& out) {
  const std::vector<TypeFacts> types = ListedTypes(registry);
  if (form == ReferenceForm::kMarkdown) {
    PrintMarkdown(types, out);
    return 0;
  }
  if (form == ReferenceForm::kJson) {
    Json list = Json::array();
    for (const TypeFacts& facts : types) {
      list.push_back({{"key", facts.key},
                      {"family", facts.family},
                      {"purpose", facts.purpose},
                      {"placeholder", facts.placeholder},
                      {"plugs", facts.plugs.plugs.size()}});
    }
    out << list.dump(2) << "\n";
    return 0;
  }
  std::size_t width = 0;
  for (const TypeFacts& facts : types) width = std::max(width, facts.key.size());
  std::string family;
  for (const TypeFacts& facts : types) {
    if (facts.family != family) {
      family = facts.family;
      out << (&facts == &types.front() ? "" : "\n") << family << ":\n";
    }
    out << "  " << std::left << std::setw(static_cast<int>(width)) << facts.key << "  "
        << facts.purpose << (facts.placeholder ? " [placeholder]" : "") << "\n";
  }
  out << "\n" << types.size() << " module types; 'orvane plugs TYPE' lists a type's plugs.\n";
  return 0;
}

int RunPlugsCommand(const ModuleRegistry& registry, const std::string& type_key, ReferenceForm form,
                    std::ostream& out, std::ostream& err) {
  const auto found = registry.Types().find(type_key);
  if (found == registry.Types().end()) {
    std::vector<std::string> keys;
    for (const auto& [key, type] : registry.Types()) keys.push_back(key);
    err << "orvane plugs: no module type '" << type_key << "'" << DidYouMean(type_key, keys)
        << "; 'orvane modules' lists them\n";
    return 1;
  }
  const Module_Info& type = *found->second;
  const ModulePurpose* purpose = FindModulePurpose(type_key);
  const bool placeholder = IsPlaceholder(type);
  const TypePlugs plugs = PlugsOf(registry, type_key, type);
  if (form == ReferenceForm::kJson) {
    Json described = {{"key", type_key},
                      {"family", purpose ? purpose->family : "Other"},
                      {"purpose", purpose ? purpose->purpose : ""},
                      {"placeholder", placeholder},
                      {"plugs", PlugsJson(plugs)}};
    out << described.dump(2) << "\n";
    return 0;
  }
  out << type_key << (purpose ? std::string(": ") + purpose->purpose : "") << "\n";
  if (placeholder) out << "(" << kPlaceholderNote << ")\n";
  if (plugs.plugs.empty()) out << "No plugs of its own.\n";
  if (!plugs.plugs.empty() && plugs.made_by_module) out << kMadeByModuleNote << "\n";
  int index = 0;
  for (const InterfaceObject& descriptor : plugs.plugs) {
    const PlugFacts facts = FactsOf(descriptor);
    out << std::right << std::setw(3) << index++ << "  \"" << facts.name << "\"  "
        << facts.direction << " " << facts.datatype;
    if (!facts.unit.empty()) out << ", " << facts.unit;
    if (!facts.default_text.empty()) out << ", default " << facts.default_text;
    if (!facts.values.empty()) out << ", values: " << facts.values;
    if (facts.patch_stored) out << ", per patch";
    out << "\n";
    if (!facts.hint.empty()) out << "       " << facts.hint << "\n";
  }
  return 0;
}

}  // namespace ov
