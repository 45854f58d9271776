// A library module's document object and its panel part: what reaches the
// panel part when the module is made, its plugs change, the editor connects
// and disconnects it, its engine part sends "sdk", and it goes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "document/module_classes.h"
#include "document/patch_manager.h"
#include "engine/byte_ring.h"
#include "engine/message_queue.h"
#include "sdk/orvane_module.h"
#include "tests/document/document_test_support.h"

namespace ov::testing {
namespace {

struct PanelCall {
  int32_t opcode;
  intptr_t index;
  intptr_t value;
  std::string bytes;  // "sdk" payloads
};

class RecordingPanel final : public ModulePanel {
 public:
  explicit RecordingPanel(std::vector<PanelCall>& calls) : calls_(calls) {}
  intptr_t Send(int32_t opcode, intptr_t index, intptr_t value, void* ptr, float) override {
    PanelCall call{opcode, index, value, {}};
    if (opcode == OV_PANEL_SDK_MESSAGE) call.bytes.assign(static_cast<const char*>(ptr), index);
    calls_.push_back(call);
    return opcode == OV_PANEL_QUERY ? 1 : 0;
  }

 private:
  std::vector<PanelCall>& calls_;
};

constexpr StaticPlugEntry kPanelTestPlugs[] = {
    {u"In", DR_IN, DT_FLOAT, u"0", u"", 0},
    {u"Level", DR_IN, DT_FLOAT, u"0.5", u"", 0},
    {u"Out", DR_OUT, DT_FLOAT, u"0", u"", 0},
};

class PanelTestType final : public Module_Info {
 public:
  explicit PanelTestType(std::vector<PanelCall>& calls)
      : Module_Info("Panel Test", 0, 0, "CPlugin2", nullptr, 0x100, kPanelTestPlugs),
        calls_(calls) {}
  std::unique_ptr<ModulePanel> MakePanelPart(CDocOb&, bool) const override {
    return std::make_unique<RecordingPanel>(calls_);
  }

 private:
  std::vector<PanelCall>& calls_;
};

std::vector<int32_t> Opcodes(const std::vector<PanelCall>& calls) {
  std::vector<int32_t> opcodes;
  for (const PanelCall& call : calls) opcodes.push_back(call.opcode);
  return opcodes;
}

struct PanelRig {
  PanelRig() {
    registry.RegisterModule(std::make_unique<PanelTestType>(calls));
    auto made = CreateDocumentObject(registry, "Panel Test");
    module = dynamic_cast<CPlugin2*>(made.get());
    EXPECT_NE(module, nullptr);
    project.main->AddChild(std::move(made));
    module->SetParent(project.main);
    module->InitialiseAfterLoad(false);
  }
  std::vector<PanelCall> calls;
  ModuleRegistry registry;
  TestProject project;
  CPlugin2* module = nullptr;
};

TEST(LibraryModulePanel, HearsOfItsMakingPlugsConnectionsAndEnd) {
  PanelRig rig;
  CPlugin2& module = *rig.module;
  ASSERT_NE(module.panel(), nullptr);
  ASSERT_EQ(rig.calls.size(), 1u);
  EXPECT_EQ(rig.calls[0].opcode, OV_PANEL_OPEN);
  EXPECT_EQ(rig.calls[0].index, 0);  // made new, not loaded
  EXPECT_TRUE(module.Query());

  // A patch parameter's change reaches the panel part with the plug's
  // position; storing the value it holds already is no change.
  CPlug2* level = Plug(module, "Level");
  PatchParameter* parameter = rig.project.main->EnsurePatchManager().CreateParameterForPlug(*level);
  ASSERT_NE(parameter, nullptr);
  rig.calls.clear();
  PatchValue value;
  value.real = 0.25f;
  parameter->SetValue(value);
  parameter->SetValue(value);
  ASSERT_EQ(Opcodes(rig.calls), std::vector<int32_t>{OV_PANEL_PLUG_VALUE});
  EXPECT_EQ(rig.calls[0].index, 1);

  // Connections made and removed by the editor: 11 and 12 with the position
  // of the module's own plug; the other module hears nothing.
  CUG* other = Add(*rig.project.main, "VCA");
  rig.calls.clear();
  CLine2* line = rig.project.main->Connect(Plug(module, "Out"), Plug(*other, "Volume"));
  rig.project.main->Disconnect(line);
  ASSERT_EQ(Opcodes(rig.calls), (std::vector<int32_t>{OV_PANEL_CONNECTED, OV_PANEL_DISCONNECTED}));
  EXPECT_EQ(rig.calls[0].index, 2);
  EXPECT_EQ(rig.calls[1].index, 2);
  EXPECT_TRUE(Plug(module, "Out")->connections().empty());
  EXPECT_TRUE(Plug(*other, "Volume")->connections().empty());

  // Going: the panel part's last call.
  rig.calls.clear();
  rig.project.main->RemoveChild(&module).reset();
  EXPECT_EQ(Opcodes(rig.calls), std::vector<int32_t>{OV_PANEL_CLOSE});
}

void Deliver(CPlugin2& module, const MessageWriter& payload) {
  ByteRing ring(4096);
  ASSERT_TRUE(PostMessage(ring, 1, MessageId("sdk"), payload.Bytes()));
  DrainMessagesTo(ring, [&](uint32_t) { return &module; });
}

TEST(LibraryModulePanel, TakesSdkMessagesFromItsEngineWhole) {
  PanelRig rig;
  rig.calls.clear();
  MessageWriter message;
  message.Write(int32_t{7}).Write(int32_t{5});
  for (char c : std::string("hello")) message.Write(c);
  Deliver(*rig.module, message);
  ASSERT_EQ(rig.calls.size(), 1u);
  EXPECT_EQ(rig.calls[0].opcode, OV_PANEL_SDK_MESSAGE);
  EXPECT_EQ(rig.calls[0].value, 7);
  EXPECT_EQ(rig.calls[0].bytes, "hello");

  // A count beyond what came, or below 0, reaches nobody.
  rig.calls.clear();
  MessageWriter short_one;
  short_one.Write(int32_t{1}).Write(int32_t{9}).Write('a');
  Deliver(*rig.module, short_one);
  MessageWriter negative;
  negative.Write(int32_t{1}).Write(int32_t{-3});
  Deliver(*rig.module, negative);
  EXPECT_TRUE(rig.calls.empty());

  // Without an engine nothing can be sent back.
  EXPECT_FALSE(rig.module->SendToEngine(1, "x", 1));
}

TEST(LibraryModulePanel, AReloadClosesThePanelPartAndMakesItAgain) {
  PanelRig rig;
  rig.module->SetDrawingSize({40, 20});
  rig.calls.clear();
  rig.module->DropPanelPart();
  EXPECT_EQ(rig.module->panel(), nullptr);
  EXPECT_EQ(rig.module->drawing_size().x, 0);  // no panel part draws now
  rig.module->MakePanelPart(false);
  EXPECT_EQ(Opcodes(rig.calls), (std::vector<int32_t>{OV_PANEL_CLOSE, OV_PANEL_OPEN}));
}

}  // namespace
}  // namespace ov::testing
