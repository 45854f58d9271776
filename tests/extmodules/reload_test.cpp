// "Reload DLL": a module's library is learnt again while its own instance's
// engine is stopped for the while, and refused while another instance's
// engine runs it.
#include <gtest/gtest.h>

#include "document/container.h"
#include "document/module_classes.h"
#include "engine/audio_master.h"
#include "host/orvane_app.h"
#include "tests/extmodules/extmodules_test_support.h"
#include "tests/host/compiled_project.h"

namespace ov::test {
namespace {

class App final : public COrvaneAppBase {
 public:
  const vst2::VstTimeInfo* HostTimeInfo(int32_t) override { return nullptr; }
};

const Json& GainProject() {
  static const Json project = Json::parse(R"({
    "root": {"type": "Container", "modules": [{
      "type": "Container", "name": "main",
      "io": [{"name": "Out", "direction": "out", "datatype": "audio"}],
      "modules": [{"type": "Ov Example Gain", "name": "gain"}],
      "connections": ["gain.Output -> io.Out"]}]}})");
  return project;
}

CPlugin& GainModule(App& app) {
  for (const auto& child : app.Document()->FindMainContainer()->children()) {
    if (auto* module = dynamic_cast<CPlugin*>(child.get())) return *module;
  }
  throw std::logic_error("no library module");
}

TEST(ReloadModuleLibrary, RestartsItsEngineAndIsRefusedWhileAnotherEngineRunsTheLibrary) {
  RegisterModuleLibrary(ProcessModules(), "", "example_modules.ovm", ExampleModules());
  testing::CompiledProject first_source(GainProject());
  testing::CompiledProject second_source(GainProject());
  App first;
  App second;
  ASSERT_TRUE(first.Initialise(first_source));
  ASSERT_TRUE(second.Initialise(second_source));
  ASSERT_TRUE(first.StartEngine(256));
  ASSERT_TRUE(second.StartEngine(256));
  CPlugin& module = GainModule(first);
  EXPECT_EQ(module.plugin_key(), "Ov Example Gain");

  EXPECT_FALSE(first.ReloadModuleLibrary(module));
  ASSERT_FALSE(first.Messages().Messages().empty());
  EXPECT_NE(first.Messages().Messages().back().text.find("in use by a running engine"),
            std::string::npos);
  ASSERT_NE(first.Engine(), nullptr);  // running again all the same
  EXPECT_TRUE(first.Engine()->Process(256));

  second.StopEngine();
  EXPECT_TRUE(first.ReloadModuleLibrary(module));
  ASSERT_NE(first.Engine(), nullptr);
  EXPECT_TRUE(first.Engine()->IsRunning());
  EXPECT_TRUE(first.Engine()->Process(256));
  EXPECT_EQ(module.module_type()->Descriptors().size(), 3u);
  first.StopEngine();
}

}  // namespace
}  // namespace ov::test
