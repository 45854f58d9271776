// Whole document streams: the header rows and their version conditions, the
// newer-stream refusal, children order, and byte-exact rewriting.
#include <gtest/gtest.h>

#include <algorithm>

#include "document/archive_writer.h"
#include "document/control.h"
#include "document/embedded_file.h"
#include "document/patch_manager.h"
#include "document/sequencer.h"
#include "platform/message_sink.h"
#include "tests/document/document_test_support.h"

namespace ov {
namespace {

using testing::Add;
using testing::LoadOrFail;
using testing::Plug;
using testing::TestProject;
using Bytes = std::vector<uint8_t>;

std::size_t Find(const Bytes& bytes, std::string_view text, std::size_t from = 0) {
  const auto found = std::search(bytes.begin() + from, bytes.end(), text.begin(), text.end());
  return found == bytes.end() ? std::string::npos : found - bytes.begin();
}

std::vector<std::string> ChildTitles(const CContainer& container) {
  std::vector<std::string> titles;
  for (const auto& child : container.children()) {
    const auto* module = dynamic_cast<const CUG*>(child.get());
    titles.push_back(module != nullptr ? module->title() : "line");
  }
  return titles;
}

TEST(DocumentStream, ChildrenLoadAsNonConnectionsReversedThenConnections) {
  TestProject project;
  CUG* a = Add(*project.main, "Oscillator");
  CUG* b = Add(*project.main, "VCA");
  CUG* c = Add(*project.main, "VCA");
  a->SetTitle("A");
  b->SetTitle("B");
  c->SetTitle("C");
  project.main->Join(Plug(*a, "Audio Out"), Plug(*b, "Signal"));
  project.main->Join(Plug(*b, "Output"), Plug(*c, "Signal"));
  const Bytes stream = project.document.Write(kCurrentLoadVersion);
  // Stored as A, B, C: the titles appear in that order.
  const std::size_t at_a = Find(stream,
                                "\x01"
                                "A");
  const std::size_t at_b = Find(stream,
                                "\x01"
                                "B");
  const std::size_t at_c = Find(stream,
                                "\x01"
                                "C");
  EXPECT_LT(at_a, at_b);
  EXPECT_LT(at_b, at_c);

  const COrvaneDocBase loaded = LoadOrFail(stream);
  const CContainer* main = loaded.FindMainContainer();
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(ChildTitles(*main), (std::vector<std::string>{"C", "B", "A", "line", "line"}));
  EXPECT_EQ(loaded.Write(kCurrentLoadVersion), stream);
}

TEST(DocumentStream, NewerStreamIsRefusedWithItsVersion) {
  const TestProject project;
  MessageSink messages;
  messages.SetLogToStderr(false);

  Bytes stream = project.document.Write(kCurrentLoadVersion);
  COrvaneDocBase accepted;
  EXPECT_TRUE(accepted.Load(stream, {&messages, nullptr, true}).ok);

  stream[0] = 0xD9;  // 95961
  COrvaneDocBase refused;
  const LoadResult result = refused.Load(stream, {&messages, nullptr, true});
  EXPECT_FALSE(result.ok);
  EXPECT_TRUE(result.refused_newer);
  EXPECT_EQ(refused.root(), nullptr);
  EXPECT_EQ(refused.version(), kCurrentLoadVersion);
  ASSERT_EQ(messages.Messages().size(), 1u);
  EXPECT_EQ(messages.Messages()[0].text,
            "Load Cancelled.  File created by a newer version of Orvane (V959.61). See Orvane "
            "web site for latest version.");
  EXPECT_EQ(messages.Messages()[0].style, MessageStyle::kInformation);
}

// A version-40 stream by hand: rows 3 to 7, then the root at once.
TEST(DocumentStream, Version40HasRowsThreeToSevenBeforeTheRoot) {
  ArchiveWriter w(40);
  w.WriteInt32(40);
  w.WriteString("obsolete");       // row 3
  w.WriteBytes(Bytes(180, 0xAB));  // row 4
  w.WriteString("song.ov1");       // row 5
  w.WriteInt32(7);                 // row 6
  w.WriteInt32(9);                 // row 7
  w.WriteUInt16(0xFFFF);           // row 24: a new class
  w.WriteUInt16(95);
  w.WriteUInt16(10);
  w.WriteBytes(Bytes{'C', 'C', 'o', 'n', 't', 'a', 'i', 'n', 'e', 'r'});
  w.WriteInt32(3);        // legacy type number
  w.WriteUInt16(0);       // stored parent: null
  w.WriteCount(0);        // plugs
  w.WriteString("Root");  // title
  w.WriteUInt16(0);       // excluded
  w.WriteRect({1, 2, 3, 4});
  w.WriteInt32(0);                              // child count
  for (int i = 0; i < 8; ++i) w.WriteInt32(i);  // panel and structure records
  w.WritePoint({5, 6});
  w.WritePoint({7, 8});
  w.WriteUInt32(0x10);  // flags
  const Bytes stream = w.TakeBytes();

  COrvaneDocBase document = LoadOrFail(stream);
  ASSERT_NE(document.root(), nullptr);
  EXPECT_EQ(document.root()->title(), "Root");
  EXPECT_EQ(document.root()->type_key(), "Container");
  EXPECT_EQ(document.root()->flags(), 0x10u);
  EXPECT_EQ(document.root()->skin_name(), "default");
  EXPECT_EQ(document.Write(40), stream);
}

TEST(DocumentStream, OldContainersAreContainersWhateverTheyStored) {
  TestProject project;
  project.main->SetModuleType(BuiltInModules().FindModule("VCA"));
  const COrvaneDocBase old = LoadOrFail(project.document.Write(94000));
  EXPECT_EQ(old.FindMainContainer()->type_key(), "Container");
  const COrvaneDocBase current = LoadOrFail(project.document.Write(kCurrentLoadVersion));
  EXPECT_EQ(current.FindMainContainer()->type_key(), "VCA");
}

// Children from 95321 on end with a null tag; before, a count says how many.
TEST(DocumentStream, ChildListFormsDependOnTheVersion) {
  TestProject project;
  Add(*project.main, "VCA");
  for (const int32_t version : {95000, 95320, 95321, kCurrentLoadVersion}) {
    const Bytes stream = project.document.Write(version);
    const COrvaneDocBase loaded = LoadOrFail(stream);
    EXPECT_EQ(loaded.FindMainContainer()->children().size(), 1u) << version;
    EXPECT_EQ(loaded.Write(version), stream) << version;
  }
}

TEST(DocumentStream, PluginIdentifierIsFourSignedCharactersPaddedWithBlanks) {
  COrvaneDocBase document;
  ArchiveWriter w;
  w.WriteInt32(kCurrentLoadVersion);
  w.WriteCount(0);           // files
  w.WriteString("");         // file name
  w.WriteInt32(0);           // editor flag
  w.WriteInt32(0);           // editor flag
  w.WriteString("ab");       // plug-in identifier
  w.WriteString("");         // editor text
  w.WriteInt32(1);           // option flag
  w.WriteString("opt");      // option text
  w.WriteInt32(0);           // mono capable
  w.WritePoint({640, 480});  // panel size
  w.WriteUInt32(5);          // plug-in flags
  w.WriteInt32(32);          // programs
  w.WriteString("Vendor");   // vendor
  w.WriteString("");         // editor text
  w.WriteString("");         // editor text
  w.WriteInt32(0);           // skins present
  w.WriteUInt8(0);           // reserved
  w.WriteUInt16(0);          // no root
  ASSERT_TRUE(document.Load(w.bytes(), {}).ok);
  EXPECT_EQ(document.PluginId(), ('a' << 24) | ('b' << 16) | (' ' << 8) | ' ');
  EXPECT_TRUE(document.option_flag());
  EXPECT_EQ(document.option_text(), "opt");
  EXPECT_FALSE(document.mono_capable());
  EXPECT_EQ(document.panel_size(), (Point{640, 480}));
  EXPECT_EQ(document.plugin_flags(), 5u);
  EXPECT_EQ(document.program_count(), 32);
  EXPECT_EQ(document.vendor(), "Vendor");
  EXPECT_EQ(document.Write(kCurrentLoadVersion), w.bytes());
}

}  // namespace
}  // namespace ov

