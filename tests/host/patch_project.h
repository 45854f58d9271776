// A plug-in project made in code whose main container keeps patch
// parameters: one module per given name, in that order, with a patch
// parameter on one plug each: by default the float "Value" of a
// "PatchMemFloatIn" (which the engine cannot run yet), or any module and plug
// given.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "document/patch_manager.h"
#include "tests/document/document_test_support.h"
#include "tests/host/fake_host.h"

namespace ov::testing {

class PatchProject final : public ProjectSource {
 public:
  explicit PatchProject(std::vector<std::string> names, int32_t programs = 16,
                        std::string key = "PatchMemFloatIn", std::string plug = "Value")
      : names_(std::move(names)),
        programs_(programs),
        key_(std::move(key)),
        plug_(std::move(plug)) {}

  std::optional<ProjectFacts> Load(MessageSink& messages) override {
    messages.SetLogToStderr(false);
    ProjectFacts facts = SynthFacts();
    facts.has_program_selection = true;
    facts.program_count = programs_;
    return facts;
  }

  ProjectHoldings TakeHoldings() override {
    ProjectHoldings holdings;
    holdings.document = std::make_unique<COrvaneDocBase>();
    auto root = NewObject<CContainer>("Container");
    auto* main = Add<CContainer>(*root, "Container");
    main->SetTitle("Main");
    CPatchManager& manager = main->EnsurePatchManager();
    for (const std::string& name : names_) {
      CUG* module = Add(*main, key_);
      module->SetTitle(name);
      manager.CreateParameterForPlug(*Plug(*module, plug_));
    }
    holdings.document->SetRoot(std::move(root));
    return holdings;
  }

 private:
  std::vector<std::string> names_;
  int32_t programs_;
  std::string key_;
  std::string plug_;
};

// The plug-in of a PatchProject, with a host that records its callbacks.
struct PatchPlugin {
  explicit PatchPlugin(std::vector<std::string> names, int32_t programs = 16,
                       std::string key = "PatchMemFloatIn", std::string plug = "Value")
      : source(std::move(names), programs, std::move(key), std::move(plug)),
        plugin(&FakeHost::Callback, source) {}
  CPatchManager& Patches() {
    return *plugin.App().Document()->FindMainContainer()->GetPatchManager();
  }
  // The patch parameter shown to the host under `name`.
  PatchParameter& Parameter(const std::string& name) {
    for (const auto& [id, parameter] : Patches().parameters()) {
      if (parameter->name() == name) return *parameter;
    }
    throw std::runtime_error("no parameter " + name);
  }
  std::string Text(int32_t opcode, int32_t index) {
    char text[256];
    std::memset(text, 'x', sizeof text);
    plugin.dispatcher(opcode, index, 0, text, 0);
    return text;
  }

  FakeHost host;
  PatchProject source;
  OvVst plugin;
};

}  // namespace ov::testing
