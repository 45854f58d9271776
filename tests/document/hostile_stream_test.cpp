// Streams that no editor writes: cut short, objects held twice, counts
// beyond their arrays or beyond the bytes. Each gives an error kind or a
// sound document, never a crash or a leak (the sanitizer build checks).
#include <gtest/gtest.h>

#include <functional>

#include "document/archive_writer.h"
#include "document/control.h"
#include "document/embedded_file.h"
#include "document/patch_manager.h"
#include "document/sequencer.h"
#include "document/vst_plugin_module.h"
#include "platform/message_sink.h"
#include "tests/document/document_test_support.h"

namespace ov {
namespace {

using testing::Add;
using testing::LoadOrFail;
using testing::Plug;
using testing::TestProject;
using testing::Writer;
using Bytes = std::vector<uint8_t>;

LoadResult Load(const Bytes& stream) {
  COrvaneDocBase document;
  LoadResult result = document.Load(stream, {nullptr, nullptr, true});
  if (!result.ok) {
    EXPECT_EQ(document.root(), nullptr);
  }
  return result;
}

TEST(HostileStream, EveryCutOfAValidStreamIsAnError) {
  for (const int32_t version : {kCurrentLoadVersion, 95000}) {
    const Bytes stream = testing::RichProject().document.Write(version);
    ASSERT_TRUE(Load(stream).ok);
    for (std::size_t cut = 0; cut < stream.size(); ++cut) {
      const LoadResult result = Load(Bytes(stream.begin(), stream.begin() + cut));
      ASSERT_FALSE(result.ok) << "cut at " << cut << " of " << stream.size();
      EXPECT_EQ(result.kind, ArchiveErrorKind::kEndOfData) << cut;
    }
  }
}

// A module that writes, as its plugs, a plug another module holds.
class BorrowingModule : public CUG {
 public:
  const SerialClass& GetClass() const override { return CUG::kClass; }
  void Serialize(FieldWalker& walker) override {
    CDocOb::Serialize(walker);
    Writer(walker).WriteCount(1);
    Writer(walker).WriteObject(borrowed);
    std::string title = "borrower";
    bool excluded = false;
    Rect rect;
    walker.String("title", title);
    walker.Bool16("excluded", excluded);
    walker.RectField("structure_rect", rect);
  }
  CPlug2* borrowed = nullptr;
};

TEST(HostileStream, PlugHeldByTwoModulesIsRefused) {
  TestProject project;
  auto borrower = std::make_unique<BorrowingModule>();
  borrower->borrowed = Plug(*Add(*project.main, "VCA"), "Signal");
  project.main->AddChild(std::move(borrower));
  const LoadResult result = Load(project.document.Write(kCurrentLoadVersion));
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.kind, ArchiveErrorKind::kGeneric);
}

// A container whose fields are written by hand: its children and, in the
// versions that have it, its old patch table.
class HandContainer : public CContainer {
 public:
  const SerialClass& GetClass() const override { return CContainer::kClass; }
  void Serialize(FieldWalker& walker) override {
    const int32_t version = walker.LoadVersion();
    ArchiveWriter& w = Writer(walker);
    CUG::Serialize(walker);
    if (version > 95269) w.WriteUInt16(0);  // no patch manager
    children(w);
    if (version > 94950) w.WriteRect({});
    for (int i = 0; i < 8; ++i) w.WriteInt32(0);
    w.WritePoint({});
    w.WritePoint({});
    w.WriteUInt32(0);
    w.WriteString("default");
    if (version > 49 && version < 95270) old_table(w);
    if (version > 94950) w.WriteUInt8(0);
  }
  std::function<void(ArchiveWriter&)> children;
  std::function<void(ArchiveWriter&)> old_table = [](ArchiveWriter& w) {
    w.WriteCount(0);
    w.WriteInt32(0);
  };
};

Bytes StreamWithMain(std::unique_ptr<CContainer> main, int32_t version) {
  COrvaneDocBase document;
  auto root = testing::NewObject<CContainer>("Container");
  root->AddChild(std::move(main));
  document.SetRoot(std::move(root));
  return document.Write(version);
}

// Connections the editor would refuse: from an input, to an output, or
// between datatypes. They are dropped at load with one message; the rest
// stay.
TEST(HostileStream, ConnectionsThatDoNotFitAreLeftOut) {
  TestProject project;
  CContainer& main = *project.main;
  CUG* a = Add(main, "Inverter");
  a->SetTitle("A");
  CUG* b = Add(main, "Inverter");
  b->SetTitle("B");
  CUG* midi = Add(main, "MIDI Automator");
  main.Join(Plug(*a, "Signal Out"), Plug(*b, "Signal in"));   // the one that fits
  main.Join(Plug(*a, "Signal in"), Plug(*b, "Signal in"));    // two inputs
  main.Join(Plug(*a, "Signal Out"), Plug(*midi, "MIDI In"));  // audio to MIDI
  const Bytes stream = project.document.Write(kCurrentLoadVersion);

  MessageSink messages;
  messages.SetLogToStderr(false);
  COrvaneDocBase loaded = LoadOrFail(stream, &messages);
  std::size_t lines = 0;
  for (const auto& child : loaded.FindMainContainer()->children()) {
    if (const auto* line = dynamic_cast<const CLine2*>(child.get())) {
      ++lines;
      EXPECT_EQ(line->from()->Name(), "Signal Out");
      EXPECT_EQ(line->to()->Name(), "Signal in");
      EXPECT_EQ(line->from()->connections().size(), 1u);
    }
  }
  EXPECT_EQ(lines, 1u);
  ASSERT_EQ(messages.Messages().size(), 1u);
  EXPECT_TRUE(messages.Contains("2 connection(s)"));
}

TEST(HostileStream, ContainerHoldingItselfIsRefused) {
  auto main = std::make_unique<HandContainer>();
  main->children = [raw = main.get()](ArchiveWriter& w) {
    w.WriteObject(raw);
    w.WriteUInt16(0);
  };
  const LoadResult result = Load(StreamWithMain(std::move(main), kCurrentLoadVersion));
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.kind, ArchiveErrorKind::kGeneric);
}

