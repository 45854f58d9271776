// Projects as JSON: full dumps that compile back to the same bytes, the
// concise form people write, and errors that name the path and the reason.
#include "document/project_text.h"

#include <gtest/gtest.h>

#include "document/control.h"
#include "document/panel_objects.h"
#include "document/patch_manager.h"
#include "document/skins.h"
#include "tests/document/document_test_support.h"
#include "tests/document/format_example.h"

namespace ov {
namespace {

using testing::LoadOrFail;
using testing::Plug;
using Bytes = std::vector<uint8_t>;

// Dump, print, parse and compile: the stream that comes out is the one that
// went in.
Bytes ThroughText(const Bytes& stream) {
  const COrvaneDocBase loaded = LoadOrFail(stream);
  const std::string text = DumpDocument(loaded).dump(2);
  const COrvaneDocBase compiled = CompileDocument(Json::parse(text), {});
  return compiled.Write(loaded.version());
}

std::string CompileError(const Json& text) {
  try {
    CompileDocument(text, {});
  } catch (const ArchiveError& error) {
    return error.Describe();
  }
  return "accepted";
}

TEST(ProjectText, FullDumpCompilesToTheSameBytes) {
  const Bytes rich = testing::RichProject().document.Write(kCurrentLoadVersion);
  EXPECT_EQ(ThroughText(rich), rich);
  const Bytes empty = testing::TestProject().document.Write(kCurrentLoadVersion);
  EXPECT_EQ(ThroughText(empty), empty);
}

TEST(ProjectText, DumpNamesClassesFieldsAndBackReferences) {
  const Json text = DumpDocument(testing::RichProject().document);
  EXPECT_EQ(text.at("version"), kCurrentLoadVersion);
  const Json& file = text.at("files").at(0);
  EXPECT_EQ(file.at("class"), "imbedded_file");
  EXPECT_EQ(file.at("name"), "samples/a.wav");
  EXPECT_EQ(file.at("contents"), "AQID");
  const Json& root = text.at("root");
  EXPECT_EQ(root.at("class"), "CContainer");
  EXPECT_EQ(root.at("type"), "Container");
  // The main container holds a "Patch Select", so its own patch manager
  // keeps the parameter. The manager comes before the children in the
  // stream: it holds the plug in full, and the module's plug list later
  // refers back to it by id.
  const Json& main = root.at("children").at(0);
  const Json& plug = main.at("patch_manager").at("parameters").at(0).at("plug");
  EXPECT_EQ(plug.at("class"), "CPlug2");
  ASSERT_TRUE(plug.contains("id"));
  EXPECT_NE(text.dump().find("{\"ref\":" + plug.at("id").dump() + "}"), std::string::npos);
}

// Skins exist only in streams; the full form makes one to test them.
TEST(ProjectText, SkinsAndRawBlocksRoundTrip) {
  const Json text = Json::parse(R"json({
    "version": 95960,
    "plugin_id": "OvSk", "skins_present": true,
    "skins": [{"name": "default",
               "images": [{"class": "CAnimBitmap", "id": 1, "name": "knob", "png": "iVBORw==",
                           "padding": [1, 2, 3, 4]},
                          {"class": "CSkinBitmap", "name": "back", "png": ""}],
               "fonts": [{"class": "SkinFontInfo", "category": "normal"}]},
              {"name": "other", "images": [{"ref": 1}]}],
    "root": {"class": "CContainer", "type": "Container", "title": "caf\u00e9",
             "skin": {"base64": "/w=="}}
  })json");
  const COrvaneDocBase document = CompileDocument(text, {});
  ASSERT_EQ(document.skins().size(), 2u);
  EXPECT_EQ(document.skins()[1]->images()[0], document.skins()[0]->images()[0]);
  EXPECT_EQ(document.root()->skin_name(), "\xff");
  const Bytes stream = document.Write(kCurrentLoadVersion);
  EXPECT_EQ(ThroughText(stream), stream);
}

TEST(ProjectText, PlugsFirstMetInsideAConnectionResolveToTheModulesPlugs) {
  // A page box names the connection before either module is stored; the
  // connection's record holds both plugs, and the modules name them back.
  const Json text = Json::parse(R"json({
    "root": {"class": "CContainer", "type": "Container", "children": [
      {"class": "CTabBox", "type": "Paged Group", "pages": [
        {"member": {"class": "CLine2", "id": "line", "type": "Line",
                    "from": {"class": "CPlug2", "id": "out", "index": 2,
                             "connections": [{"ref": "line"}]},
                    "to": {"class": "CPlug2", "id": "in", "index": 0,
                           "connections": [{"ref": "line"}]}},
         "page": 1}]},
      {"class": "CUG", "type": "VCA", "title": "A", "plugs": [{"ref": "out"}]},
      {"class": "CUG", "type": "VCA", "title": "B", "plugs": [{"ref": "in"}]},
      {"ref": "line"}
    ]}
  })json");
  const Bytes stream = CompileDocument(text, {}).Write(kCurrentLoadVersion);
  const COrvaneDocBase loaded = LoadOrFail(stream);
  const auto& children = loaded.root()->children();
  ASSERT_EQ(children.size(), 4u);
  const auto* b = dynamic_cast<const CUG*>(children[0].get());
  const auto* a = dynamic_cast<const CUG*>(children[1].get());
  const auto* line = dynamic_cast<const CLine2*>(children[3].get());
  ASSERT_TRUE(a && b && line);
  EXPECT_EQ(line->from(), a->plugs()[0].get());
  EXPECT_EQ(line->to(), b->plugs()[0].get());
  EXPECT_EQ(a->plugs()[0]->connections(), std::vector<CLine2*>{const_cast<CLine2*>(line)});
  EXPECT_EQ(b->plugs()[0]->connections(), std::vector<CLine2*>{const_cast<CLine2*>(line)});
  const auto* box = dynamic_cast<const CTabBox*>(children[2].get());
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->members()[0].object, line);
  EXPECT_EQ(box->members()[0].page, 1);
}

