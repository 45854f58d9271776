// The engine host callback: which generator a library's call is for, and the
// answers to its opcodes.
#include <array>
#include <atomic>
#include <cstring>
#include <functional>
#include <thread>

#include "engine/audio_master.h"
#include "engine/data_files.h"
#include "engine/engine_host.h"
#include "extmodules/module_tables.h"
#include "extmodules/ug_plugin.h"
#include "platform/text.h"

namespace ov {
namespace {

// Host handles are indexes into this table, never addresses, so a handle a
// library wrote wrongly or kept too long names no generator. Slots change
// on the editor thread; the audio thread only reads them.
constexpr std::size_t kHandleSlots = 16384;
std::array<std::atomic<ug_plugin*>, kHandleSlots> handle_slots{};
std::atomic<std::size_t> next_slot{0};

// The generators whose main() runs now, each with the thread running it.
// Kept without thread-local storage: the plug-in library's thread-local
// block is small and fixed, and growing it made LeakSanitizer's scan of
// host threads crash in sanitized hosts.
struct Creating {
  std::atomic<std::size_t> thread{0};
  std::atomic<ug_plugin*> generator{nullptr};
};
constexpr std::size_t kCreatingSlots = 16;
std::array<Creating, kCreatingSlots> creating_slots{};

std::size_t ThisThread() { return std::hash<std::thread::id>{}(std::this_thread::get_id()) | 1; }

constexpr std::size_t kVendorBytes = 50;

}  // namespace

bool ug_plugin::TakeHandle() {
  const std::size_t start = next_slot.load(std::memory_order_relaxed);
  for (std::size_t i = 0; i < kHandleSlots; ++i) {
    const std::size_t slot = (start + i) % kHandleSlots;
    ug_plugin* expected = nullptr;
    if (handle_slots[slot].compare_exchange_strong(expected, this, std::memory_order_acq_rel)) {
      // Handles are reused as late as possible: a stale one rarely names a
      // new generator.
      next_slot.store(slot + 1, std::memory_order_relaxed);
      handle_ = static_cast<intptr_t>(slot + 1);
      return true;
    }
  }
  return false;
}

void ug_plugin::ReleaseHandle() {
  if (handle_ == 0) return;
  handle_slots[static_cast<std::size_t>(handle_ - 1)].store(nullptr, std::memory_order_release);
  handle_ = 0;
}

ug_plugin* ug_plugin::Find(intptr_t handle, const void* structure) {
  if (handle < 1 || handle > static_cast<intptr_t>(kHandleSlots) || structure == nullptr) {
    return nullptr;
  }
  ug_plugin* generator =
      handle_slots[static_cast<std::size_t>(handle - 1)].load(std::memory_order_acquire);
  return generator != nullptr && generator->structure_ == structure ? generator : nullptr;
}

CreatingGenerator::CreatingGenerator(ug_plugin* generator) {
  const std::size_t me = ThisThread();
  for (Creating& slot : creating_slots) {
    std::size_t expected = 0;
    if (slot.thread.compare_exchange_strong(expected, me, std::memory_order_acq_rel)) {
      slot.generator.store(generator, std::memory_order_release);
      slot_ = &slot;
      return;
    }
  }
  // No slot free: the library's calls during main() find no generator.
}

CreatingGenerator::~CreatingGenerator() {
  if (slot_ == nullptr) return;
  auto& slot = *static_cast<Creating*>(slot_);
  slot.generator.store(nullptr, std::memory_order_release);
  slot.thread.store(0, std::memory_order_release);
}

ug_plugin* CreatingGenerator::Current() {
  const std::size_t me = ThisThread();
  for (Creating& slot : creating_slots) {
    if (slot.thread.load(std::memory_order_acquire) == me) {
      return slot.generator.load(std::memory_order_acquire);
    }
  }
  return nullptr;
}

intptr_t EngineHostCallbackV1(void* structure, int32_t opcode, intptr_t index, intptr_t value,
                              void* ptr, float opt) {
  ug_plugin* generator =
      structure != nullptr
          ? ug_plugin::Find(static_cast<OvModuleV1*>(structure)->hostHandle, structure)
          : nullptr;
  if (generator == nullptr) generator = CreatingGenerator::Current();
  if (generator != nullptr) return generator->Answer(opcode, index, value, ptr, opt);
  return opcode == OV_HOST_VERSION ? OV_HOST_VERSION_NUMBER : 0;
}

intptr_t EngineHostCallbackV2(void* structure, int32_t opcode, intptr_t index, intptr_t value,
                              void* ptr, float opt) {
  ug_plugin* generator =
      structure != nullptr
          ? ug_plugin::Find(static_cast<OvModule*>(structure)->hostHandle, structure)
          : nullptr;
  if (generator != nullptr) return generator->Answer(opcode, index, value, ptr, opt);
  return opcode == OV_HOST_VERSION ? OV_HOST_VERSION_NUMBER : 0;
}

UPlug* ug_plugin::PlugAt(intptr_t index) const {
  if (index < 0 || index >= PlugCount()) return nullptr;
  return plug(static_cast<int32_t>(index));
}

void ug_plugin::SetText(int32_t plug_number, const char* text) {
  // The plug's text is reserved to its capacity: no allocation here.
  plug(plug_number)->SetTextValue(std::string_view(text, strnlen(text, UPlug::kTextCapacity)));
  RenewTextCopy(plug_number);
}

intptr_t ug_plugin::Answer(int32_t opcode, intptr_t index, intptr_t value, void* ptr, float opt) {
  OvAudioMaster* master = Master();
  UPlug* target = PlugAt(index);
  switch (opcode) {
    case OV_HOST_TRANSMIT_STATE: {
      if (target == nullptr || master == nullptr || target->Direction() == DR_IN ||
          value < ST_STOP || value > ST_RUN) {
        return 0;
      }
      const auto time = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(ptr));
      if (!TimeBefore(time, Clock())) target->Transmit(time, static_cast<int32_t>(value));
      return 0;
    }
    case OV_HOST_IS_CONNECTED: {
      if (target == nullptr || target->Connectors().empty()) return 0;
      if (!target->IsInput()) return 1;
      const UPlug* source = target->Connectors().front()->Source();
      return (source->Owner().Flags() & 1u) == 0 ? 1 : 0;
    }
    case OV_HOST_SET_TEXT:
      if (target != nullptr && target->Datatype() == DT_TEXT && value != 0) {
        SetText(target->Number(), reinterpret_cast<const char*>(value));
      }
      return 0;
    case OV_HOST_CLOCK:
      return static_cast<intptr_t>(Clock());
    case OV_HOST_SEND_MIDI:
      if (target != nullptr && target->Datatype() == DT_MIDI && target->Direction() == DR_OUT &&
          master != nullptr) {
        SendMidi(*target, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(ptr)),
                 static_cast<uint32_t>(value));
      }
      return 0;
    case OV_HOST_AUDIO_INPUTS:
      return AudioInputs();
    case OV_HOST_AUDIO_OUTPUTS:
      return AudioOutputs();
    case OV_HOST_PLUG_SAMPLES:
      if (target == nullptr || !target->IsAudio()) return 0;
      return reinterpret_cast<intptr_t>(target->Samples());
    case OV_HOST_BUFFER_START_TIME:
      return master != nullptr ? static_cast<intptr_t>(master->CellStart()) : 0;
    case OV_HOST_TIME_INFO:
      return master != nullptr
                 ? reinterpret_cast<intptr_t>(master->GetTimeInfo(static_cast<int32_t>(value)))
                 : 0;
    case OV_HOST_SLEEP:
      if (master != nullptr && !HasEvents() && !IsSleeping()) Sleep();
      return 1;
    case OV_HOST_VENDOR:
      if (ptr != nullptr) {
        CopyBounded(static_cast<char*>(ptr), kVendorBytes,
                    master != nullptr ? master->Host().ModuleVendorText() : std::string_view());
      }
      return 1;
    case OV_HOST_FIRST_CLONE:
      if (ptr != nullptr)
        *static_cast<void**>(ptr) = (model_ != nullptr ? model_ : this)->structure_;
      return 1;
    case OV_HOST_NEXT_CLONE:
      if (ptr != nullptr) {
        const auto* next = dynamic_cast<const ug_plugin*>(NextClone());
        *static_cast<void**>(ptr) = next != nullptr ? next->structure_ : nullptr;
      }
      return 1;
    case OV_HOST_PLUG_COUNT:
      return PlugCount();
    case OV_HOST_VST_CALLBACK: {
      if (ptr == nullptr || master == nullptr) return 0;
      const auto* call = static_cast<const OvHostCallRecord*>(ptr);
      return master->Host().CallVstHost(call->opcode, call->index, call->value, call->ptr,
                                        call->opt);
    }
    case OV_HOST_RESOLVE_FILE:
    case OV_HOST_RESOLVE_FILE_W:
      return ResolveFile(index, value, ptr, opcode == OV_HOST_RESOLVE_FILE_W);
    case OV_HOST_SEND_SDK:
      return SendSdk(index, value, ptr);
    case OV_HOST_TARGET_ID:
      return static_cast<intptr_t>(TargetId());
    case OV_HOST_QUEUE_EVENT:
      return QueueFromLibrary(ptr);
    case OV_HOST_SHARED_TABLE:
      return SharedTable(index, value, static_cast<const char*>(ptr), opt);
    case OV_HOST_SET_TEXT_STATIC:
      if (target != nullptr && target->Datatype() == DT_TEXT && ptr != nullptr) {
        SetText(target->Number(), static_cast<const char*>(ptr));
        if (master != nullptr) target->Transmit(Clock(), ST_STATIC);
      }
      return 0;
    case OV_HOST_PROCESS_CHANGED:
      if (auto* newer = dynamic_cast<ug_plugin2*>(this)) newer->RereadProcessFunction();
      return 0;
    case OV_HOST_VERSION:
      return OV_HOST_VERSION_NUMBER;
    default:
      return 0;
  }
}

