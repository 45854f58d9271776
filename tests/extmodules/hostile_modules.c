/* Module libraries that misbehave, one kind per build (HOSTILE_KIND):
 *   1 makeModule answers a structure with the wrong magic;
 *   2 exports none of the three entry points;
 *   3 getModuleProperties never answers 0;
 *   4 a working module "Hostile Caller" whose process call hands the host
 *     callback bad plug numbers, null and foreign structures, and records
 *     the answers (hostileAnswers()); its plug list ends with a record of an
 *     unknown datatype;
 *   5 a module whose properties give no identifier and whose dispatcher
 *     fills the 100-byte name buffers to the brim, unterminated;
 *   6 a working module "Hostile Panel" whose panel part hands the panel host
 *     callback and the canvas bad plug indexes, visual objects, sizes,
 *     pointers and font handles when it opens and paints, and records the
 *     answers (hostilePanelAnswers()).
 *   7 a working module "Table Keeper": at open it writes a number of its own
 *     into the shared table "keeper" and then plays 1 while the table holds
 *     it, -1 once another module wrote over it; its panel part asks for idle
 *     turns and counts them (keeperIdleTurns(), all panels together), each
 *     leaving after its own third. */
#include <stdint.h>
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

#elif HOSTILE_KIND == 6

/* The engine part: plugs 0 "Level" (float in), 1 "Label" (text in), 2 "Out"
 * (audio out), which stays silent. */
typedef struct Quiet {
  OvModule header;
  float level;
  char* label;
  float* output;
} Quiet;

static void QuietProcess(void* instance, int32_t offset, int32_t count) {
  Quiet* self = (Quiet*)instance;
  for (int32_t i = offset; i < offset + count; ++i) self->output[i] = 0.0f;
}

static intptr_t QuietDispatch(void* s, int32_t op, intptr_t i, intptr_t v, void* p, float o) {
  Quiet* self = (Quiet*)s;
  (void)v, (void)o;
  if (op == OV_GET_PLUG) {
    OvPlugProperties* plug = (OvPlugProperties*)p;
    switch (i) {
      case 0:
        plug->variable = &self->level;
        plug->direction = OV_DIR_IN;
        plug->datatype = OV_DT_FLOAT;
        plug->name = "Level";
        plug->defaultText = "0";
        return 1;
      case 1:
        plug->variable = &self->label;
        plug->direction = OV_DIR_IN;
        plug->datatype = OV_DT_TEXT;
        plug->name = "Label";
        return 1;
      case 2:
        plug->variable = &self->output;
        plug->direction = OV_DIR_OUT;
        plug->datatype = OV_DT_AUDIO;
        plug->name = "Out";
        plug->defaultText = "0";
        return 1;
      default:
        return 0;
    }
  }
  if (op == OV_CLOSE) free(s);
  return 0;
}

/* The panel part. Every answer it records comes from a call with a bad
 * argument, so each should be 0. In order, opening (answers 0 to 66):
 *   0-23   for plug index -1, then 1000, then the plug count (opcode 5's
 *          answer), opcodes 6 (ptr "x"), 7, 9, 14 (ptr an 8-byte buffer),
 *          15 (value 1, opt 1), 16 (ptr "x"), 17 (value 8, ptr room for 8
 *          UTF-16 units) and 26;
 *   24-29  for visual object 0, then 1, then a pointer to a local: opcode 10
 *          (value "normal", ptr a font record), opcode 12;
 *   30-38  for drawing records whose visual object is 0, then 1, then a
 *          pointer to a local: opcodes 18, 19, 20;
 *   39-41  opcodes 18, 19, 20 with a null drawing record;
 *   42-49  null ptr: 6 (plug 1), 8 (index 0, value 0), 10 (visual object 0,
 *          value "normal"), 14 (plug 0), 16 (plug 1), 17 (plug 1, value 8),
 *          23 (value 8), 24 (value 8);
 *   50-53  short rooms, on the heap: 17 (plug 1) with value 1 and room for 1
 *          unit; 23 with value 2 and room for 2; 23 with value -1 and room
 *          for 2; 24 with value 4 and the unterminated name "abcd" in 4 units;
 *   54-56  opcode 3 with (-5, -7), with (2^40, 2^40), then with (48, 24),
 *          which leaves a size the host draws;
 *   57-60  opcode 2 with count -1 and 2^40 (ptr "abc"), 2^20 (ptr "abc"),
 *          4 (null ptr);
 *   61-63  opcodes 27, 12345 and -1;
 *   64-66  opcode 5 with a null first argument, a foreign panel structure
 *          carrying this one's host handle, and one carrying 123456789.
 * Each paint then records (answers 67 to 76, replacing the last paint's):
 *   67, 68 opcode 10 for the drawing's visual object with a null category
 *          name, then with "normal" and a null ptr;
 *   69-72  drawText, then textWidth, with handles 0 and 12345;
 *   73, 74 drawText, then textWidth, with the "normal" font and null text;
 *   75, 76 drawText, then textWidth, with the "normal" font through a copy
 *          of the canvas record whose host field is null.
 * and without recording (their answers are widths) draws with the "normal"
 * font at (INT32_MIN, INT32_MIN) and (INT32_MAX, INT32_MAX), draws and
 * measures 4096 bytes that end inside a UTF-8 sequence and have no
 * terminator, and draws through a copy of the canvas record whose clip
 * rectangle and size say 100000 pixels each way. */
