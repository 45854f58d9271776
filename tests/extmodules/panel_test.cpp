// Library panel parts inside the plug-in: the gain's panel in the snapshot,
// a drag on it setting "Gain" (which the host and the running engine
// follow), "sdk" messages from engine part to panel part and back, the
// panel host callback's answers, a hostile panel part refused, idle turns,
// and two instances in one process keeping their own shared tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "document/container.h"
#include "document/module_classes.h"
#include "document/patch_manager.h"
#include "engine/ug_base.h"
#include "engine/uplug.h"
#include "extmodules/plugin_panel.h"
#include "extmodules/plugin_panel_view.h"
#include "host/ov_vst.h"
#include "platform/dynamic_library.h"
#include "platform/text.h"
#include "tests/editor/editor_test_support.h"
#include "tests/extmodules/extmodules_test_support.h"
#include "tests/extmodules/gain_panel_project.h"
#include "tests/host/compiled_project.h"
#include "tests/host/fake_host.h"
#include "tests/host/temp_folder.h"
#include "tools/snapshot.h"

namespace ov::test {
namespace {

Json OneModuleProject(const std::string& type, const std::string& connection) {
  Json project = Json::parse(R"({
    "version": 95960, "plugin_id": "OvXq", "plugin_flags": 1, "panel_size": [136, 60],
    "root": {"type": "Container", "modules": [{
      "type": "Container", "name": "main",
      "io": [{"name": "MIDI In", "direction": "in", "datatype": "midi"},
             {"name": "Out", "direction": "out", "datatype": "audio"}],
      "modules": [], "connections": []}]}})");
  Json& main = project["root"]["modules"][0];
  main["modules"].push_back({{"type", type}, {"name", "m"}});
  if (!connection.empty()) main["connections"].push_back(connection);
  return project;
}

// The plug-in object of a project whose libraries are registered first; its
// editor opens on an offscreen window.
struct PanelPlugin {
  explicit PanelPlugin(const Json& project) {
    RegisterModuleLibrary(ProcessModules(), "", "example_modules.ovm", ExampleModules());
    RegisterModuleLibrary(ProcessModules(), "", "hostile_6.ovm", HostileLibrary(6));
    RegisterModuleLibrary(ProcessModules(), "", "hostile_7.ovm", HostileLibrary(7));
    testing::StreamProject source(project);
    plugin = std::make_unique<OvVst>(&testing::FakeHost::Callback, source);
    effect = plugin->getAeffect();
    plugin->Editor()->SetWindowMaker([this](void*, int32_t w, int32_t h, std::string*) {
      auto window = std::make_unique<OffscreenWindow>(w, h);
      screen = window.get();
      return std::unique_ptr<WindowPort>(std::move(window));
    });
  }
  intptr_t Dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                    float opt = 0.0f) {
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
  }
  CPlugin2& Module() {
    for (const auto& child : plugin->App().Document()->FindMainContainer()->children()) {
      if (auto* module = dynamic_cast<CPlugin2*>(child.get())) return *module;
    }
    throw std::logic_error("no module with a panel part");
  }
  void OpenEditor() {
    ASSERT_EQ(Dispatch(vst2::effEditOpen, 0, 0, reinterpret_cast<void*>(1)), 1);
    Dispatch(vst2::effEditIdle);
  }
  void Mouse(WindowEventKind kind, int32_t x, int32_t y) {
    WindowEvent event;
    event.kind = kind;
    event.x = x;
    event.y = y;
    event.button = 1;
    event.flags = kind == WindowEventKind::kRelease ? 0u : uint32_t{kFlagLeftButton};
    plugin->Editor()->View().HandleEvent(event);
  }
  void Resume() {
    Dispatch(vst2::effSetSampleRate, 0, 0, nullptr, 44100.0f);
    Dispatch(vst2::effSetBlockSize, 0, 64);
    Dispatch(vst2::effMainsChanged, 0, 1);
  }
  // One block of constant input; the last output sample.
  float Process(float input) {
    std::vector<float> in(64, input), out(64, 0.0f);
    float* ins[] = {in.data(), in.data()};
    float* outs[] = {out.data(), out.data()};
    effect->processReplacing(effect, ins, outs, 64);
    return out.back();
  }
  PixelImage Screen() { return screen->Screen(); }

  testing::FakeHost host;
  std::unique_ptr<OvVst> plugin;
  vst2::AEffect* effect = nullptr;
  OffscreenWindow* screen = nullptr;
};

