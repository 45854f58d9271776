#include "modules/ug_unavailable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "engine/audio_master.h"
#include "engine/ug_container.h"
#include "modules/module_registry.h"

namespace ov::test {
namespace {

class MessageHost : public EngineHost {
 public:
  const vst2::VstTimeInfo* HostTimeInfo(int32_t) override { return nullptr; }
  uint32_t NewTargetId() override { return next_id++; }
  void PostUserMessage(std::string_view text) override { messages.emplace_back(text); }

  uint32_t next_id = 1;
  std::vector<std::string> messages;
};

// One engine holding generators of built-in types.
class Engine {
 public:
  explicit Engine(MessageHost& host) : master_(host) {
    master_.SetEngineBlockSize(32);
    top_.SetMaster(&master_);
  }
  ~Engine() { master_.Stop(); }

  ug_base& Add(const char* key) {
    ug_base& generator = top_.AddChild(BuiltInModules().FindModule(key)->CreateGenerator());
    generator.CreatePlugs();
    generator.SetUpBuffers();
    return generator;
  }
  void Start() { master_.Start(&top_); }
  OvAudioMaster& Master() { return master_; }

 private:
  OvAudioMaster master_;
  ug_container top_;
};

TEST(UnavailableGenerator, TellsOncePerTypeAndEngine) {
  MessageHost host;
  {
    Engine engine(host);
    engine.Add("Thrasher");
    engine.Add("Thrasher");
    engine.Add("Monitor");
    EXPECT_TRUE(host.messages.empty());  // nothing until the engine starts
    engine.Start();
    std::vector<std::string> told = host.messages;
    std::sort(told.begin(), told.end());
    EXPECT_EQ(told,
              (std::vector<std::string>{"Monitor: this module is not available in this build",
                                        "Thrasher: this module is not available in this build"}));
  }
  host.messages.clear();
  Engine next(host);
  next.Add("Thrasher");
  next.Start();
  EXPECT_EQ(host.messages,
            (std::vector<std::string>{"Thrasher: this module is not available in this build"}));
}

TEST(UnavailableGenerator, KeepsItsOutputsAtZero) {
  MessageHost host;
  Engine engine(host);
  ug_base& oscillator = engine.Add("Soundfont Oscillator");
  engine.Start();
  engine.Master().Process(100);
  const float* out = oscillator.plug(6)->Data();  // "Left (mono)"
  ASSERT_NE(out, nullptr);
  EXPECT_TRUE(std::all_of(out, out + 32, [](float sample) { return sample == 0.0f; }));
}

TEST(UnavailableGenerator, InstancesListTheSamePlugs) {
  const Module_Info* type = BuiltInModules().FindModule("Thrasher");
  const std::unique_ptr<ug_base> generator = type->CreateGenerator();
  std::vector<InterfaceObject> listed;
  generator->CreateInstance()->ListPlugs(listed);
  ASSERT_EQ(listed.size(), type->Descriptors().size());
  for (std::size_t i = 0; i < listed.size(); ++i) {
    EXPECT_EQ(listed[i].name, type->Descriptors()[i].name);
    EXPECT_EQ(listed[i].flags, type->Descriptors()[i].flags);
  }
}

}  // namespace
}  // namespace ov::test