intptr_t ug_plugin::ResolveFile(intptr_t index, intptr_t room, void* ptr, bool wide) {
  if (ptr == nullptr || room <= 0) return 0;
  const DataFiles* files = Master() != nullptr ? Master()->Host().MediaFiles() : nullptr;
  std::string path;
  if (wide) {
    // Its own extension is the default one: the name is used as given.
    if (index != 0 && files != nullptr) {
      const auto* name = reinterpret_cast<const uint16_t*>(index);
      path = files->ResolveFilePath(ZeroTerminatedWide(name, 4096), "");
    }
    CopyBoundedWide(static_cast<uint16_t*>(ptr), static_cast<std::size_t>(room), path);
    return 0;
  }
  const UPlug* target = PlugAt(index);
  if (target != nullptr && target->Datatype() == DT_TEXT && files != nullptr) {
    path = files->ResolveFilePath(target->TextValue(), "");
  }
  CopyBounded(static_cast<char*>(ptr), static_cast<std::size_t>(room), path);
  return 0;
}

intptr_t ug_plugin::SendSdk(intptr_t count, intptr_t value, const void* bytes) {
  OvAudioMaster* master = Master();
  if (master == nullptr || count < 0 || (count > 0 && bytes == nullptr)) return 0;
  MessageWriter writer;
  writer.Write(static_cast<int32_t>(value)).Write(static_cast<int32_t>(count));
  writer.WriteBytes({static_cast<const std::byte*>(bytes), static_cast<std::size_t>(count)});
  // A payload too long for one message failed: dropped, not counted as a
  // full ring.
  if (!writer.Failed()) master->PostToEditor(TargetId(), MessageId("sdk"), writer);
  return 0;
}

