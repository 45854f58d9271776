// What the tests that load plug-in libraries share: the build folder, a
// host callback, a loaded plug-in that closes itself, and running a program.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/dynamic_library.h"
#include "platform/vst2.h"

namespace ov::testing {

inline std::string BuildDir() {
  // Run by hand from anywhere, a test still writes into its own tree.
  const char* dir = std::getenv("OV_BUILD_DIR");
  return dir ? dir : OV_BINARY_DIR;
}

inline intptr_t ModernHost(vst2::AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
  return opcode == vst2::audioMasterVersion ? 2400 : 0;
}

// The plug-in a host gets from the library at `path`, or null.
struct LoadedPlugin {
  DynamicLibrary library;
  vst2::AEffect* effect = nullptr;
  ~LoadedPlugin() {
    if (effect) effect->dispatcher(effect, vst2::effClose, 0, 0, nullptr, 0);
  }
};

inline void OpenPlugin(const std::string& path, LoadedPlugin* plugin) {
  std::string error;
  plugin->library = DynamicLibrary::Open(path, &error);
  ASSERT_TRUE(plugin->library.IsOpen()) << error;
  auto* entry = reinterpret_cast<vst2::EntryProc>(plugin->library.Symbol("main"));
  ASSERT_NE(entry, nullptr);
  plugin->effect = entry(&ModernHost);
}

inline int RunProgram(const std::string& command, std::string* output) {
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  char buffer[4096];
  output->clear();
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) *output += buffer;
  const int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace ov::testing