TEST(HostileStream, NegativeChildCountReadsAsNoChildren) {
  auto main = std::make_unique<HandContainer>();
  main->children = [](ArchiveWriter& w) { w.WriteInt32(-5); };
  const COrvaneDocBase document = LoadOrFail(StreamWithMain(std::move(main), 95000));
  EXPECT_TRUE(document.FindMainContainer()->children().empty());
}

TEST(HostileStream, ChildCountStopsEarlyAtANullTag) {
  auto main = std::make_unique<HandContainer>();
  main->children = [](ArchiveWriter& w) {
    w.WriteInt32(3);
    w.WriteUInt16(0);
  };
  const COrvaneDocBase document = LoadOrFail(StreamWithMain(std::move(main), 95000));
  EXPECT_TRUE(document.FindMainContainer()->children().empty());
}

TEST(HostileStream, OldPatchTableKeeps128NamesAndClampsTheCurrentPatch) {
  auto main = std::make_unique<HandContainer>();
  main->children = [](ArchiveWriter& w) { w.WriteInt32(0); };
  main->old_table = [](ArchiveWriter& w) {
    w.WriteCount(130);
    for (int i = 0; i < 130; ++i) w.WriteString("name " + std::to_string(i));
    w.WriteInt32(200);
  };
  const COrvaneDocBase document = LoadOrFail(StreamWithMain(std::move(main), 95000));
  const CPatchManager* manager = document.FindMainContainer()->patch_manager();
  ASSERT_NE(manager, nullptr);
  EXPECT_EQ(manager->patch_names().size(), 128u);
  EXPECT_EQ(manager->PatchName(127), "name 127");
  EXPECT_EQ(manager->current_patch(), 127);

  auto negative = std::make_unique<HandContainer>();
  negative->children = [](ArchiveWriter& w) { w.WriteInt32(0); };
  negative->old_table = [](ArchiveWriter& w) {
    w.WriteCount(0);
    w.WriteInt32(-4);
  };
  EXPECT_EQ(LoadOrFail(StreamWithMain(std::move(negative), 95000))
                .FindMainContainer()
                ->patch_manager()
                ->current_patch(),
            0);
}

// A drum sequencer whose song list and first pattern hold more entries than
// their arrays.
class OverfullDrums : public CPattSeq {
 public:
  const SerialClass& GetClass() const override { return CDrumSeq::kClass; }
  void Serialize(FieldWalker& walker) override {
    CControl::Serialize(walker);
    ArchiveWriter& w = Writer(walker);
    w.WriteInt32(0);
    w.WriteFloat32(90);
    w.WriteInt32(1);
    w.WriteInt32(150);
    for (int i = 0; i < 150; ++i) w.WriteInt32(i);
    w.WriteInt32(0);
    w.WriteInt32(40);
    for (int i = 0; i < 40; ++i) w.WriteInt32(1000 + i);
    for (int pattern = 1; pattern < 32; ++pattern) w.WriteInt32(0);
  }
};