float GainOf(CPlugin2& module) {
  CPlug2* gain = module.FindPlug("Gain");
  const PatchParameter* parameter = module.parent()->GetPatchManager()->FindParameter(*gain);
  return parameter != nullptr ? parameter->CurrentValue().real : -1.0f;
}

PluginPanelView* ViewOf(ov_vst_editor& editor) {
  std::vector<CVisualOb*> walk{&editor.View()};
  while (!walk.empty()) {
    CVisualOb* at = walk.back();
    walk.pop_back();
    if (auto* view = dynamic_cast<PluginPanelView*>(at)) return view;
    walk.insert(walk.end(), at->children().begin(), at->children().end());
  }
  return nullptr;
}

TEST(LibraryPanels, TheGainPanelIsDrawnIntoTheSnapshot) {
  SnapshotCommandLine line;
  line.input_path = std::string(OV_EXAMPLES_DIR) + "/external-gain.json";
  line.output_path = testing::BuildDir() + "/external_gain_snapshot.png";
  std::ostringstream out, err;
  ASSERT_EQ(RunSnapshotCommand(line, out, err), 0) << err.str();
  std::string error;
  const std::optional<PixelImage> image = ReadPngFile(line.output_path, &error);
  ASSERT_TRUE(image) << error;
  testing::ExpectMatchesGolden("external_gain_panel", *image);
}

TEST(LibraryPanels, ADragSetsGainWhichTheHostAndTheRunningEngineFollow) {
  PanelPlugin rig(testing::GainPanelProject());
  CPlugin2& module = rig.Module();
  EXPECT_EQ(module.drawing_size().x, 120);
  EXPECT_EQ(module.drawing_size().y, 44);
  // Made a parameter by the panel part, keeping the project's value.
  ASSERT_EQ(rig.effect->numParams, 1);
  EXPECT_FLOAT_EQ(GainOf(module), 0.5f);
  rig.Resume();
  EXPECT_FLOAT_EQ(rig.Process(1.0f), 0.5f);

  rig.OpenEditor();
  // The panel stands at its rectangle (8, 8); its track starts at x 10.
  rig.Mouse(WindowEventKind::kPress, 8 + 35, 8 + 10);
  EXPECT_FLOAT_EQ(GainOf(module), 0.25f);
  EXPECT_NE(rig.plugin->Editor()->View().State().capture(), nullptr);
  rig.Mouse(WindowEventKind::kMotion, 8 + 85, 8 + 30);  // off the track, but captured
  rig.Mouse(WindowEventKind::kRelease, 8 + 300, 8 + 30);
  EXPECT_FLOAT_EQ(GainOf(module), 0.75f);
  EXPECT_EQ(rig.plugin->Editor()->View().State().capture(), nullptr);
  ASSERT_FALSE(rig.host.automated.empty());
  EXPECT_EQ(rig.host.automated.back().index, 0);
  EXPECT_NEAR(rig.host.automated.back().value, 0.075f, 1e-6);
  EXPECT_FLOAT_EQ(rig.Process(1.0f), 0.75f);

  // A press off the track changes nothing.
  rig.Mouse(WindowEventKind::kPress, 8 + 60, 8 + 30);
  rig.Mouse(WindowEventKind::kRelease, 8 + 60, 8 + 30);
  EXPECT_FLOAT_EQ(GainOf(module), 0.75f);
  rig.Dispatch(vst2::effEditClose);
}

TEST(LibraryPanels, SdkMessagesGoFromEngineToPanelAndBack) {
  PanelPlugin rig(OneModuleProject("Ov MIDI to Text", "io.MIDI In -> m.MIDI In"));
  CPlugin2& module = rig.Module();
  rig.Resume();
  vst2::VstMidiEvent note{};
  note.type = vst2::kVstMidiType;
  note.byteSize = sizeof note;
  note.deltaFrames = 5;
  note.midiData[0] = static_cast<char>(0x90);
  note.midiData[1] = 0x3C;
  note.midiData[2] = 0x64;
  struct {
    int32_t numEvents;
    intptr_t reserved;
    vst2::VstEvent* events[1];
  } block{1, 0, {reinterpret_cast<vst2::VstEvent*>(&note)}};
  rig.Dispatch(vst2::effProcessEvents, 0, 0, &block);
  rig.Process(0.0f);
  ASSERT_NE(module.Generator(), nullptr);
  EXPECT_EQ(module.Generator()->plug(1)->TextValue(), "90 3C 64");
  rig.Dispatch(vst2::effIdle);  // the panel part hears it and answers
  rig.Process(0.0f);
  EXPECT_EQ(module.Generator()->plug(1)->TextValue(), "panel saw 90 3C 64");
}

