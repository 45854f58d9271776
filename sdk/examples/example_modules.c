/* Two modules of the newer interface in one library (their engine parts;
 * example_panels.c has their panel parts):
 *   "Ov Example Gain": Input x Gain -> Output, asleep while its input is
 *   silent and still;
 *   "Ov MIDI to Text": each MIDI message received becomes its text output
 *   ("90 3C 64") and is sent to the module's panel part; text the panel part
 *   sends becomes the output too.
 * The gain also keeps a log of its last calls, which exampleCallLog() hands
 * out, so that a host can see where its slices were split. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "example_library.h"

/* ---- Call log: {kind (0 process, 1 event), offset or time, count or kind}. */
enum { kLogSize = 64 };
static int32_t call_log[kLogSize][3];
static int32_t call_log_count = 0;

static void LogCall(int32_t kind, int32_t a, int32_t b) {
  if (call_log_count >= kLogSize) return;
  call_log[call_log_count][0] = kind;
  call_log[call_log_count][1] = a;
  call_log[call_log_count][2] = b;
  ++call_log_count;
}

/* Copies up to `capacity` entries of three values to `entries`, clears the log
 * and answers how many there were. */
OV_EXPORT int32_t exampleCallLog(int32_t* entries, int32_t capacity) {
  const int32_t count = call_log_count < capacity ? call_log_count : capacity;
  memcpy(entries, call_log, (size_t)count * sizeof call_log[0]);
  call_log_count = 0;
  return count;
}

/* ---- "Ov Example Gain". */
typedef struct Gain {
  OvModule header;
  OvHostCallback host;
  float* input;
  float gain;
  float* output;
  int32_t block_size;
  bool input_running;
  int32_t idle_left; /* samples of still input before sleeping */
} Gain;

static void GainProcess(void* instance, int32_t offset, int32_t count) {
  Gain* self = (Gain*)instance;
  LogCall(0, offset, count);
  const float* in = self->input + offset;
  float* out = self->output + offset;
  for (int32_t i = 0; i < count; ++i) out[i] = in[i] * self->gain;
  if (self->input_running) return;
  /* A whole engine block of the still result is written before sleeping. */
  self->idle_left -= count;
  if (self->idle_left <= 0) self->host(self, OV_HOST_SLEEP, 0, 0, NULL, 0.0f);
}

static void GainEvent(void* instance, const OvEventRecord* event) {
  Gain* self = (Gain*)instance;
  LogCall(1, event->timeStamp, event->kind);
  if (event->kind != OV_EVENT_STATUS_CHANGE) return;
  intptr_t time = event->timeStamp;
  if (event->parm2 == 0) self->input_running = event->parm1 == OV_STATE_RUN;
  self->idle_left = self->block_size;
  const intptr_t state = self->input_running ? OV_STATE_RUN : OV_STATE_STATIC;
  self->host(self, OV_HOST_TRANSMIT_STATE, 2, state, (void*)time, 0.0f);
}

static intptr_t GainDispatch(void* structure, int32_t opcode, intptr_t index, intptr_t value,
                             void* ptr, float opt) {
  Gain* self = (Gain*)structure;
  (void)opt;
  switch (opcode) {
    case OV_SET_BLOCK_SIZE:
      self->block_size = (int32_t)value;
      self->idle_left = self->block_size;
      return 0;
    case OV_GET_PLUG: {
      OvPlugProperties* plug = (OvPlugProperties*)ptr;
      switch (index) {
        case 0:
          plug->variable = &self->input;
          plug->direction = OV_DIR_IN;
          plug->datatype = OV_DT_AUDIO;
          plug->name = "Input";
          plug->defaultText = "0";
          plug->flags = OV_PLUG_LINEAR_INPUT;
          return 1;
        case 1:
          plug->variable = &self->gain;
          plug->direction = OV_DIR_IN;
          plug->datatype = OV_DT_FLOAT;
          plug->name = "Gain";
          plug->defaultText = "1";
          return 1;
        case 2:
          plug->variable = &self->output;
          plug->direction = OV_DIR_OUT;
          plug->datatype = OV_DT_AUDIO;
          plug->name = "Output";
          plug->defaultText = "0";
          return 1;
        default:
          return 0;
      }
    }
    case OV_CAN_SLEEP:
      return self->input_running ? 0 : 1;
    case OV_CLOSE:
      free(self);
      return 0;
    default:
      return 0;
  }
}