TEST(HostileStream, SequencerCountsAboveTheirArraysKeepWhatFits) {
  TestProject project;
  project.main->AddChild(std::make_unique<OverfullDrums>());
  Add(*project.main, "VCA")->SetTitle("after");
  const COrvaneDocBase document = LoadOrFail(project.document.Write(kCurrentLoadVersion));
  const auto& children = document.FindMainContainer()->children();
  ASSERT_EQ(children.size(), 2u);
  // Stored after the drums, so read only if the drums kept the stream aligned.
  EXPECT_EQ(static_cast<const CUG*>(children[0].get())->title(), "after");
  const auto* drums = dynamic_cast<const CDrumSeq*>(children[1].get());
  ASSERT_NE(drums, nullptr);
  EXPECT_EQ(drums->tempo(), 90);
  EXPECT_EQ(drums->song()[99], 99);
  ASSERT_EQ(drums->patterns()[0].size(), 32u);
  EXPECT_EQ(drums->patterns()[0][31], 1031);
  EXPECT_TRUE(drums->patterns()[1].empty());
}

// An embedded file that claims more bytes than the stream holds.
class OversizedFile : public imbedded_file {
 public:
  void Serialize(FieldWalker& walker) override {
    Writer(walker).WriteString("huge.wav");
    Writer(walker).WriteInt32(0x7FFFFFF0);
  }
};

TEST(HostileStream, SizesBeyondTheRemainingBytesAreRefusedBeforeAllocating) {
  TestProject project;
  project.document.AddFile(std::make_unique<OversizedFile>());
  const LoadResult result = Load(project.document.Write(kCurrentLoadVersion));
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.kind, ArchiveErrorKind::kEndOfData);
}

// Containers nested one inside the next, written without the writer's own
// depth limit.
class NestedContainer : public CContainer {
 public:
  explicit NestedContainer(int depth) : depth_(depth) {}
  const SerialClass& GetClass() const override { return CContainer::kClass; }
  void Serialize(FieldWalker& walker) override {
    ArchiveWriter& w = Writer(walker);
    CUG::Serialize(walker);
    w.WriteUInt16(0);  // no patch manager
    if (depth_ > 0) {
      w.WriteUInt16(0x8000 | 1);  // the class record came first: index 1
      NestedContainer(depth_ - 1).Serialize(walker);
    }
    w.WriteUInt16(0);
    w.WriteRect({});
    for (int i = 0; i < 8; ++i) w.WriteInt32(0);
    w.WritePoint({});
    w.WritePoint({});
    w.WriteUInt32(0);
    w.WriteString("default");
    w.WriteUInt8(0);
  }

 private:
  int depth_;
};

TEST(HostileStream, NestingIsCappedWithAGenericError) {
  for (const int depth : {400, 600}) {
    COrvaneDocBase document;
    document.SetRoot(std::make_unique<NestedContainer>(depth));
    const LoadResult result = Load(document.Write(kCurrentLoadVersion));
    EXPECT_EQ(result.ok, depth < 512) << depth;
    if (!result.ok) {
      EXPECT_EQ(result.kind, ArchiveErrorKind::kGeneric);
    }
  }
}

// A hosted plug-in claiming two billion programs of 1000 values each.
class OverfullPlugin : public Ctl_VST_Plugin {
 public:
  void Serialize(FieldWalker& walker) override {
    CUG::Serialize(walker);
    ArchiveWriter& w = Writer(walker);
    w.WriteString("synth.so");
    w.WriteInt32(1234);
    w.WriteInt32(0);  // no chunks
    w.WriteInt32(1000);
    w.WriteInt32(0x7FFFFFFF);
    w.WriteInt32(0);
  }
};

TEST(HostileStream, HugeProgramCountOfAHostedPluginIsRefused) {
  TestProject project;
  project.main->AddChild(std::make_unique<OverfullPlugin>());
  const LoadResult result = Load(project.document.Write(kCurrentLoadVersion));
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.kind, ArchiveErrorKind::kEndOfData);
}

}  // namespace
}  // namespace ov