TEST(LibraryPanels, TheCallbackAnswersForItsPanelsPlugsAndViews) {
  PanelPlugin rig(testing::GainPanelProject());
  CPlugin2& module = rig.Module();
  auto* panel = dynamic_cast<PluginPanel*>(module.panel());
  ASSERT_NE(panel, nullptr);
  const auto call = [&](int32_t opcode, intptr_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                        float opt = 0.0f) {
    return PanelHostCallback(panel->Structure(), opcode, index, value, ptr, opt);
  };
  EXPECT_EQ(call(OV_PANEL_HOST_VERSION), 2);
  EXPECT_EQ(call(OV_PANEL_HOST_PLUG_COUNT), 3);

  // Values through the patch parameter: as text, as float, and back.
  EXPECT_STREQ(reinterpret_cast<const char*>(call(OV_PANEL_HOST_PLUG_TEXT, 1)), "0.50");
  call(OV_PANEL_HOST_SET_PLUG_TEXT, 1, 0, const_cast<char*>("0.25"));
  float value = 0.0f;
  call(OV_PANEL_HOST_PLUG_VALUE, 1, 0, &value);
  EXPECT_FLOAT_EQ(value, 0.25f);
  call(OV_PANEL_HOST_SET_PLUG_VALUE, 1, 0, nullptr, 0.125f);
  EXPECT_FLOAT_EQ(GainOf(module), 0.125f);

  // Settings and flags: bit 1 keeps the module out of views other than
  // the panel, bit 0 makes its objects thick.
  call(OV_PANEL_HOST_SET_SETTING, 5);
  EXPECT_TRUE(module.setting());
  call(OV_PANEL_HOST_SET_FLAGS, 3);
  VisualMakers makers;
  AddModulePanelViews(makers);
  EXPECT_EQ(makers.Make(module, 1), nullptr);
  std::unique_ptr<CVisualOb> thick = makers.Make(module, kViewControlPanel);
  ASSERT_NE(thick, nullptr);
  EXPECT_NE(thick->flags() & kVoThick, 0u);
  call(OV_PANEL_HOST_SET_FLAG0, 0);
  EXPECT_EQ(module.drawing_flags(), 2u);
  call(OV_PANEL_HOST_SET_SIZE, -4, 1 << 20);
  EXPECT_EQ(module.drawing_size().x, 0);
  EXPECT_EQ(module.drawing_size().y, 4096);
  EXPECT_EQ(makers.Make(module, kViewControlPanel), nullptr);  // draws nothing now
  call(OV_PANEL_HOST_SET_SIZE, 120, 44);

  uint16_t wide[512];
  call(OV_PANEL_HOST_LIBRARY_PATH_W, 0, 512, wide);
  EXPECT_EQ(ZeroTerminatedWide(wide, 512), ExampleModules());
  call(OV_PANEL_HOST_LIBRARY_PATH_W, 0, 4, wide);
  EXPECT_EQ(ZeroTerminatedWide(wide, 512), ExampleModules().substr(0, 3));

  // A feature plug comes and goes; a parameter's plug stays.
  call(OV_PANEL_HOST_ADD_PLUG, 7, 1, const_cast<char*>("Extra"));
  ASSERT_EQ(module.plugs().size(), 4u);
  EXPECT_EQ(module.plugs()[3]->Name(), "Extra");
  call(OV_PANEL_HOST_REMOVE_PLUG, 3);
  call(OV_PANEL_HOST_REMOVE_PLUG, 1);
  EXPECT_EQ(module.plugs().size(), 3u);

  // Views, fonts, capture and the window: only the open views count.
  rig.OpenEditor();
  PluginPanelView* view = ViewOf(*rig.plugin->Editor());
  ASSERT_NE(view, nullptr);
  OvFontInfo font{};
  const intptr_t handle = call(OV_PANEL_HOST_FONT, reinterpret_cast<intptr_t>(view),
                               reinterpret_cast<intptr_t>("Normal"), &font);
  EXPECT_NE(handle, 0);
  EXPECT_GT(font.size, 0);
  EXPECT_GT(font.cellHeight, 0);
  EXPECT_EQ(call(OV_PANEL_HOST_FONT, reinterpret_cast<intptr_t>(view),
                 reinterpret_cast<intptr_t>("normal"), &font),
            handle);
  OvDrawing drawing{120, 44, view};
  call(OV_PANEL_HOST_CAPTURE, 0, 0, &drawing);
  EXPECT_EQ(call(OV_PANEL_HOST_HAS_CAPTURE, 0, 0, &drawing), 1);
  call(OV_PANEL_HOST_RELEASE, 0, 0, &drawing);
  EXPECT_EQ(call(OV_PANEL_HOST_HAS_CAPTURE, 0, 0, &drawing), 0);
  EXPECT_EQ(call(OV_PANEL_HOST_WINDOW, reinterpret_cast<intptr_t>(view)), 0);  // offscreen
  rig.Dispatch(vst2::effEditClose);
  EXPECT_EQ(call(OV_PANEL_HOST_FONT, reinterpret_cast<intptr_t>(view),
                 reinterpret_cast<intptr_t>("normal"), &font),
            0);  // closed: no longer one of its views
}