typedef struct HostilePanel {
  OvPanel header;
  OvHostCallback host;
} HostilePanel;

enum { kPanelAnswers = 96, kLongText = 4096 };
static intptr_t panel_answers[kPanelAnswers];
static int32_t panel_answer_count = 0;
static int32_t open_answer_count = 0;

/* The answers of the last opening and the paint after it. */
OV_EXPORT const intptr_t* hostilePanelAnswers(int32_t* count) {
  *count = panel_answer_count;
  return panel_answers;
}

static void Record(intptr_t answer) {
  if (panel_answer_count < kPanelAnswers) panel_answers[panel_answer_count++] = answer;
}

static void HostileOpen(HostilePanel* self) {
  OvHostCallback host = self->host;
  OvFontInfo font;
  int64_t value = 0;
  uint16_t wide[8];
  int local = 0;
  panel_answer_count = 0;

  const intptr_t plugs[3] = {-1, 1000, host(self, OV_PANEL_HOST_PLUG_COUNT, 0, 0, NULL, 0.0f)};
  static const int32_t kPlugOpcodes[8] = {6, 7, 9, 14, 15, 16, 17, 26};
  for (int p = 0; p < 3; ++p) {
    for (int k = 0; k < 8; ++k) {
      const int32_t op = kPlugOpcodes[k];
      void* ptr = op == 6 || op == 16 ? (void*)"x"
                  : op == 14          ? (void*)&value
                  : op == 17          ? (void*)wide
                                      : NULL;
      Record(host(self, op, plugs[p], op == 17 ? 8 : 1, ptr, 1.0f));
    }
  }

  void* const objects[3] = {NULL, (void*)1, &local};
  for (int k = 0; k < 3; ++k) {
    Record(host(self, OV_PANEL_HOST_FONT, (intptr_t)objects[k], (intptr_t) "normal", &font, 0.0f));
    Record(host(self, OV_PANEL_HOST_WINDOW, (intptr_t)objects[k], 0, NULL, 0.0f));
  }
  for (int k = 0; k < 3; ++k) {
    OvDrawing drawing = {48, 24, objects[k]};
    for (int32_t op = OV_PANEL_HOST_CAPTURE; op <= OV_PANEL_HOST_HAS_CAPTURE; ++op)
      Record(host(self, op, 0, 0, &drawing, 0.0f));
  }
  for (int32_t op = OV_PANEL_HOST_CAPTURE; op <= OV_PANEL_HOST_HAS_CAPTURE; ++op)
    Record(host(self, op, 0, 0, NULL, 0.0f));

  Record(host(self, OV_PANEL_HOST_SET_PLUG_TEXT, 1, 0, NULL, 0.0f));
  Record(host(self, OV_PANEL_HOST_ADD_PLUG, 0, 0, NULL, 0.0f));
  Record(host(self, OV_PANEL_HOST_FONT, 0, (intptr_t) "normal", NULL, 0.0f));
  Record(host(self, OV_PANEL_HOST_PLUG_VALUE, 0, 0, NULL, 0.0f));
  Record(host(self, OV_PANEL_HOST_SET_PLUG_EXTRA, 1, 0, NULL, 0.0f));
  Record(host(self, OV_PANEL_HOST_PLUG_EXTENSION_W, 1, 8, NULL, 0.0f));
  Record(host(self, OV_PANEL_HOST_LIBRARY_PATH_W, 0, 8, NULL, 0.0f));
  Record(host(self, OV_PANEL_HOST_RESOLVE_FILE_W, 0, 8, NULL, 0.0f));

  /* On the heap, so that a write or read past them is caught. */
  uint16_t* one = (uint16_t*)malloc(sizeof(uint16_t));
  uint16_t* two = (uint16_t*)malloc(2 * sizeof(uint16_t));
  uint16_t* name = (uint16_t*)malloc(4 * sizeof(uint16_t));
  if (one != NULL && two != NULL && name != NULL) {
    for (int k = 0; k < 4; ++k) name[k] = (uint16_t)('a' + k);
    Record(host(self, OV_PANEL_HOST_PLUG_EXTENSION_W, 1, 1, one, 0.0f));
    Record(host(self, OV_PANEL_HOST_LIBRARY_PATH_W, 0, 2, two, 0.0f));
    Record(host(self, OV_PANEL_HOST_LIBRARY_PATH_W, 0, -1, two, 0.0f));
    Record(host(self, OV_PANEL_HOST_RESOLVE_FILE_W, 0, 4, name, 0.0f));
  }
  free(one);
  free(two);
  free(name);

  const intptr_t huge = (intptr_t)1 << 40;
  Record(host(self, OV_PANEL_HOST_SET_SIZE, -5, -7, NULL, 0.0f));
  Record(host(self, OV_PANEL_HOST_SET_SIZE, huge, huge, NULL, 0.0f));
  Record(host(self, OV_PANEL_HOST_SET_SIZE, 48, 24, NULL, 0.0f));

  Record(host(self, OV_PANEL_HOST_SEND_SDK, -1, 0, "abc", 0.0f));
  Record(host(self, OV_PANEL_HOST_SEND_SDK, huge, 0, "abc", 0.0f));
  Record(host(self, OV_PANEL_HOST_SEND_SDK, (intptr_t)1 << 20, 0, "abc", 0.0f));
  Record(host(self, OV_PANEL_HOST_SEND_SDK, 4, 0, NULL, 0.0f));

  Record(host(self, 27, 0, 0, NULL, 0.0f));
  Record(host(self, 12345, 0, 0, NULL, 0.0f));
  Record(host(self, -1, 0, 0, NULL, 0.0f));

  OvPanel foreign = self->header;
  Record(host(NULL, OV_PANEL_HOST_PLUG_COUNT, 0, 0, NULL, 0.0f));
  Record(host(&foreign, OV_PANEL_HOST_PLUG_COUNT, 0, 0, NULL, 0.0f));
  foreign.hostHandle = 123456789;
  Record(host(&foreign, OV_PANEL_HOST_PLUG_COUNT, 0, 0, NULL, 0.0f));
  open_answer_count = panel_answer_count;
}

