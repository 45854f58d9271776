/* One module of the older interface: "Ov Legacy Invert", Output = -Input.
 * It names itself through the dispatcher (no getModuleProperties), counts
 * the events handed to it before each process call, and asks the host's
 * version while main() runs. exampleLegacyLog() hands out, per process call,
 * how many events came before it. */
#include <stdlib.h>
#include <string.h>

#include "sdk/orvane_module.h"

typedef struct Invert {
  OvModuleV1 header;
  OvHostCallback host;
  float* input;
  float* output;
  int32_t events_before;
} Invert;

enum { kLogSize = 64 };
static int32_t log_entries[kLogSize][2]; /* {events before, sample count} */
static int32_t log_count = 0;
static intptr_t host_version = 0;

/* Copies up to `capacity` pairs to `entries`, clears the log and answers how
 * many there were. */
OV_EXPORT int32_t exampleLegacyLog(int32_t* entries, int32_t capacity) {
  const int32_t count = log_count < capacity ? log_count : capacity;
  memcpy(entries, log_entries, (size_t)count * sizeof log_entries[0]);
  log_count = 0;
  return count;
}

/* The host's answer to OV_HOST_VERSION during the last main(). */
OV_EXPORT intptr_t exampleLegacyHostVersion(void) { return host_version; }

static void InvertProcess(void* structure, int32_t offset, int32_t count) {
  Invert* self = (Invert*)structure;
  if (log_count < kLogSize) {
    log_entries[log_count][0] = self->events_before;
    log_entries[log_count][1] = count;
    ++log_count;
  }
  self->events_before = 0;
  for (int32_t i = offset; i < offset + count; ++i) self->output[i] = -self->input[i];
}

static void CopyText(void* buffer, const char* text) {
  /* The host's buffer holds 100 bytes. */
  strncpy((char*)buffer, text, 99);
}

static intptr_t InvertDispatch(void* structure, int32_t opcode, intptr_t index, intptr_t value,
                               void* ptr, float opt) {
  Invert* self = (Invert*)structure;
  (void)value;
  (void)opt;
  switch (opcode) {
    case OV_GET_NAME:
      CopyText(ptr, "Ov Legacy Invert");
      return 0;
    case OV_GET_IDENTIFIER:
      CopyText(ptr, "Ov Legacy Invert");
      return 0;
    case OV_GET_PLUG: {
      OvPlugProperties* plug = (OvPlugProperties*)ptr;
      if (index < 0 || index > 1) return 0;
      plug->variable = index == 0 ? (void*)&self->input : (void*)&self->output;
      plug->direction = index == 0 ? OV_DIR_IN : OV_DIR_OUT;
      plug->datatype = OV_DT_AUDIO;
      plug->name = index == 0 ? "Input" : "Output";
      plug->defaultText = "0";
      plug->flags = OV_PLUG_LINEAR_INPUT;
      return 1;
    }
    case OV_EVENT:
      ++self->events_before;
      return 0;
    case OV_CLOSE:
      free(self);
      return 0;
    default:
      return 0;
  }
}

OV_DEFINE_MAIN(host) {
  Invert* self = (Invert*)calloc(1, sizeof(Invert));
  if (self == NULL) return NULL;
  self->header.magic = OV_MODULE_MAGIC;
  self->header.dispatcher = InvertDispatch;
  self->header.process = InvertProcess;
  self->host = host;
  host_version = host(&self->header, OV_HOST_VERSION, 0, 0, NULL, 0.0f);
  return &self->header;
}
