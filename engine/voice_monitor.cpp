#include "engine/voice_monitor.h"

#include "engine/audio_master.h"
#include "engine/ug_container.h"
#include "engine/ug_notesource.h"

namespace ov {

ug_voice_combiner::ug_voice_combiner() { SetFlags(Flags() | UGF_STOPS_MARKING); }

std::unique_ptr<ug_base> ug_voice_combiner::CreateInstance() const {
  return std::make_unique<ug_voice_combiner>();
}

ug_voice_monitor::ug_voice_monitor() { SetProcessFunction(&ug_voice_monitor::Watch); }

std::unique_ptr<ug_base> ug_voice_monitor::CreateInstance() const {
  return std::make_unique<ug_voice_monitor>();
}

void ug_voice_monitor::Open() {
  ug_base::Open();
  SetProcessFunction(&ug_voice_monitor::Watch);
  running_ = true;
  QueueRunFunction(Clock() + kFirstLook, &ug_voice_monitor::FirstLook);
}

void ug_voice_monitor::FirstLook(ug_base& generator) {
  static_cast<ug_voice_monitor&>(generator).Evaluate();
}

void ug_voice_monitor::OnStatusChange(uint32_t, connector*, int32_t) { Evaluate(); }

void ug_voice_monitor::Evaluate() {
  countdown_ = Master()->EngineBlockSize();
  running_ = false;
  for (const connector* link : plug(kInputPlug)->Connectors()) {
    if (link->Source()->State() == ST_RUN) running_ = true;
  }
}

void ug_voice_monitor::Watch(int32_t, int32_t count) {
  if (running_) return;
  countdown_ -= count;
  ug_container* voices = Container();
  if (countdown_ >= 0 || voices == nullptr || VoiceGroup() < 0 ||
      VoiceGroup() >= voices->VoiceCount()) {
    return;
  }
  const Voice& watched = voices->voice(VoiceGroup());
  if (watched.held || watched.suspended || watched.note_source == nullptr) return;
  if (Clock() - watched.release_time > kReleaseGrace) {
    watched.note_source->QueueEvent(Clock(), UET_SUSPEND, 0, EventValue(VoiceGroup()), 0, true);
  }
}

}  // namespace ov
