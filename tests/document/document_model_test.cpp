// The document object model: what plugs report, the editor's connection
// steps, engine plug numbering, container plugs, the passes after a load and
// the conversions of very old streams.
#include <gtest/gtest.h>

#include "document/archive_writer.h"
#include "document/module_classes.h"
#include "document/panel_objects.h"
#include "document/patch_manager.h"
#include "platform/message_sink.h"
#include "tests/document/document_test_support.h"

namespace ov {
namespace {

using testing::Add;
using testing::LoadOrFail;
using testing::Plug;
using testing::TestProject;
using testing::Writer;

// A module type of the tests' own: an output that takes its input's value,
// a nameable spare input, a panel-side plug and a patch-stored one.
const Module_Info& ProbeType() {
  static const StaticPlugEntry kPlugs[] = {
      {u"Out", DR_OUT, DT_FLOAT, u"1", u"", 0x20},
      {u"Spare", DR_IN, DT_FSAMPLE, u"", u"", 0x0C},
      {u"Panel", DR_IN, DT_FLOAT, u"", u"", 0x400},
      {u"Stored", DR_IN, DT_FLOAT, u"0.25", u"", 0x8400},
  };
  static const Module_Info type("Probe", 0, 0, "", nullptr, 0x100, kPlugs);
  return type;
}

std::unique_ptr<CUG> NewProbe() {
  auto module = std::make_unique<CUG>();
  module->SetUpAsNew(ProbeType());
  return module;
}

class Recorder : public Notifiable {
 public:
  void OnNotify(const Notification& notification) override { codes.push_back(notification.code); }
  std::vector<int32_t> codes;
};

TEST(DocumentPlugs, IndexOutsideTheDescriptorListGivesADefaultDescriptor) {
  TestProject project;
  CUG* vca = Add(*project.main, "VCA");
  ASSERT_EQ(vca->module_type()->Descriptors().size(), 4u);
  vca->plugs()[0]->set_index(7);
  vca->plugs()[1]->set_index(-3);
  const COrvaneDocBase loaded = LoadOrFail(project.document.Write(kCurrentLoadVersion));
  const auto* module = dynamic_cast<const CUG*>(loaded.FindMainContainer()->children()[0].get());
  ASSERT_NE(module, nullptr);
  for (const int i : {0, 1}) {
    const CPlug2& plug = *module->plugs()[i];
    EXPECT_EQ(plug.Name(), "");
    EXPECT_EQ(plug.Datatype(), 0);
    EXPECT_EQ(plug.Direction(), DR_IN);
    EXPECT_EQ(plug.Flags(), 0);
  }
  EXPECT_EQ(module->plugs()[1]->index(), -3);
}

TEST(DocumentPlugs, ExcludedContainerExcludesWhatItHolds) {
  TestProject project;
  auto* inner = Add<CContainer>(*project.main, "Container");
  CUG* module = Add(*inner, "VCA");
  inner->SetParent(project.main);
  module->SetParent(inner);
  EXPECT_FALSE(module->IsExcluded());
  project.main->SetExclusionMark(true);
  EXPECT_TRUE(module->IsExcluded());
  EXPECT_FALSE(module->exclusion_mark());
  EXPECT_EQ(project.document.FindMainContainer(), nullptr);
}

TEST(DocumentConnections, FirstConnectionTakesValueGrowsASpareAndNotifies) {
  TestProject project;
  auto* probe = static_cast<CUG*>(project.main->AddChild(NewProbe()));
  probe->SetParent(project.main);
  CUG* vca = Add(*project.main, "VCA");
  Recorder recorder;
  project.main->AddListener(&recorder);

  Plug(*vca, "Volume")->SetValueText("7");
  CLine2* line = project.main->Connect(Plug(*probe, "Out"), Plug(*vca, "Volume"));
  EXPECT_EQ(line->from(), Plug(*probe, "Out"));
  EXPECT_EQ(Plug(*probe, "Out")->value_text(), "7");

  // Connected input end first: the line still runs from the output.
  CPlug2* spare = Plug(*probe, "Spare");
  const std::size_t plugs_before = probe->plugs().size();
  CLine2* into_spare = project.main->Connect(spare, Plug(*vca, "Output"));
  EXPECT_EQ(into_spare->from(), Plug(*vca, "Output"));
  EXPECT_EQ(spare->Name(), "Output");
  ASSERT_EQ(probe->plugs().size(), plugs_before + 1);
  EXPECT_EQ(probe->plugs()[2]->Name(), "Spare");  // the fresh spare follows the used one
  EXPECT_TRUE(probe->plugs()[2]->IsUnusedSpare());
  EXPECT_EQ(recorder.codes,
            (std::vector<int32_t>{kNotifyChildAdded, kNotifyModuleChanged, kNotifyChildAdded}));
  project.main->RemoveListener(&recorder);

  EXPECT_TRUE(vca->HighlightLinesTo(*probe));
  EXPECT_EQ(into_spare->highlight(), 1);
  EXPECT_EQ(line->highlight(), 0);
}

TEST(DocumentConnections, EnginePlugIndexSkipsSparesAndPanelPlugs) {
  TestProject project;
  auto* probe = static_cast<CUG*>(project.main->AddChild(NewProbe()));
  CUG* vca = Add(*project.main, "VCA");
  const CPlug2* out = Plug(*probe, "Out");
  CPlug2* spare = Plug(*probe, "Spare");
  EXPECT_EQ(probe->GetEnginePlugIndex(out), 0);
  EXPECT_EQ(probe->GetEnginePlugIndex(spare), -1);                  // unused spare
  EXPECT_EQ(probe->GetEnginePlugIndex(Plug(*probe, "Panel")), -1);  // panel side only
  EXPECT_EQ(probe->GetEnginePlugIndex(Plug(*probe, "Stored")), 1);  // stored per patch
  project.main->Connect(spare, Plug(*vca, "Output"));
  EXPECT_EQ(probe->GetEnginePlugIndex(spare), 1);
  EXPECT_EQ(probe->GetEnginePlugIndex(Plug(*probe, "Stored")), 2);
  EXPECT_EQ(probe->GetEnginePlugIndex(Plug(*vca, "Output")), -1);  // not this module's
}

TEST(DocumentContainerPlugs, FlagsComeFromTheFarEnd) {
  TestProject project;
  auto* inner = Add<CContainer>(*project.main, "Container");
  CPlugIO2* in = inner->AddContainerPlug("In", DR_IN, DT_FSAMPLE);
  EXPECT_EQ(in->Flags(), 0x404c);  // leads nowhere yet
  EXPECT_EQ(in->Partner()->Partner(), in);
  auto* probe = static_cast<CUG*>(inner->AddChild(NewProbe()));
  inner->Join(in->Partner(), Plug(*probe, "Stored"));
  // The far end's 0x8400 loses its patch bits; 0x4c is added.
  EXPECT_EQ(in->Flags(), 0x400 | 0x4c);
  EXPECT_EQ(in->FarEnd(), Plug(*probe, "Stored"));
  // The inner plug reaches the same plug through its own connection.
  EXPECT_EQ(static_cast<CPlugIO2*>(in->Partner())->Flags(), 0x400 | 0x4c);
  // Each side keeps one spare pair after the named ones.
  EXPECT_EQ(inner->plugs().back()->Name(), "Spare");
  EXPECT_EQ(inner->IoModule()->plugs().back()->Partner(), inner->plugs().back().get());
}

TEST(DocumentPasses, InitialisationMakesPatchManagersAndParameters) {
  TestProject project;
  auto* probe = static_cast<CUG*>(project.main->AddChild(NewProbe()));
  probe->SetTitle("Cutoff");
  auto* with_select = Add<CContainer>(*project.main, "Container");
  Add(*with_select, "Patch Select");
  auto* plain = Add<CContainer>(*project.main, "Container");
  Add(*plain, "VCA");
  project.document.RunPasses(true);

  EXPECT_NE(project.document.root()->patch_manager(), nullptr);
  EXPECT_NE(with_select->patch_manager(), nullptr);
  EXPECT_EQ(plain->patch_manager(), nullptr);
  EXPECT_EQ(plain->GetPatchManager(), project.document.root()->patch_manager());
  // The probe sits in the main container, which has no manager of its own.
  const CPatchManager* manager = project.document.root()->patch_manager();
  ASSERT_EQ(manager->parameters().size(), 1u);
  const PatchParameter& parameter = *manager->parameters().begin()->second;
  EXPECT_EQ(parameter.plug(), Plug(*probe, "Stored"));
  EXPECT_EQ(parameter.name(), "Cutoff");
  EXPECT_EQ(parameter.SlotText(127), "0.25");
  // A second pass finds the parameter instead of making another.
  project.document.RunPasses(true);
  EXPECT_EQ(manager->parameters().size(), 1u);
}

// A CPlugin written by hand with the key of a type that is not registered.
class ForeignModule : public CPlugin {
 public:
  void Serialize(FieldWalker& walker) override {
    CUG::Serialize(walker);
    std::string key = "Not Registered";
    walker.String("plugin_key", key);
  }
};

TEST(DocumentModules, UnregisteredPluginKeyGivesThePluginTypeAndAMessage) {
  TestProject project;
  project.main->AddChild(std::make_unique<ForeignModule>());
  MessageSink messages;
  messages.SetLogToStderr(false);
  const COrvaneDocBase loaded = LoadOrFail(project.document.Write(kCurrentLoadVersion), &messages);
  const auto* plugin =
      dynamic_cast<const CPlugin*>(loaded.FindMainContainer()->children()[0].get());
  ASSERT_NE(plugin, nullptr);
  ASSERT_NE(plugin->module_type(), nullptr);
  EXPECT_EQ(plugin->module_type()->GetId(), "Plugin");
  EXPECT_TRUE(messages.Contains("Can't load Module. 'Not Registered'"));
}

// --- Streams of very old versions --------------------------------------

// A container of a version before 45 whose children include old lines and,
// before 10, an old panel box.
class OldContainer : public CContainer {
 public:
  const SerialClass& GetClass() const override { return CContainer::kClass; }
  void Serialize(FieldWalker& walker) override {
    const int32_t version = walker.LoadVersion();
    ArchiveWriter& w = Writer(walker);
    CUG::Serialize(walker);
    if (version < 10) {
      w.WriteCount(4);
    } else {
      w.WriteInt32(3);
    }
    w.WriteObject(a.get());
    w.WriteObject(b.get());
    w.WriteUInt16(0xFFFF);  // an old line from a's output to b's second plug
    w.WriteUInt16(1);
    w.WriteUInt16(5);
    w.WriteBytes(std::vector<uint8_t>{'C', 'L', 'i', 'n', 'e'});
    w.WriteInt32(1);
    w.WriteUInt16(0);
    w.WriteRect({});
    w.WriteObject(a->plugs()[2].get());
    w.WriteObject(b->plugs()[1].get());
    if (version < 10) {
      w.WriteUInt16(0xFFFF);
      w.WriteUInt16(1);
      w.WriteUInt16(9);
      w.WriteBytes(std::vector<uint8_t>{'C', 'P', 'a', 'n', 'e', 'l', 'B', 'o', 'x'});
      w.WriteInt32(2);
      w.WriteUInt16(0);
      w.WriteRect({10, 20, 30, 40});
      w.WriteString("Box");
    }
    for (int i = 0; i < 8; ++i) w.WriteInt32(0);
    if (version > 27) {
      w.WritePoint({});
      w.WritePoint({});
    }
    w.WriteUInt32(0);
  }
  std::unique_ptr<CUG> a = testing::NewObject("VCA");
  std::unique_ptr<CUG> b = testing::NewObject("VCA");
};

TEST(DocumentLegacy, OldLinesAndBoxesBecomeTodaysObjects) {
  for (const int32_t version : {9, 40}) {
    COrvaneDocBase document;
    auto root = std::make_unique<OldContainer>();
    root->a->SetTitle("A");
    document.SetRoot(std::move(root));
    const COrvaneDocBase loaded = LoadOrFail(document.Write(version));
    const CContainer& container = *loaded.root();
    ASSERT_EQ(container.children().size(), version < 10 ? 4u : 3u) << version;
    const auto* line = dynamic_cast<const CLine2*>(container.children().back().get());
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->type_key(), "Line");
    const auto* a = dynamic_cast<const CUG*>(container.children()[version < 10 ? 2 : 1].get());
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->title(), "A");
    EXPECT_NE(line->OtherEnd(a->plugs()[2].get()), nullptr);
    EXPECT_EQ(a->plugs()[2]->connections(), std::vector<CLine2*>{const_cast<CLine2*>(line)});
    if (version < 10) {
      const auto* box = dynamic_cast<const CPanelBox2*>(container.children()[0].get());
      ASSERT_NE(box, nullptr);
      EXPECT_EQ(box->title(), "Box");
      EXPECT_EQ(box->panel_rect(), (Rect{10, 20, 30, 40}));
      EXPECT_EQ(box->type_key(), "Panel Group");
    }
  }
}

}  // namespace
}  // namespace ov