TEST(LibraryPanels, AReloadHandsTheOpenViewsToTheNewPanelPart) {
  PanelPlugin rig(testing::GainPanelProject());
  CPlugin2& module = rig.Module();
  rig.OpenEditor();
  PluginPanelView* view = ViewOf(*rig.plugin->Editor());
  ASSERT_NE(view, nullptr);
  const uint32_t before = module.panel_generation();
  ASSERT_TRUE(rig.plugin->App().ReloadModuleLibrary(module));
  auto* panel = dynamic_cast<PluginPanel*>(module.panel());
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(module.panel_generation(), before + 1);
  EXPECT_EQ(module.drawing_size().x, 120);  // set again by the new panel part
  view->InvalidateAll();
  rig.Dispatch(vst2::effEditIdle);
  EXPECT_EQ(panel->FindView(view), view);
  const PixelImage after = rig.Screen();
  EXPECT_NE(after.At(8 + 20, 8 + 10), after.At(2, 2));  // its bar is drawn again
  // Moved on the panel, the module takes its view along at the size it draws.
  ASSERT_TRUE(module.SetViewRect(kViewControlPanel, {4, 6, 10, 10}));
  EXPECT_EQ(view->GetRect(), (ov::Rect{4, 6, 124, 50}));
  rig.Dispatch(vst2::effEditClose);
}

// Right-clicks in the plug-in's panel: on the gain, its module's "Reload
// DLL", which reloads with the host's processing suspended and resumed; on
// the background, the project's "About...", which shows its text.
TEST(LibraryPanels, ContextMenusReloadTheLibraryAndShowTheAboutText) {
  Json project = testing::GainPanelProject();
  project["option_flag"] = true;
  project["option_text"] = "Gain, for the tests";
  PanelPlugin rig(project);
  rig.plugin->App().Messages().SetLogToStderr(false);
  rig.Resume();
  rig.OpenEditor();
  COrvaneViewBase& root = rig.plugin->Editor()->View();
  const auto texts = [&] {
    std::vector<std::string> shown;
    for (const MenuItem& item : root.Menu().Items()) shown.push_back(item.text);
    return shown;
  };
  const uint32_t before = rig.Module().panel_generation();
  ASSERT_TRUE(root.RequestContextMenu({30, 20}));
  EXPECT_EQ(texts(), std::vector<std::string>{"Reload DLL"});
  root.ChooseMenuCommand(kCommandReloadLibrary);
  EXPECT_EQ(rig.Module().panel_generation(), before + 1);
  ASSERT_NE(rig.plugin->App().Engine(), nullptr) << "resumed as it was";
  EXPECT_FLOAT_EQ(rig.Process(1.0f), 0.5f);

  ASSERT_TRUE(root.RequestContextMenu({132, 56}));
  EXPECT_EQ(texts(), std::vector<std::string>{"About..."});
  root.ChooseMenuCommand(kCommandAbout);
  EXPECT_TRUE(rig.plugin->App().Messages().Contains("Gain, for the tests"));
  rig.Dispatch(vst2::effEditClose);
}