static void HostilePaint(HostilePanel* self, const OvCanvas* canvas, const OvDrawing* drawing) {
  OvHostCallback host = self->host;
  const intptr_t object = (intptr_t)drawing->visualObject;
  OvFontInfo info;
  panel_answer_count = open_answer_count;
  Record(host(self, OV_PANEL_HOST_FONT, object, 0, &info, 0.0f));
  Record(host(self, OV_PANEL_HOST_FONT, object, (intptr_t) "normal", NULL, 0.0f));
  const intptr_t font = host(self, OV_PANEL_HOST_FONT, object, (intptr_t) "normal", &info, 0.0f);

  Record(canvas->drawText(canvas, 0, 2, 2, "x"));
  Record(canvas->drawText(canvas, 12345, 2, 2, "x"));
  Record(canvas->textWidth(canvas, 0, "x"));
  Record(canvas->textWidth(canvas, 12345, "x"));
  Record(canvas->drawText(canvas, font, 2, 2, NULL));
  Record(canvas->textWidth(canvas, font, NULL));
  OvCanvas copy = *canvas;
  copy.host = NULL;
  Record(canvas->drawText(&copy, font, 2, 2, "x"));
  Record(canvas->textWidth(&copy, font, "x"));

  canvas->drawText(canvas, font, INT32_MIN, INT32_MIN, "x");
  canvas->drawText(canvas, font, INT32_MAX, INT32_MAX, "x");
  char* text = (char*)malloc(kLongText);
  if (text != NULL) {
    memset(text, 'W', kLongText - 1);
    text[kLongText - 1] = (char)0xE2; /* the first of three bytes */
    canvas->drawText(canvas, font, 2, 2, text);
    canvas->textWidth(canvas, font, text);
    free(text);
  }
  OvCanvas wide = *canvas;
  wide.clipLeft = wide.clipTop = -100000;
  wide.clipRight = wide.clipBottom = wide.width = wide.height = 100000;
  canvas->drawText(&wide, font, -40, -40, "WWWWWWWWWWWWWWWWWWWWWWWWWWWWWW");
}

static intptr_t HostilePanelDispatch(void* s, int32_t op, intptr_t i, intptr_t v, void* p,
                                     float o) {
  HostilePanel* self = (HostilePanel*)s;
  (void)v, (void)o;
  if (op == OV_PANEL_OPEN) HostileOpen(self);
  if (op == OV_PANEL_PAINT && i != 0 && p != NULL)
    HostilePaint(self, (const OvCanvas*)i, (const OvDrawing*)p);
  if (op == OV_PANEL_CLOSE) free(self);
  return 0;
}

