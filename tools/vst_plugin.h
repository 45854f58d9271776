// A VST 2 plug-in loaded from a Linux shared library and opened; closed and
// unloaded on destruction.
// Thread: one thread loads, drives and destroys it.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>

#include "platform/dynamic_library.h"
#include "platform/vst2.h"
#include "tools/host_session.h"

namespace ov {

// Why an Orvane plug-in's engine could not be built or stopped after an
// error, as it answers after a resume; "" while it plays, and from plug-ins
// that do not answer the question.
std::string EngineProblem(vst2::AEffect& effect);

class VstPlugin {
 public:
  // Loads the library (a bare file name is one in the current folder), calls
  // its entry point (VSTPluginMain, else main) with the host callback, checks
  // the record it returns and opens the plug-in.
  // Notices from the plug-in go to `log`. Null on failure, with `error`
  // naming the library and saying what went wrong.
  static std::unique_ptr<VstPlugin> Load(const std::string& path, std::ostream& log,
                                         std::string* error);
  ~VstPlugin();
  VstPlugin(const VstPlugin&) = delete;
  VstPlugin& operator=(const VstPlugin&) = delete;

  vst2::AEffect& Effect() const { return *effect_; }
  HostSession& Session() { return *session_; }
  const std::string& Path() const { return library_.Path(); }

  intptr_t Dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                    float opt = 0.0f) const;
  // A dispatcher call that answers in text. The buffer is far larger than the
  // nominal sizes, which plug-ins overrun, and is terminated before reading.
  // The call's own result goes to `result` when given.
  std::string DispatchText(int32_t opcode, int32_t index = 0, intptr_t* result = nullptr) const;
  // Why an Orvane plug-in plays no engine (see EngineProblem).
  std::string EngineProblem() const { return ov::EngineProblem(*effect_); }

 private:
  VstPlugin(DynamicLibrary library, std::unique_ptr<HostSession> session, vst2::AEffect* effect);

  DynamicLibrary library_;  // released last: the code below lives in it
  std::unique_ptr<HostSession> session_;
  vst2::AEffect* effect_;
};

}  // namespace ov