TEST(ProjectText, ObjectsNothingHoldsAreDroppedWithTheirReferences) {
  const Json text = Json::parse(R"json({
    "root": {"class": "CContainer", "type": "Container", "children": [
      {"type": "Image", "shown_module": {"type": "VCA"}}]}
  })json");
  const COrvaneDocBase document = CompileDocument(text, {});
  const auto* image = dynamic_cast<const control_ob_base*>(document.root()->children()[0].get());
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->shown_module(), nullptr);
}

TEST(ProjectText, ConciseProjectBuildsWhatTheEditorWould) {
  const std::string directory = ::testing::TempDir();
  std::ofstream(directory + "/kick.wav", std::ios::binary) << "RIFF";
  const Json text = Json::parse(R"json({
    "plugin_id": "OvDm", "vendor": "Orvane", "plugin_flags": 1, "panel_size": [300, 200],
    "files": [{"path": "kick.wav"}],
    "root": {"modules": [
      {"type": "Container", "name": "synth", "title": "Synth",
       "io": [{"name": "Left", "direction": "out", "datatype": "audio"},
              {"name": "Level", "direction": "in"}],
       "patches": {"current": 1, "names": {"0": "Soft", "1": "Bright"}},
       "modules": [
         {"type": "Oscillator", "name": "osc", "plug_values": {"Waveform": 2, "Pitch": 5.5}},
         {"type": "VCA", "name": "vca"},
         {"type": "PatchMemFloatIn", "name": "cutoff",
          "patch_values": {"Value": {"0": 0.25, "1": 0.75}},
          "midi_controllers": {"Value": {"nrpn": 300}}},
         {"type": "Switch (1->Many)", "name": "switch"},
         {"type": "Fixed Values", "name": "offset", "plug_values": {"Spare Value": 3}}],
       "connections": ["osc.Audio Out -> vca.Signal", "vca.Output -> io.Left",
                       "io.Level -> vca.Volume", "switch.Spare Output -> vca.Signal",
                       "offset.Spare Value -> osc.Pulse Width"]}]}
  })json");
  CompileOptions options;
  options.base_directory = directory;
  const COrvaneDocBase document = CompileDocument(text, options);
  EXPECT_EQ(document.PluginId(), ('O' << 24) | ('v' << 16) | ('D' << 8) | 'm');
  EXPECT_EQ(document.root()->type_key(), "Container");
  EXPECT_EQ(document.root()->plugs().size(), 4u);
  EXPECT_EQ(document.panel_size(), (Point{300, 200}));
  ASSERT_EQ(document.files().size(), 1u);
  EXPECT_EQ(document.files()[0]->name(), "kick.wav");
  EXPECT_EQ(document.files()[0]->contents(), (Bytes{'R', 'I', 'F', 'F'}));

  const CContainer* synth = document.FindMainContainer();
  ASSERT_NE(synth, nullptr);
  EXPECT_EQ(synth->title(), "Synth");
  const CPlug2* left = synth->FindPlug("Left");
  ASSERT_NE(left, nullptr);
  EXPECT_EQ(left->Direction(), DR_OUT);
  EXPECT_EQ(synth->plugs().back()->Name(), "Spare");

  const CUG* osc = nullptr;
  const CUG* vca = nullptr;
  const CUG* cutoff = nullptr;
  const CUG* switcher = nullptr;
  const CUG* offset = nullptr;
  for (const auto& child : synth->children()) {
    const auto* module = dynamic_cast<const CUG*>(child.get());
    if (module == nullptr) continue;
    if (module->type_key() == "Oscillator") osc = module;
    if (module->type_key() == "VCA") vca = module;
    if (module->type_key() == "PatchMemFloatIn") cutoff = module;
    if (module->type_key() == "Switch (1->Many)") switcher = module;
    if (module->type_key() == "Fixed Values") offset = module;
  }
  ASSERT_TRUE(osc && vca && cutoff && switcher && offset);
  // The value given keeps, where the editor's first connection would copy
  // the input's into the settable output.
  ASSERT_EQ(offset->plugs().size(), 2u);
  EXPECT_EQ(offset->plugs()[0]->value_text(), "3");
  EXPECT_EQ(offset->plugs()[0]->connections().size(), 1u);
  EXPECT_EQ(osc->title(), "Oscillator");
  EXPECT_EQ(Plug(*osc, "Waveform")->value_text(), "2");
  EXPECT_EQ(Plug(*osc, "Pitch")->value_text(), "5.5");
  EXPECT_EQ(Plug(*osc, "Pulse Width")->value_text(), "5");  // the descriptor's default
  ASSERT_EQ(Plug(*vca, "Output")->connections().size(), 1u);
  EXPECT_EQ(Plug(*vca, "Output")->connections()[0]->to(), left->Partner());
  // Connecting the switch's spare output grew a fresh one, as in the editor.
  EXPECT_EQ(switcher->plugs().size(), 4u);

  const CPatchManager* manager = synth->patch_manager();
  ASSERT_NE(manager, nullptr);
  EXPECT_EQ(manager->current_patch(), 1);
  EXPECT_EQ(manager->PatchName(1), "Bright");
  EXPECT_EQ(manager->PatchName(2), "Patch   3");
  const PatchParameter* parameter = manager->FindParameter(*Plug(*cutoff, "Value"));
  ASSERT_NE(parameter, nullptr);
  EXPECT_EQ(parameter->SlotText(1), "0.75");
  EXPECT_EQ(parameter->midi_controller(), 0x4000000 + 300);

  // What it compiles to loads as a plug-in loads it.
  const COrvaneDocBase loaded =
      LoadOrFail(document.Write(kCurrentLoadVersion), nullptr, /*initialise=*/true);
  EXPECT_NE(loaded.FindMainContainer(), nullptr);
}

