// The generators of modules from module libraries: ug_plugin for the older
// interface (one module per library, export main) and ug_plugin2 for the
// newer one (makeModule). The generator hands the engine's life cycle,
// events and slices to the library's dispatcher, process and event
// functions, and answers the library's calls of the host callback.
//
// Threads: made, opened, closed and destroyed on the editor thread (engine
// build, start and stop); Process, events, messages and the library's host
// calls during them on the audio thread, where nothing allocates or locks.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <string_view>
#include <vector>

#include "engine/ug_base.h"
#include "extmodules/module_library.h"

namespace ov {

class Module_Info_Plugin;
struct ModuleTable;

class ug_plugin : public ug_base {
 public:
  // A text copy handed to the library holds at most this many bytes.
  static constexpr std::size_t kTextCopyBytes = UPlug::kTextCapacity + 1;

  // Without a type: the empty generator, listing 20 placeholder plugs.
  explicit ug_plugin(const Module_Info_Plugin* type = nullptr);
  ~ug_plugin() override;

  // Older interface: takes the structure main() returned and writes the
  // host handle into it. False for a null structure or a wrong magic.
  bool AdoptStructure(OvModuleV1* structure, const ModuleLibrary& library);
  // The handle given to the library; 0 when none was free.
  intptr_t HostHandle() const { return handle_; }
  void* Structure() const { return structure_; }

  std::unique_ptr<ug_base> CreateInstance() const override;
  std::unique_ptr<ug_base> Clone() override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void SetUpBuffers() override;
  void Open() override;
  void Close() override;
  void Wake() override;
  void Resume() override;
  bool CanSleep() const override;
  void Process(int32_t frames) override;
  void OnMessage(uint32_t message_id, MessageReader& payload) override;

  // The library's call of the host callback. Audio thread while running.
  intptr_t Answer(int32_t opcode, intptr_t index, intptr_t value, void* ptr, float opt);

  // The generator a structure's host handle names, when that handle is one
  // this process gave out, its generator lives and owns `structure`.
  static ug_plugin* Find(intptr_t handle, const void* structure);

 protected:
  intptr_t Dispatch(int32_t opcode, intptr_t index = 0, intptr_t value = 0,
                    void* ptr = nullptr, float opt = 0.0f);
  // The event record the library receives.
  OvEventRecord RecordOf(ug_event& event);
  // Events the host itself runs (plug values from the editor side and
  // function calls) rather than handing them to the library.
  static bool HostRunsEvent(const ug_event& event);
  // A status change's value reaches its input (and the module's copy of a
  // text); the input is answered.
  UPlug& TakeStatusValue(ug_event& event);
  // Renews the module's copy of text plug `plug_number` from the plug.
  void RenewTextCopy(int32_t plug_number);
  // No module structure: silence on the outputs, then sleep.
  void ProcessSilence(int32_t frames);
  // A generator of the same type with a structure of its own, or empty.
  std::unique_ptr<ug_base> MakeSibling() const;
  // A handle from the process-wide table; false when none is free.
  bool TakeHandle();
  void ReleaseHandle();
  int32_t BlockOffset() const;

  const Module_Info_Plugin* type_;
  ModuleLibrary library_;  // keeps the library loaded while this generator lives
  void* structure_ = nullptr;
  OvDispatcher dispatcher_ = nullptr;
  OvProcessFunction process_ = nullptr;
  intptr_t handle_ = 0;
  ug_plugin* model_ = nullptr;  // null for the model itself
  bool placeholders_ = true;    // without a structure: list the placeholder plugs
  bool opened_ = false;

 private:
  // A text plug's copy for the module: the plug, the module's text pointer
  // (or one of its own), and the copy the pointer designates.
  struct TextCopy {
    int32_t plug_number;
    char** module_pointer;
    char* own_pointer = nullptr;
    std::unique_ptr<char[]> copy;
  };
  struct TableUse {
    std::string name;
    int32_t size_key;
    std::shared_ptr<ModuleTable> table;
  };

  TextCopy* TextCopyOf(int32_t plug_number);
  UPlug* PlugAt(intptr_t index) const;
  void SetText(int32_t plug_number, const char* text);
  intptr_t SharedTable(intptr_t address, intptr_t entries, const char* name, float size_key);
  intptr_t SendSdk(intptr_t count, intptr_t value, const void* bytes);
  intptr_t QueueFromLibrary(const void* record);
  intptr_t ResolveFile(intptr_t index, intptr_t room, void* ptr, bool wide);

  friend class Module_Info_Plugin;  // asks names and plugs while discovering

  std::vector<std::pair<int32_t, char**>> listed_text_pointers_;  // engine plug, module pointer
  std::vector<TextCopy> text_copies_;
  std::vector<UPlug*> midi_inputs_;
  std::vector<TableUse> tables_;
  std::vector<std::byte> message_bytes_;  // "sdk" payloads, sized before the engine runs
};

class ug_plugin2 : public ug_plugin {
 public:
  explicit ug_plugin2(const Module_Info_Plugin* type) : ug_plugin(type) {}

  // Takes the structure makeModule() returned. False for a null structure
  // or a wrong magic.
  bool AdoptStructure(OvModule* structure, const ModuleLibrary& library);

  std::unique_ptr<ug_base> Clone() override;
  void Process(int32_t frames) override;
  void HandleEvent(ug_event& event) override;
  // Host opcode 22: the library changed its process function.
  void RereadProcessFunction();

 private:
  void* instance_ = nullptr;
  OvEventFunction event_ = nullptr;
};

// The host callbacks given to libraries. Any thread a library calls from.
intptr_t EngineHostCallbackV1(void* structure, int32_t opcode, intptr_t index, intptr_t value,
                              void* ptr, float opt);
intptr_t EngineHostCallbackV2(void* structure, int32_t opcode, intptr_t index, intptr_t value,
                              void* ptr, float opt);

// Older interface: while main() runs on this thread, the generator it is for.
class CreatingGenerator {
 public:
  explicit CreatingGenerator(ug_plugin* generator);
  ~CreatingGenerator();
  CreatingGenerator(const CreatingGenerator&) = delete;
  CreatingGenerator& operator=(const CreatingGenerator&) = delete;
  static ug_plugin* Current();

 private:
  void* slot_ = nullptr;  // its entry in the table of generators being made
};

}  // namespace ov
