// The built plug-in library, loaded through the dynamic loader as a host would.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/dynamic_library.h"
#include "platform/vst2.h"

namespace {

intptr_t ModernHost(vst2::AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
  return opcode == vst2::audioMasterVersion ? 2400 : 0;
}

TEST(PluginLibrary, ExportsBothEntryPointsAndNothingOfItsInternals) {
  const char* build_dir = std::getenv("OV_BUILD_DIR");
  ASSERT_NE(build_dir, nullptr);
  std::string error;
  const auto library = ov::DynamicLibrary::Open(std::string(build_dir) + "/orvane-vst.so", &error);
  ASSERT_TRUE(library.IsOpen()) << error;

  auto* modern = reinterpret_cast<vst2::EntryProc>(library.Symbol("VSTPluginMain"));
  auto* legacy = reinterpret_cast<vst2::EntryProc>(library.Symbol("main"));
  ASSERT_NE(modern, nullptr);
  ASSERT_NE(legacy, nullptr);
  EXPECT_EQ(library.Symbol("_ZN2ov12CreatePluginEPFlPN4vst27AEffectEiilPvfERNS_13ProjectSourceE"),
            nullptr);

  // This library carries no project, so a host gets no plug-in, and no crash.
  EXPECT_EQ(modern(&ModernHost), nullptr);
  EXPECT_EQ(legacy(&ModernHost), nullptr);
}

}  // namespace