// A project that gives no panel size gets the size its panel's contents
// need, and at least 160 x 80, in a host's editor and in a snapshot alike.
TEST(LibraryPanels, WithoutAPanelSizeThePanelFitsItsContents) {
  struct Case {
    bool with_gain;
    int32_t left, top;  // of the gain's panel part
  };
  const Case cases[] = {{false, 0, 0}, {true, 8, 8}, {true, 300, 150}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.left) + ", " + std::to_string(c.top));
    Json project = testing::GainPanelProject();
    project.erase("panel_size");
    Json& main = project["root"]["modules"][0];
    if (c.with_gain) {
      main["modules"][0]["panel_rect"] = {c.left, c.top, c.left + 120, c.top + 44};
    } else {
      main["modules"] = Json::array();
      main["connections"] = Json::array();
    }
    PanelPlugin rig(project);
    vst2::ERect* rect = nullptr;
    ASSERT_EQ(rig.Dispatch(vst2::effEditGetRect, 0, 0, &rect), 1);
    int32_t width = 160, height = 80;
    if (c.with_gain) {
      const Point drawn = rig.Module().drawing_size();
      width = std::max(width, c.left + drawn.x);
      height = std::max(height, c.top + drawn.y);
    }
    EXPECT_EQ(rect->right - rect->left, width);
    EXPECT_EQ(rect->bottom - rect->top, height);

    testing::TempFolder folder;
    project["files"] = {{{"path", ExampleModules()}}};
    std::ofstream(folder / "panel.json") << project.dump();
    SnapshotCommandLine line;
    line.input_path = folder / "panel.json";
    line.output_path = folder / "panel.png";
    std::ostringstream out, err;
    ASSERT_EQ(RunSnapshotCommand(line, out, err), 0) << err.str();
    std::string error;
    const std::optional<PixelImage> image = ReadPngFile(line.output_path, &error);
    ASSERT_TRUE(image) << error;
    EXPECT_EQ(image->Width(), width);
    EXPECT_EQ(image->Height(), height);
  }
}

TEST(LibraryPanels, AHostilePanelPartGetsNothingFromBadArguments) {
  PanelPlugin rig(OneModuleProject("Hostile Panel", ""));
  ASSERT_NE(rig.Module().panel(), nullptr);
  rig.OpenEditor();  // paints it, which makes calls of its own
  std::string error;
  DynamicLibrary library = DynamicLibrary::Open(HostileLibrary(6), &error);
  using Answers = const intptr_t* (*)(int32_t*);
  auto answers = reinterpret_cast<Answers>(library.Symbol("hostilePanelAnswers"));
  ASSERT_NE(answers, nullptr) << error;
  int32_t count = 0;
  const intptr_t* recorded = answers(&count);
  EXPECT_EQ(count, 77);
  for (int32_t i = 0; i < count; ++i) EXPECT_EQ(recorded[i], 0) << "answer " << i;
  rig.Dispatch(vst2::effEditClose);
}

// The keeper's module writes a number of its own into its shared table when
// its engine starts, and plays -1 once another wrote over it.
TEST(LibraryPanels, TwoInstancesKeepTheirOwnSharedTablesWhileOneProcesses) {
  const Json project = OneModuleProject("Table Keeper", "m.Out -> io.Out");
  PanelPlugin first(project);
  first.Resume();
  first.OpenEditor();
  ASSERT_EQ(first.Process(0.0f), 1.0f);
  // Blocks the engine skips while an editor call holds the plug-in read
  // silence; every other block must say the table is still the first's.
  std::atomic<bool> running{true};
  std::atomic<int> kept{0};
  std::atomic<int> lost{0};
  std::thread audio([&] {
    while (running.load()) {
      const float heard = first.Process(0.0f);
      if (heard == 1.0f) ++kept;
      if (heard < 0.0f) ++lost;
    }
  });
  // The second starts while the first plays on its own thread, both editors
  // open and idling.
  PanelPlugin second(project);
  second.OpenEditor();
  second.Resume();
  kept.store(0);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (kept.load() < 50 && std::chrono::steady_clock::now() < deadline) {
    first.Dispatch(vst2::effEditIdle);
    second.Dispatch(vst2::effEditIdle);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_GE(kept.load(), 50);
  running.store(false);
  audio.join();
  EXPECT_EQ(lost.load(), 0);
  EXPECT_EQ(first.Process(0.0f), 1.0f);
  EXPECT_EQ(second.Process(0.0f), 1.0f);
  first.Dispatch(vst2::effEditClose);
  second.Dispatch(vst2::effEditClose);
}

// The keeper's panel part asks for idle turns as it opens and leaves after
// its third; the turns come from the plug-in's idle while no editor is open.
TEST(LibraryPanels, APanelPartGetsIdleTurnsUntilItLeaves) {
  std::string error;
  DynamicLibrary library = DynamicLibrary::Open(HostileLibrary(7), &error);
  const auto turns = reinterpret_cast<int (*)()>(library.Symbol("keeperIdleTurns"));
  ASSERT_NE(turns, nullptr) << error;
  const int before = turns();
  PanelPlugin rig(OneModuleProject("Table Keeper", ""));
  EXPECT_EQ(turns(), before + 1) << "the first turn comes when asked for";
  for (int i = 0; i < 5; ++i) rig.Dispatch(vst2::effIdle);
  EXPECT_EQ(turns(), before + 3);
}

}  // namespace
}  // namespace ov::test
