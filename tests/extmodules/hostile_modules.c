/* Module libraries that misbehave, one kind per build (HOSTILE_KIND):
 *   1 makeModule answers a structure with the wrong magic;
 *   2 exports none of the three entry points;
 *   3 getModuleProperties never answers 0;
 *   4 a working module "Hostile Caller" whose process call hands the host
 *     callback bad plug numbers, null and foreign structures, and records
 *     the answers (hostileAnswers()); its plug list ends with a record of an
 *     unknown datatype;
 *   5 a module whose properties give no identifier and whose dispatcher
 *     fills the 100-byte name buffers to the brim, unterminated. */
#include <stdlib.h>
#include <string.h>

#include "sdk/orvane_module.h"

#if HOSTILE_KIND != 2

__attribute__((unused)) static OvModule* NewModule(void* hostHandle, OvDispatcher dispatcher, OvProcessFunction process,
                           OvEventFunction event, size_t size) {
  OvModule* module = (OvModule*)calloc(1, size);
  module->magic = OV_MODULE_MAGIC;
  module->hostHandle = (intptr_t)hostHandle;
  module->instance = module;
  module->dispatcher = dispatcher;
  module->process = process;
  module->event = event;
  return module;
}

__attribute__((unused)) static void NoProcess(void* instance, int32_t offset, int32_t count) {
  (void)instance;
  (void)offset;
  (void)count;
}

__attribute__((unused)) static void NoEvent(void* instance, const OvEventRecord* event) {
  (void)instance;
  (void)event;
}

#endif

#if HOSTILE_KIND == 1

static intptr_t Dispatch(void* s, int32_t op, intptr_t i, intptr_t v, void* p, float o) {
  (void)op, (void)i, (void)v, (void)p, (void)o;
  free(s);
  return 0;
}

OV_EXPORT intptr_t getModuleProperties(int32_t index, OvModuleProperties* properties) {
  if (index > 0) return 0;
  properties->name = properties->identifier = "Wrong Magic";
  return 1;
}

static OvModule wrong;

OV_EXPORT void* makeModule(int32_t index, int32_t mode, OvHostCallback callback, void* handle) {
  (void)index, (void)mode, (void)callback, (void)handle, (void)Dispatch;
  wrong.magic = 0x12345678;
  return &wrong;
}

#elif HOSTILE_KIND == 2

OV_EXPORT int notAModule(void) { return 0; }

#elif HOSTILE_KIND == 3

static char names[300][16];

static intptr_t Dispatch(void* s, int32_t op, intptr_t i, intptr_t v, void* p, float o) {
  (void)i, (void)v, (void)p, (void)o;
  if (op == OV_CLOSE) free(s);
  return 0;
}

OV_EXPORT intptr_t getModuleProperties(int32_t index, OvModuleProperties* properties) {
  if (index < 0 || index >= 300) return 1; /* answers on and on */
  names[index][0] = 'E';
  names[index][1] = (char)('0' + index / 100);
  names[index][2] = (char)('0' + index / 10 % 10);
  names[index][3] = (char)('0' + index % 10);
  properties->name = properties->identifier = names[index];
  return 1;
}

OV_EXPORT void* makeModule(int32_t index, int32_t mode, OvHostCallback callback, void* handle) {
  (void)index, (void)callback;
  if (mode != OV_MAKE_ENGINE) return NULL;
  return NewModule(handle, Dispatch, NoProcess, NoEvent, sizeof(OvModule));
}

#elif HOSTILE_KIND == 4

typedef struct Caller {
  OvModule header;
  OvHostCallback host;
  float* output;
} Caller;

enum { kAnswers = 16 };
static intptr_t answers[kAnswers];

/* The answers of the last process call. */
OV_EXPORT const intptr_t* hostileAnswers(void) { return answers; }