/* ---- "Ov MIDI to Text". */
typedef struct MidiText {
  OvModule header;
  OvHostCallback host;
  char* text; /* the output's text, kept by the host */
} MidiText;

static void MidiTextProcess(void* instance, int32_t offset, int32_t count) {
  (void)instance;
  (void)offset;
  (void)count;
}

static void MidiTextEvent(void* instance, const OvEventRecord* event) {
  MidiText* self = (MidiText*)instance;
  if (event->kind != OV_EVENT_MIDI) return;
  const uint32_t word = (uint32_t)event->parm1;
  char text[16];
  const int length = snprintf(text, sizeof text, "%02X %02X %02X", (unsigned)(word & 0xFF),
                              (unsigned)((word >> 8) & 0xFF), (unsigned)((word >> 16) & 0xFF));
  self->host(self, OV_HOST_SET_TEXT_STATIC, 1, 0, text, 0.0f);
  self->host(self, OV_HOST_SEND_SDK, length, (intptr_t)word, text, 0.0f);
}

static intptr_t MidiTextDispatch(void* structure, int32_t opcode, intptr_t index, intptr_t value,
                                 void* ptr, float opt) {
  MidiText* self = (MidiText*)structure;
  (void)opt;
  switch (opcode) {
    case OV_GET_PLUG: {
      OvPlugProperties* plug = (OvPlugProperties*)ptr;
      if (index == 0) {
        plug->direction = OV_DIR_IN;
        plug->datatype = OV_DT_MIDI;
        plug->name = "MIDI In";
        return 1;
      }
      if (index == 1) {
        plug->variable = &self->text;
        plug->direction = OV_DIR_OUT;
        plug->datatype = OV_DT_TEXT;
        plug->name = "Text";
        return 1;
      }
      return 0;
    }
    case OV_SDK_MESSAGE: {
      /* Text from the panel part: not terminated, so copied bounded. */
      char text[64];
      size_t length = 0;
      if (ptr != NULL && index > 0) {
        length = (size_t)index < sizeof text ? (size_t)index : sizeof text - 1;
        memcpy(text, ptr, length);
      }
      text[length] = '\0';
      (void)value;
      self->host(self, OV_HOST_SET_TEXT_STATIC, 1, 0, text, 0.0f);
      return 0;
    }
    case OV_CAN_SLEEP:
      return 1;
    case OV_CLOSE:
      free(self);
      return 0;
    default:
      return 0;
  }
}

/* ---- Exports. */
OV_EXPORT intptr_t getModuleProperties(int32_t index, OvModuleProperties* properties) {
  switch (index) {
    case kGainIndex:
      properties->name = "Ov Example Gain";
      properties->identifier = "Ov Example Gain";
      properties->about = "Input times Gain";
      return 1;
    case kMidiTextIndex:
      properties->name = "Ov MIDI to Text";
      properties->identifier = "Ov MIDI to Text";
      properties->about = "MIDI messages as text";
      return 1;
    default:
      return 0;
  }
}

OV_EXPORT void* makeModule(int32_t index, int32_t mode, OvHostCallback callback,
                           void* hostHandle) {
  if (index < 0 || index >= kModuleCount) return NULL;
  if (mode == OV_MAKE_PANEL) return MakeExamplePanel(index, callback, hostHandle);
  if (mode != OV_MAKE_ENGINE) return NULL;
  if (index == kGainIndex) {
    Gain* gain = (Gain*)calloc(1, sizeof(Gain));
    if (gain == NULL) return NULL;
    gain->header.magic = OV_MODULE_MAGIC;
    gain->header.hostHandle = (intptr_t)hostHandle;
    gain->header.instance = gain;
    gain->header.dispatcher = GainDispatch;
    gain->header.process = GainProcess;
    gain->header.event = GainEvent;
    gain->host = callback;
    gain->gain = 1.0f;
    return gain;
  }
  MidiText* module = (MidiText*)calloc(1, sizeof(MidiText));
  if (module == NULL) return NULL;
  module->header.magic = OV_MODULE_MAGIC;
  module->header.hostHandle = (intptr_t)hostHandle;
  module->header.instance = module;
  module->header.dispatcher = MidiTextDispatch;
  module->header.process = MidiTextProcess;
  module->header.event = MidiTextEvent;
  module->host = callback;
  return module;
}