namespace ov {
namespace {

TEST(StreamClasses, NinetyClassesEachMakingObjectsOfItself) {
  const SerialClassRegistry& classes = StreamClasses();
  EXPECT_EQ(classes.size(), 90u);
  for (const char* name : {"CDocOb", "CContainer", "CPlug2", "imbedded_file", "ui_text_to_float",
                           "control_ob_text", "CAnimBitmap", "CPanelBox", "Ctl_VST_Plugin"}) {
    EXPECT_NE(classes.FindByName(name), nullptr) << name;
  }
  EXPECT_EQ(classes.FindByName("cug"), nullptr);
  EXPECT_EQ(classes.FindByName("CContainer")->schema, 95u);
  EXPECT_TRUE(classes.FindByName("CPlug2")->versionable);
}

// Every document class, alone in the main container, reads back what it
// wrote, at the current version and at older ones. (A connection without
// plugs is dropped by the checks after loading, so CLine2 is tested with
// plugs elsewhere.)
TEST(StreamClasses, EveryDocumentClassReadsWhatItWrote) {
  static constexpr const char* kNames[] = {"CDocOb",
                                           "CUG",
                                           "CUG_with_patches",
                                           "CContainer",
                                           "CUG2",
                                           "CUG_ui",
                                           "CSwitch",
                                           "CControlPlugs",
                                           "CFeedbackDelay",
                                           "CMidiAutomator",
                                           "CPlugin",
                                           "CPlugin2",
                                           "CControl",
                                           "Cosc_sf",
                                           "Ctl_Combo",
                                           "Ctl_Env_Edit",
                                           "Ctl_FreqAn",
                                           "Ctl_FreqResp",
                                           "Ctl_Keyboard",
                                           "Ctl_Keyboard2",
                                           "Ctl_LED",
                                           "Ctl_PatchSel",
                                           "Ctl_PeakMeter",
                                           "Ctl_PushButton",
                                           "Ctl_SamplePlay2",
                                           "Ctl_SelfDrawing",
                                           "Ctl_SelfDrawing2",
                                           "Ctl_Slider",
                                           "Ctl_Soundfont_base",
                                           "Ctl_Text",
                                           "Ctl_tty",
                                           "Ctl_VoltMeter",
                                           "Ctl_VST_Plugin",
                                           "Ctl_WaveShape",
                                           "Ctl_WaveShape2",
                                           "CDrumSeq",
                                           "CPattSeq",
                                           "CStepSeq",
                                           "CStepSeq2",
                                           "ui_animation_scaler_db",
                                           "ui_bitmap_frame",
                                           "ui_bool_splitter",
                                           "ui_bools_to_enum",
                                           "ui_control2",
                                           "ui_enum_to_bools",
                                           "ui_float_scaler",
                                           "ui_float_to_bool",
                                           "ui_incrementor",
                                           "ui_incrementor2",
                                           "ui_int_to_list",
                                           "ui_param_enum_in2",
                                           "ui_param_enum_in_B",
                                           "ui_param_float_in2",
                                           "ui_param_float_out",
                                           "ui_param_float_out2",
                                           "ui_param_float_out_b",
                                           "ui_param_text_in",
                                           "ui_spring",
                                           "ui_system_command",
                                           "ui_text_to_float",
                                           "CPanelBox2",
                                           "CPortal",
                                           "CTabBox",
                                           "control_ob_base",
                                           "control_ob",
                                           "control_group_ob",
                                           "control_ob_bitmap",
                                           "control_ob_bitmap_joystick",
                                           "control_ob_bitmap_tinted",
                                           "control_ob_list",
                                           "control_ob_text"};
  for (const char* name : kNames) {
    const SerialClass* serial_class = StreamClasses().FindByName(name);
    ASSERT_NE(serial_class, nullptr) << name;
    // A stored plain CPattSeq, which has no patterns, loads as a CDrumSeq
    // with the default grid and is written back as one.
    const bool plain = serial_class == &CPattSeq::kClass;
    const SerialClass* loads_as = plain ? &CDrumSeq::kClass : serial_class;
    std::unique_ptr<Persistent> object =
        plain ? std::make_unique<CPattSeq>() : serial_class->factory();
    ASSERT_EQ(&object->GetClass(), serial_class) << name;
    ASSERT_EQ(&serial_class->factory()->GetClass(), loads_as) << name;
    ASSERT_TRUE(object->IsKindOf(CDocOb::kClass)) << name;
    TestProject project;
    project.main->AddChild(std::unique_ptr<CDocOb>(static_cast<CDocOb*>(object.release())));
    for (const int32_t version : {kCurrentLoadVersion, 95300, 95000, 60, 40, 9}) {
      const Bytes stream = project.document.Write(version);
      COrvaneDocBase loaded;
      const LoadResult result = loaded.Load(stream, {nullptr, nullptr, false});
      ASSERT_TRUE(result.ok) << name << " at " << version << ": " << result.message;
      const CContainer* main = dynamic_cast<const CContainer*>(loaded.root()->children()[0].get());
      ASSERT_NE(main, nullptr);
      ASSERT_EQ(main->children().size(), 1u) << name << " at " << version;
      EXPECT_EQ(&main->children()[0]->GetClass(), loads_as) << name << " at " << version;
      if (plain) {
        auto* drums = static_cast<CDrumSeq*>(main->children()[0].get());
        EXPECT_EQ(drums->patterns()[1], CDrumSeq::DefaultGrid());
        drums->SetDrum(3, 5, true);
        COrvaneDocBase again;
        ASSERT_TRUE(again.Load(loaded.Write(version), {nullptr, nullptr, false}).ok);
        const auto* kept = dynamic_cast<const CDrumSeq*>(
            dynamic_cast<const CContainer*>(again.root()->children()[0].get())
                ->children()[0]
                .get());
        ASSERT_NE(kept, nullptr) << version;
        EXPECT_EQ(kept->patterns()[1][3], 1 << 5) << version;
        continue;
      }
      // Before 94811 loading converts (containers become "Container", modules
      // gain the legacy number of the type they resolve to).
      if (version >= 95000) {
        EXPECT_EQ(loaded.Write(version), stream) << name << " at " << version;
      }
    }
  }
}

}  // namespace
}  // namespace ov
