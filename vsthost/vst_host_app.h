// `VST_HostApp`: what a hosted plug-in's host requests reach — the module
// that holds the plug-in. Operations in slot order.
//
// Threads: EventsFromPlugin, SetTime and GetTime on the audio thread while
// the plug-in processes (any thread otherwise); the rest on the editor thread.
#pragma once

#include <cstdint>
#include <string>

#include "platform/vst2.h"

namespace ov {

class VST_HostApp {
 public:
  virtual ~VST_HostApp() = default;
  virtual void Idle() = 0;                                           // 0
  virtual void LibraryUnloading() = 0;                               // 1
  virtual void EventsFromPlugin(const vst2::VstEvents& events) = 0;  // 2
  virtual void SetTime(const vst2::VstTimeInfo& time) = 0;           // 3
  virtual const vst2::VstTimeInfo* GetTime(int32_t flags) = 0;       // 4
  virtual int32_t SampleRate() = 0;                                  // 5
  virtual int32_t BlockSize() = 0;                                   // 6
  // Open (or save) a file of `file_type`; `path` in and out. False when
  // cancelled or not supported.
  virtual bool FileDialog(bool save, const std::string& file_type, std::string& path) = 0;  // 7
  virtual void ParameterAutomated(int32_t index, float value) = 0;  // 8
  virtual bool CopyLibrariesBeforeLoading() = 0;                    // 9
  virtual void DisplayChanged() = 0;                                // 10
};

}  // namespace ov
