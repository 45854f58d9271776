// The application starts its engine from the loaded document: a graph that
// builds runs, one that cannot leaves no engine and tells the user why.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/audio_master.h"
#include "host/orvane_app.h"
#include "platform/message_sink.h"
#include "tests/document/document_test_support.h"
#include "tests/host/fake_host.h"

namespace ov::testing {
namespace {

// A source whose document is made in code: main container with inverters
// "A" and "B", A feeding B, and B feeding A when `loop` is set.
class MadeProject final : public ProjectSource {
 public:
  explicit MadeProject(bool loop) : loop_(loop) {}
  std::optional<ProjectFacts> Load(MessageSink& messages) override {
    messages.SetLogToStderr(false);
    return ProjectFacts{};
  }
  ProjectHoldings TakeHoldings() override {
    ProjectHoldings holdings;
    holdings.document = std::make_unique<COrvaneDocBase>();
    auto root = NewObject<CContainer>("Container");
    auto* main = Add<CContainer>(*root, "Container");
    main->SetTitle("Main");
    holdings.document->SetRoot(std::move(root));
    CUG* b = Add(*main, "Inverter");
    b->SetTitle("B");
    CUG* a = Add(*main, "Inverter");
    a->SetTitle("A");
    main->Connect(Plug(*a, "Signal Out"), Plug(*b, "Signal in"));
    if (loop_) main->Connect(Plug(*b, "Signal Out"), Plug(*a, "Signal in"));
    return holdings;
  }

 private:
  bool loop_;
};

// The application without a plug-in around it: no host time.
class App final : public COrvaneAppBase {
 public:
  const vst2::VstTimeInfo* HostTimeInfo(int32_t) override { return nullptr; }
};

TEST(EngineStart, DocumentGraphRuns) {
  MadeProject source(false);
  App app;
  ASSERT_TRUE(app.Initialise(source));
  ASSERT_TRUE(app.StartEngine(256));
  ASSERT_NE(app.Engine(), nullptr);
  EXPECT_TRUE(app.Engine()->IsRunning());
  app.Engine()->Process(256);
  // A restart rebuilds from the same document.
  EXPECT_TRUE(app.StartEngine(512));
  EXPECT_TRUE(app.Engine()->IsRunning());
}

TEST(EngineStart, FeedbackLeavesNoEngineAndSaysWhere) {
  MadeProject source(true);
  App app;
  ASSERT_TRUE(app.Initialise(source));
  EXPECT_FALSE(app.StartEngine(256));
  EXPECT_EQ(app.Engine(), nullptr);
  EXPECT_TRUE(app.Messages().Contains("This patch contains a FEEDBACK path (highlighed in red), "
                                      "Please remove.\n Main."));
}

TEST(EngineStart, WithoutDocumentTheEngineIsEmpty) {
  FakeProject source;
  App app;
  ASSERT_TRUE(app.Initialise(source));
  EXPECT_TRUE(app.StartEngine(256));
  ASSERT_NE(app.Engine(), nullptr);
  EXPECT_TRUE(app.Engine()->IsRunning());
}

}  // namespace
}  // namespace ov::testing