static void CallerProcess(void* instance, int32_t offset, int32_t count) {
  Caller* self = (Caller*)instance;
  OvHostCallback host = self->host;
  OvModule foreign;
  memset(&foreign, 0, sizeof foreign);
  int n = 0;
  char text[8] = "x";
  answers[n++] = host(self, OV_HOST_PLUG_SAMPLES, 99, 0, NULL, 0.0f);
  answers[n++] = host(self, OV_HOST_PLUG_SAMPLES, -1, 0, NULL, 0.0f);
  answers[n++] = host(self, OV_HOST_IS_CONNECTED, 1000000, 0, NULL, 0.0f);
  host(self, OV_HOST_TRANSMIT_STATE, 7, OV_STATE_RUN, NULL, 0.0f);
  host(self, OV_HOST_TRANSMIT_STATE, 0, 99, NULL, 0.0f); /* no such state */
  host(self, OV_HOST_SET_TEXT, 0, (intptr_t)text, NULL, 0.0f); /* plug 0 is audio */
  host(self, OV_HOST_SET_TEXT_STATIC, 5, 0, text, 0.0f);
  host(self, OV_HOST_SEND_MIDI, 0, 0x90, NULL, 0.0f); /* not a MIDI output */
  foreign.hostHandle = self->header.hostHandle; /* a handle that is not its own */
  answers[n++] = host(&foreign, OV_HOST_CLOCK, 0, 0, NULL, 0.0f);
  foreign.hostHandle = 123456789;
  answers[n++] = host(&foreign, OV_HOST_PLUG_COUNT, 0, 0, NULL, 0.0f);
  answers[n++] = host(NULL, OV_HOST_PLUG_COUNT, 0, 0, NULL, 0.0f);
  answers[n++] = host(self, OV_HOST_PLUG_COUNT, 0, 0, NULL, 0.0f);
  answers[n++] = host(self, OV_HOST_SEND_SDK, -5, 0, NULL, 0.0f);
  answers[n++] = host(self, 12345, 0, 0, NULL, 0.0f);
  {
    /* A status change would carry a host object: refused. */
    OvQueuedEvent event = {0, OV_EVENT_STATUS_CHANGE, 2, 0x1234, 0};
    host(self, OV_HOST_QUEUE_EVENT, 0, 0, &event, 0.0f);
  }
  {
    void* table = NULL;
    answers[n++] = host(self, OV_HOST_SHARED_TABLE, (intptr_t)&table, 64, "hostile new", 1.0f);
  }
  for (int32_t i = offset; i < offset + count; ++i) self->output[i] = 0.25f;
}

static intptr_t CallerDispatch(void* s, int32_t op, intptr_t i, intptr_t v, void* p, float o) {
  Caller* self = (Caller*)s;
  (void)v, (void)o;
  if (op == OV_GET_PLUG) {
    OvPlugProperties* plug = (OvPlugProperties*)p;
    if (i == 0) {
      plug->variable = &self->output;
      plug->direction = OV_DIR_OUT;
      plug->datatype = OV_DT_AUDIO;
      plug->name = "Out";
      return 1;
    }
    plug->direction = OV_DIR_IN;
    plug->datatype = 7; /* no such datatype: the list ends before it */
    plug->name = "Bad";
    return 1;
  }
  if (op == OV_CLOSE) free(s);
  return 0;
}

OV_EXPORT intptr_t getModuleProperties(int32_t index, OvModuleProperties* properties) {
  if (index > 0) return 0;
  properties->name = properties->identifier = "Hostile Caller";
  return 1;
}

OV_EXPORT void* makeModule(int32_t index, int32_t mode, OvHostCallback callback, void* handle) {
  (void)index;
  if (mode != OV_MAKE_ENGINE) return NULL;
  Caller* caller =
      (Caller*)NewModule(handle, CallerDispatch, CallerProcess, NoEvent, sizeof(Caller));
  caller->host = callback;
  return caller;
}

#elif HOSTILE_KIND == 5

static intptr_t Dispatch(void* s, int32_t op, intptr_t i, intptr_t v, void* p, float o) {
  (void)i, (void)v, (void)o;
  if (op == OV_GET_NAME) memset(p, 'N', 100);
  if (op == OV_GET_IDENTIFIER) memset(p, 'I', 100);
  if (op == OV_CLOSE) free(s);
  return 0;
}

OV_EXPORT void* makeModule(int32_t index, int32_t mode, OvHostCallback callback, void* handle) {
  (void)index, (void)callback;
  if (mode != OV_MAKE_ENGINE) return NULL;
  return NewModule(handle, Dispatch, NoProcess, NoEvent, sizeof(OvModule));
}

#endif