// A "plug_values" entry for a plug whose value a patch parameter keeps
// holds in every patch; "patch_values" given as well override it.
TEST(ProjectText, PlugValuesOfPatchStoredPlugsHoldInEveryPatch) {
  struct Case {
    const char* type;
    const char* plug;
    const char* value;
    const char* patch_two;  // from "patch_values", or null
  };
  const Case cases[] = {
      {"WaveShaper2", "shape", "x*x/5", nullptr},
      {"PatchMemFloatIn", "Value", "3", "4"},
      {"Patch Mem - Text in", "Value", "kick.wav", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    Json module = {{"type", c.type}, {"plug_values", {{c.plug, c.value}}}};
    if (c.patch_two != nullptr) module["patch_values"] = {{c.plug, {{"2", c.patch_two}}}};
    const COrvaneDocBase document = CompileDocument(
        {{"root", {{"modules", {{{"type", "Container"}, {"modules", {module}}}}}}}}, {});
    const CContainer* main = document.FindMainContainer();
    ASSERT_NE(main, nullptr);
    const auto* compiled = dynamic_cast<const CUG*>(main->children().front().get());
    ASSERT_NE(compiled, nullptr);
    const PatchParameter* parameter =
        main->patch_manager()->FindParameter(*Plug(*compiled, c.plug));
    ASSERT_NE(parameter, nullptr);
    for (const int32_t patch : {0, 1, 2, 127}) {
      const bool overridden = patch == 2 && c.patch_two != nullptr;
      EXPECT_EQ(parameter->SlotText(patch), overridden ? c.patch_two : c.value) << patch;
    }
  }
}

TEST(ProjectText, TheDocumentedExampleCompiles) {
  const std::string example =
      testing::FormatExample(std::string(OV_DOCUMENT_SOURCE_DIR) + "/docs/project-format.md");
  ASSERT_FALSE(example.empty());
  const COrvaneDocBase document = CompileDocument(Json::parse(example), {});
  const CContainer* synth = document.FindMainContainer();
  ASSERT_NE(synth, nullptr);
  EXPECT_EQ(synth->children().size(), 6u + 6u);  // five modules, the IO module, six connections
  EXPECT_NE(synth->FindPlug("Left"), nullptr);
  const COrvaneDocBase loaded = LoadOrFail(document.Write(kCurrentLoadVersion), nullptr, true);
  EXPECT_EQ(loaded.FindMainContainer()->patch_manager()->PatchName(1), "Bright");
}

// "panel_pos" places an object on the panel, keeping the size its
// "panel_rect" gave or its default one.
TEST(ProjectText, PanelPositionMovesThePanelRectangle) {
  struct Case {
    const char* module;
    Rect rect;
  };
  const Case cases[] = {
      {R"json({"type": "Slider", "panel_pos": [30, 40]})json", {30, 40, 40, 50}},
      {R"json({"type": "Slider", "panel_pos": [-5, 7], "panel_rect": [0, 0, 60, 20]})json",
       {-5, 7, 55, 27}},
      {R"json({"type": "Slider", "panel_rect": [1, 2, 3, 4]})json", {1, 2, 3, 4}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.module);
    const COrvaneDocBase document = CompileDocument(
        Json::parse(std::string(R"json({"root": {"type": "Container", "modules": [)json") +
                    c.module + "]}}"),
        {});
    ASSERT_EQ(document.root()->children().size(), 1u);
    EXPECT_EQ(document.root()->children()[0]->ViewRect(kViewControlPanel), c.rect);
  }
}

TEST(ProjectText, ErrorsNameThePathAndTheReason) {
  const auto with_main = [](const char* main) {
    return Json::parse(std::string(R"json({"root": {"type": "Container", "modules": [)json") +
                       main + "]}}");
  };
  EXPECT_EQ(CompileError(with_main(R"json({"type": "VCA", "colour": 1})json")),
            "generic error at root.modules[0].colour: unknown field");
  EXPECT_EQ(CompileError(with_main(R"json({"type": "Moog"})json")),
            "bad class at root.modules[0].type: no module type 'Moog'");
  EXPECT_EQ(CompileError(with_main(R"json({"type": "VCA", "title": 3})json")),
            "generic error at root.modules[0].title: expected text");
  EXPECT_EQ(CompileError(with_main(R"json({"type": "VCA", "plug_values": {"Gain": 1}})json")),
            "generic error at root.modules[0].plug_values.Gain: module \"VCA\" has no plug "
            "\"Gain\"");
  EXPECT_EQ(CompileError(with_main(R"json({"type": "VCA", "plugs": [{"ref": 9}]})json")),
            "bad index at root.modules[0].plugs[0].ref: no object with id 9");
  EXPECT_EQ(CompileError(with_main(R"json({"type": "Container", "modules": [{"type": "VCA"}],
                                       "connections": ["VCA.Signal -> VCA.Volume"]})json")),
            "generic error at root.modules[0].connections[0]: Can't connect. An output must go "
            "to an input (plugs on the left = Inputs, right = Outputs");
  const std::string bad_controller =
      "generic error at root.modules[0].midi_controllers.Waveform: expected a controller number "
      "from 0 to 127, or {\"rpn\": n} or {\"nrpn\": n} with n from 0 to 16383";
  EXPECT_EQ(CompileError(with_main(
                R"json({"type": "Oscillator", "midi_controllers": {"Waveform": 128}})json")),
            bad_controller);
  EXPECT_EQ(
      CompileError(with_main(
          R"json({"type": "Oscillator", "midi_controllers": {"Waveform": {"rpn": 16384}}})json")),
      bad_controller);
  EXPECT_EQ(CompileError(with_main(R"json({"type": "VCA", "midi_controllers": {"Gain": 7}})json")),
            "generic error at root.modules[0].midi_controllers.Gain: no plug with that name");
  EXPECT_EQ(CompileError(with_main(R"json({"type": "VCA", "panel_pos": [1, 2]})json")),
            "generic error at root.modules[0].panel_pos: this module has no place on the panel");
  EXPECT_EQ(CompileError(with_main(R"json({"type": "Slider", "panel_pos": [1]})json")),
            "generic error at root.modules[0].panel_pos: expected [x, y] or [x, y, width, height]");
  EXPECT_EQ(CompileError(with_main(R"json({"type": "Slider", "panel_pos": [2147483647, 0]})json")),
            "generic error at root.modules[0].panel_pos[0]: expected a whole number from -100000 to "
            "100000");
  EXPECT_EQ(CompileError(Json::parse(R"json({"version": 96000})json")),
            "generic error at version: expected a stream version of at most 95960");
}

}  // namespace
}  // namespace ov
