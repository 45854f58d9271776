// The generator's slice loop, event queueing and handling, and the standard
// process functions (static fill and sleep).
#include <algorithm>

#include "engine/audio_master.h"
#include "engine/ug_base.h"

namespace ov {

ug_event* ug_base::NewEvent(uint32_t time, int32_t kind, int32_t parm1, void* parm2,
                            int32_t parm3) {
  if (Pool() == nullptr) return nullptr;
  ug_event* event = Pool()->Acquire();
  if (event == nullptr) {
    if (master_ != nullptr) master_->NoteLostEvent(*this);
    return nullptr;
  }
  event->time_stamp = time;
  event->kind = kind;
  event->parm1 = parm1;
  event->parm2 = parm2;
  event->parm3 = parm3;
  return event;
}

void ug_base::Enqueue(ug_event* event, bool wake) {
  if (wake && sleeping_ && (flags_ & UGF_SUSPENDED) == 0) Wake();
  InsertEvent(event);
}

bool ug_base::QueueEvent(uint32_t time, int32_t kind, int32_t parm1, void* parm2, int32_t parm3,
                         bool wake) {
  ug_event* event = NewEvent(time, kind, parm1, parm2, parm3);
  if (event == nullptr) return false;
  Enqueue(event, wake);
  return true;
}

bool ug_base::QueueProgramChange(uint32_t time, int32_t program) {
  return QueueEvent(time, UET_PROG_CHANGE, program, nullptr, 0, true);
}

bool ug_base::QueueRunFunction(uint32_t time, RunFunction function) {
  ug_event* event = NewEvent(time, UET_CALL_FUNCTION, 0, nullptr, 0);
  if (event == nullptr) return false;
  event->function = function;
  Enqueue(event, true);
  return true;
}

void ug_base::QueueMidi(uint32_t time, uint32_t message, UPlug* receiver) {
  QueueEvent(time, UET_MIDI, static_cast<int32_t>(message), receiver, 0, true);
}

void ug_base::QueueStatusChange(uint32_t time, connector* link, int32_t state) {
  const int32_t snapshot = link->Source()->Snapshot();
  bool wake = true;
  if ((flags_ & UGF_SUSPENDED) != 0) {
    // Not woken: the backlog per connector shrinks to the latest change
    // before the current cell.
    wake = false;
    PruneStatusBacklog(link, master_->CellStart());
  }
  QueueEvent(time, UET_STAT_CHANGE, state, link, snapshot, wake);
}

void ug_base::SendMidi(const UPlug& output, uint32_t time, uint32_t message) {
  const uint32_t status = message & 0xFF;
  for (connector* link : output.Connectors()) {
    UPlug* input = link->Destination();
    const int16_t channel = input->HasValue() ? input->MidiInput().channel : int16_t{-1};
    if (channel == -1 || static_cast<uint32_t>(channel) == (status & 0x0F) || status >= 0xF0) {
      input->Owner().QueueMidi(time, message, input);
    }
  }
}

void ug_base::CatchUp(uint32_t time) {
  RestampEventsBefore(time);
  clock_ = time;
}

void ug_base::Process(int32_t frames) {
  if (frames <= 0) return;
  const uint32_t end = clock_ + static_cast<uint32_t>(frames);
  int32_t position = static_cast<int32_t>(master_->SampleClock() - master_->CellStart());
  int32_t remaining = frames;
  while (const ug_event* first = FirstEvent()) {
    // An event stamped before the clock acts at the clock.
    const int32_t until = std::max(static_cast<int32_t>(first->time_stamp - clock_), 0);
    const int32_t run = std::min(until, remaining);
    if (run > 0) {
      (this->*process_function_)(position, run);
      clock_ += static_cast<uint32_t>(run);
      position += run;
      remaining -= run;
      if (remaining == 0) return;  // the rest wait for a later slice
    }
    HandleDueEvents();
  }
  (this->*process_function_)(position, remaining);
  clock_ = end;
}

void ug_base::HandleDueEvents() {
  // Every value that changes at this time is visible before any handler runs.
  for (ug_event* event = Head(); event != nullptr && Due(*event); event = event->next) {
    ApplyStatusValue(*event);
  }
  while (FirstEvent() != nullptr && Due(*FirstEvent())) {
    ug_event* event = TakeFirstEvent();
    ApplyStatusValue(*event);  // queued by a handler at this very time
    HandleEvent(*event);
    ReleaseEvent(event);
  }
}

void ug_base::ApplyStatusValue(ug_event& event) {
  if (event.kind != UET_STAT_CHANGE || event.value_applied) return;
  event.value_applied = true;
  const connector& link = *static_cast<const connector*>(event.parm2);
  UPlug& input = *link.Destination();
  const int32_t datatype = input.Datatype();
  if (datatype == DT_TEXT || datatype == DT_DOUBLE) {
    input.CopyValueFrom(*link.Source());
  } else {
    input.ApplySnapshot(event.parm3);
  }
}

void ug_base::HandleEvent(ug_event& event) {
  switch (event.kind) {
    case UET_STAT_CHANGE: {
      connector* link = static_cast<connector*>(event.parm2);
      UPlug& input = *link->Destination();
      input.SetState(event.parm1);
      OnStatusChange(clock_, link, event.parm1);
      if (event.parm1 == ST_STATIC) input.SetState(ST_STOP);  // one-shot
      break;
    }
    case UET_UI_NOTIFY:
      OnNotify(event.parm1, event.parm3);
      break;
    case UET_SET_PLUG_VALUE:
      SetPlugValue(event);
      break;
    case UET_CALL_FUNCTION:
      if (event.function != nullptr) event.function(*this);
      break;
    default:
      break;
  }
}

void ug_base::SetPlugValue(const ug_event& event) {
  if (event.parm1 < 0 || event.parm1 >= PlugCount()) return;
  UPlug& target = *plugs_[event.parm1];
  if (target.Datatype() == DT_TEXT) {
    if (event.parm2 != nullptr) target.SetTextValue(*static_cast<const std::string*>(event.parm2));
  } else {
    target.ApplySnapshot(event.parm3);
  }
  if (target.Direction() == DR_OUT) target.Transmit(clock_, ST_STATIC);
}

void ug_base::OnStatusChange(uint32_t, connector*, int32_t) {}

void ug_base::OnNotify(int32_t kind, int32_t) {
  if (kind != kNotifyStaticPending) return;
  for (const auto& plug : plugs_) {
    if (plug->Direction() != DR_OUT || (plug->Flags() & kPlugFlagStaticPending) == 0) continue;
    plug->Transmit(clock_, ST_STATIC);
    plug->SetFlags(plug->Flags() & ~kPlugFlagStaticPending);
  }
}

bool ug_base::CanSleep() const { return !HasEvents(); }

void ug_base::EnterStatic() {
  saved_process_function_ = process_function_;
  ResetStaticCountdown();
  process_function_ = &ug_base::FirstStaticSample;
}

void ug_base::ResetStaticCountdown() { static_countdown_ = EngineBlockSize(); }

void ug_base::DoNothing(int32_t, int32_t) {}

void ug_base::SleepWhenIdle(int32_t, int32_t) {
  if (CanSleep() && !HasEvents() && !sleeping_) Sleep();
}

void ug_base::FirstStaticSample(int32_t position, int32_t count) {
  (this->*saved_process_function_)(position, 1);
  process_function_ = &ug_base::StaticFill;
  if (count > 1) StaticFill(position + 1, count - 1);
}

void ug_base::StaticFill(int32_t position, int32_t count) {
  const int32_t block = EngineBlockSize();
  const int32_t previous = (position + block - 1) % block;
  const int32_t filled = std::min(count, static_countdown_);
  for (const auto& plug : plugs_) {
    if (plug->Direction() != DR_OUT || !plug->IsAudio()) continue;
    float* data = plug->Data();
    FillSamples(data, position, filled, data[previous]);
  }
  static_countdown_ -= filled;
  if (static_countdown_ > 0) return;
  // One whole engine block now holds the constant: nothing left to write.
  process_function_ = &ug_base::SleepWhenIdle;
  if (count > filled) SleepWhenIdle(position + filled, count - filled);
}

}  // namespace ov