OV_EXPORT intptr_t getModuleProperties(int32_t index, OvModuleProperties* properties) {
  if (index > 0) return 0;
  properties->name = properties->identifier = "Hostile Panel";
  return 1;
}

OV_EXPORT void* makeModule(int32_t index, int32_t mode, OvHostCallback callback, void* handle) {
  if (index != 0) return NULL;
  if (mode == OV_MAKE_ENGINE)
    return NewModule(handle, QuietDispatch, QuietProcess, NoEvent, sizeof(Quiet));
  if (mode != OV_MAKE_PANEL) return NULL;
  HostilePanel* panel = (HostilePanel*)calloc(1, sizeof(HostilePanel));
  if (panel == NULL) return NULL;
  panel->header.magic = OV_PANEL_MAGIC;
  panel->header.dispatcher = HostilePanelDispatch;
  panel->header.hostHandle = (intptr_t)handle;
  panel->host = callback;
  return panel;
}

#elif HOSTILE_KIND == 7

typedef struct Keeper {
  OvModule header;
  OvHostCallback host;
  float* output;
  int32_t* table;
  int32_t mark;
} Keeper;

typedef struct KeeperPanel {
  OvPanel header;
  OvHostCallback host;
  int turns; /* this panel's own, so that earlier panels in the process do not count */
} KeeperPanel;

static int32_t marks; /* one number for each module opened in the process */
static int idle_turns;

OV_EXPORT int keeperIdleTurns(void) { return idle_turns; }

static void KeeperProcess(void* instance, int32_t offset, int32_t count) {
  Keeper* self = (Keeper*)instance;
  const float kept = self->table != NULL && self->table[0] == self->mark ? 1.0f : -1.0f;
  for (int32_t i = offset; i < offset + count; ++i) self->output[i] = kept;
}

static intptr_t KeeperDispatch(void* s, int32_t op, intptr_t i, intptr_t v, void* p, float o) {
  Keeper* self = (Keeper*)s;
  (void)v, (void)o;
  if (op == OV_GET_PLUG && i == 0) {
    OvPlugProperties* plug = (OvPlugProperties*)p;
    plug->variable = &self->output;
    plug->direction = OV_DIR_OUT;
    plug->datatype = OV_DT_AUDIO;
    plug->name = "Out";
    return 1;
  }
  if (op == OV_OPEN) {
    self->mark = __atomic_add_fetch(&marks, 1, __ATOMIC_RELAXED);
    if (self->host(self, OV_HOST_SHARED_TABLE, (intptr_t)&self->table, 1, "keeper", 1.0f) &&
        self->table != NULL) {
      self->table[0] = self->mark;
    }
  }
  if (op == OV_CLOSE) free(s);
  return 0;
}

static intptr_t KeeperPanelDispatch(void* s, int32_t op, intptr_t i, intptr_t v, void* p,
                                    float o) {
  KeeperPanel* self = (KeeperPanel*)s;
  (void)i, (void)v, (void)p, (void)o;
  if (op == OV_PANEL_OPEN) self->host(self, OV_PANEL_HOST_IDLE, 1, 0, NULL, 0.0f);
  if (op == OV_PANEL_IDLE) {
    ++idle_turns;
    return ++self->turns < 3;
  }
  if (op == OV_PANEL_CLOSE) free(self);
  return 0;
}

OV_EXPORT intptr_t getModuleProperties(int32_t index, OvModuleProperties* properties) {
  if (index > 0) return 0;
  properties->name = properties->identifier = "Table Keeper";
  return 1;
}

OV_EXPORT void* makeModule(int32_t index, int32_t mode, OvHostCallback callback, void* handle) {
  if (index != 0) return NULL;
  if (mode == OV_MAKE_ENGINE) {
    Keeper* keeper =
        (Keeper*)NewModule(handle, KeeperDispatch, KeeperProcess, NoEvent, sizeof(Keeper));
    if (keeper != NULL) keeper->host = callback;
    return keeper;
  }
  if (mode != OV_MAKE_PANEL) return NULL;
  KeeperPanel* panel = (KeeperPanel*)calloc(1, sizeof(KeeperPanel));
  if (panel == NULL) return NULL;
  panel->header.magic = OV_PANEL_MAGIC;
  panel->header.dispatcher = KeeperPanelDispatch;
  panel->header.hostHandle = (intptr_t)handle;
  panel->host = callback;
  return panel;
}

#endif
