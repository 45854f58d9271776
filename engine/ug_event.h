// The engine's time-stamped event, its kinds and the stream states that
// status-change events carry.
#pragma once

#include <cstdint>

namespace ov {

class ug_base;

// Event kinds. The base generator handles UET_STAT_CHANGE, UET_UI_NOTIFY and
// UET_CALL_FUNCTION; the rest belong to the generators that queue them.
enum ug_event_kind : int32_t {
  UET_STAT_CHANGE = 0,   // p1 state, p2 connector, p3 value snapshot
  UET_SUSPEND = 1,       // p2 voice, from the voice monitor
  UET_MIDI = 2,          // p1 MIDI message word, p2 receiving plug
  UET_RUN_FUNCTION = 3,  // named only
  UET_IO_FUNC = 4,       // named only
  UET_UI_NOTIFY = 5,     // p1 notification kind, p3 value
  UET_PROG_CHANGE = 6,   // p1 program number
  UET_NOTE_ON = 7,       // to a voice's note source
  UET_NOTE_OFF = 8,
  UET_NOTE_RETRIGGER = 9,
  UET_PITCH_BEND = 10,  // note source to itself and its clones
  UET_PRESSURE = 11,
  UET_PITCH_GLIDE = 12,     // MIDI-to-CV internal
  UET_GATE = 14,            // drum trigger to itself
  UET_CONTROLLER = 15,      // p1 controller index, p3 value
  UET_DELAYED_STATE = 19,   // feedback delay to its output half
  UET_SET_PLUG_VALUE = 20,  // p1 plug number, p3 value, p2 text (base handles it)
  UET_CALL_FUNCTION = 21,   // `function` is called with the generator
};

// Stream status of a plug. A static change is one-shot: once sent or
// handled, the plug reads stop again.
enum StreamState : int32_t {
  ST_STOP = 0,
  ST_STATIC = 1,
  ST_RUN = 2,
};

using RunFunction = void (*)(ug_base&);

// One pending event. Records come from the engine's EventPool and are linked
// into exactly one generator's list. Threads: as the list holding it.
struct ug_event {
  uint32_t time_stamp = 0;  // wraps: compare as (int32_t)(a - b)
  int32_t kind = 0;
  int32_t parm1 = 0;
  void* parm2 = nullptr;
  int32_t parm3 = 0;
  RunFunction function = nullptr;  // UET_CALL_FUNCTION only
  bool value_applied = false;      // status change: value already written

  ug_event* previous = nullptr;
  ug_event* next = nullptr;
};

// Events whose middle parameter is a number carry it in the pointer.
inline void* EventValue(int32_t value) {
  return reinterpret_cast<void*>(static_cast<intptr_t>(value));
}
inline int32_t EventValue(const void* parm2) {
  return static_cast<int32_t>(reinterpret_cast<intptr_t>(parm2));
}

// True when sample time a comes before b, across the 32-bit wrap.
constexpr bool TimeBefore(uint32_t a, uint32_t b) { return static_cast<int32_t>(a - b) < 0; }

}  // namespace ov