intptr_t ug_plugin::QueueFromLibrary(const void* ptr) {
  if (ptr == nullptr || Master() == nullptr) return 0;
  const auto* queued = static_cast<const OvQueuedEvent*>(ptr);
  // Kinds whose middle parameter the host reads as one of its own objects
  // cannot come from a library.
  switch (queued->kind) {
    case UET_STAT_CHANGE:
    case UET_SUSPEND:
    case UET_SET_PLUG_VALUE:
    case UET_CALL_FUNCTION:
      return 0;
    case UET_MIDI:
      QueueEvent(static_cast<uint32_t>(queued->timeStamp), UET_MIDI, queued->parm1, nullptr,
                 queued->parm3, true);
      return 0;
    default:
      QueueEvent(static_cast<uint32_t>(queued->timeStamp), queued->kind, queued->parm1,
                 reinterpret_cast<void*>(queued->parm2), queued->parm3, true);
      return 0;
  }
}

intptr_t ug_plugin::SharedTable(intptr_t address, intptr_t entries, const char* name,
                                float size_key) {
  if (address == 0 || name == nullptr) return 0;
  const std::string_view table_name(name, strnlen(name, 256));
  const auto key = static_cast<int32_t>(size_key);
  // While the engine runs (the audio thread), only a table this generator
  // asked for before is answered: making one would allocate and lock.
  OvAudioMaster* master = Master();
  if (master != nullptr && master->IsRunning()) {
    for (const TableUse& use : tables_) {
      if (use.name == table_name && use.size_key == key &&
          use.table->size >= static_cast<std::size_t>(std::max<intptr_t>(entries, 0))) {
        *reinterpret_cast<int32_t**>(address) = use.table->entries.get();
        return 1;
      }
    }
    return 0;
  }
  // Tables belong to the application that runs the engine; a generator
  // outside any engine gets one of its own.
  ModuleTables* tables = master != nullptr ? master->Host().LibraryTables() : nullptr;
  std::shared_ptr<ModuleTable> table =
      tables != nullptr ? tables->For(table_name, key, entries) : NewModuleTable(entries);
  if (!table) return 0;
  *reinterpret_cast<int32_t**>(address) = table->entries.get();
  tables_.push_back({std::string(table_name), key, std::move(table)});
  return 1;
}

}  // namespace ov
