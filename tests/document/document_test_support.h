// Documents for the document tests, made as the editor makes them.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string_view>

#include "document/archive_writer.h"
#include "document/connection.h"
#include "document/container.h"
#include "document/document.h"
#include "document/embedded_file.h"
#include "document/new_objects.h"
#include "document/plug_kinds.h"
#include "modules/module_registry.h"

namespace ov::testing {

template <class T = CUG>
std::unique_ptr<T> NewObject(std::string_view key) {
  std::unique_ptr<CDocOb> object = CreateDocumentObject(BuiltInModules(), key);
  EXPECT_NE(object, nullptr) << key;
  auto* typed = dynamic_cast<T*>(object.get());
  EXPECT_NE(typed, nullptr) << key;
  object.release();
  return std::unique_ptr<T>(typed);
}

template <class T = CUG>
T* Add(CContainer& container, std::string_view key) {
  return static_cast<T*>(container.AddChild(NewObject<T>(key)));
}

// The writer behind a walk, for classes that write hand-made layouts.
inline ArchiveWriter& Writer(FieldWalker& walker) { return dynamic_cast<ArchiveWriter&>(walker); }

// A root container holding one main container, as every project has.
struct TestProject {
  TestProject() {
    auto root = NewObject<CContainer>("Container");
    main = Add<CContainer>(*root, "Container");
    document.SetRoot(std::move(root));
    document.RunPasses(false);
  }
  COrvaneDocBase document;
  CContainer* main = nullptr;
};

inline CPlug2* Plug(const CUG& module, std::string_view name) {
  CPlug2* plug = module.FindPlug(name);
  EXPECT_NE(plug, nullptr) << name;
  return plug;
}

// Loads a stream as stored (without the initialisation pass, which adds
// patch managers), failing the test when it is refused.
inline COrvaneDocBase LoadOrFail(const std::vector<uint8_t>& stream,
                                 MessageSink* messages = nullptr, bool initialise = false) {
  COrvaneDocBase document;
  const LoadResult result = document.Load(stream, {messages, nullptr, initialise});
  EXPECT_TRUE(result.ok) << result.message;
  return document;
}

// A project with one module of most document classes, a container with
// its own plugs, connections, an embedded file, and the patch managers and
// parameters of the initialisation pass.
inline TestProject RichProject() {
  TestProject project;
  CContainer& main = *project.main;
  CUG* osc = Add(main, "Oscillator");
  CUG* vca = Add(main, "VCA");
  CUG* slider = Add(main, "Slider");
  for (const char* key : {"List Entry", "Text Entry", "Step Sequencer", "Drum Sequencer",
                          "VST Plugin", "Patch Select", "Multistage Env", "PatchMemFloatIn",
                          "Image", "Control Group", "Paged Group", "Switch (1->Many)"}) {
    Add(main, key);
  }
  Add<CDocOb>(main, "Panel Group");
  Add<CDocOb>(main, "Sub Panel");
  auto* inner = Add<CContainer>(main, "Container");
  CPlugIO2* in = inner->AddContainerPlug("In", DR_IN, DT_FSAMPLE);
  CPlugIO2* out = inner->AddContainerPlug("Out", DR_OUT, DT_FSAMPLE);
  CUG* inner_vca = Add(*inner, "VCA");
  inner->Connect(in->Partner(), Plug(*inner_vca, "Signal"));
  inner->Connect(Plug(*inner_vca, "Output"), out->Partner());
  main.Connect(Plug(*osc, "Audio Out"), Plug(*vca, "Signal"));
  main.Connect(Plug(*slider, "Signal Out"), Plug(*vca, "Volume"));
  main.Connect(Plug(*vca, "Output"), in);
  project.document.AddFile(
      std::make_unique<imbedded_file>("samples/a.wav", std::vector<uint8_t>{1, 2, 3}));
  project.document.RunPasses(true);
  return project;
}

}  // namespace ov::testing
