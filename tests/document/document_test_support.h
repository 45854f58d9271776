// Documents for the document tests, made as the editor makes them.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string_view>

#include "document/connection.h"
#include "document/container.h"
#include "document/document.h"
#include "document/new_objects.h"
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
inline COrvaneDocBase LoadOrFail(const std::vector<uint8_t>& stream, MessageSink* messages = nullptr,
                                 bool initialise = false) {
  COrvaneDocBase document;
  const LoadResult result = document.Load(stream, {messages, nullptr, initialise});
  EXPECT_TRUE(result.ok) << result.message;
  return document;
}

}  // namespace ov::testing
