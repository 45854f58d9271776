/* orvane_module.h - the interface between Orvane and external module
 * libraries ("ovm" and "ovp" files), for 64-bit Linux (LP64).
 *
 * A library offers one or more modules. The newer interface exports
 * getModuleProperties() and makeModule(); the older one exports main(), one
 * module per library. Orvane calls a module's dispatcher, process and event
 * functions; the module calls back through the host callback it was given.
 *
 * Every index, value and result is an intptr_t, because addresses travel in
 * them. Records keep 32-bit integers and pointer-sized addresses; the module
 * and panel structures give every field a pointer-sized slot. sdk/README.md
 * describes the calls, their threads and where libraries are looked for.
 *
 * Usable from C (C11) and C++. */
#ifndef ORVANE_MODULE_H
#define ORVANE_MODULE_H

#include <stdint.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

#ifdef __cplusplus
extern "C" {
#define OV_STATIC_ASSERT static_assert
#else
#define OV_STATIC_ASSERT _Static_assert
#endif

/* ---- Magics (the first slot of each structure). */
#define OV_MODULE_MAGIC 0x4F56507B /* "OVP{" read as a little-endian word */
#define OV_PANEL_MAGIC 0x4F56504D  /* "OVPM" */

/* The answer of host opcode OV_HOST_VERSION. */
#define OV_HOST_VERSION_NUMBER 95970

/* ---- Function shapes. */

/* Dispatcher, host callback, panel dispatcher and panel host callback. */
typedef intptr_t (*OvDispatcher)(void* structure, int32_t opcode, intptr_t index, intptr_t value,
                                 void* ptr, float opt);
typedef OvDispatcher OvHostCallback;
/* `instance`: the instance value (newer interface) or the module structure
 * (older). `offset` is the position in the plug sample blocks. */
typedef void (*OvProcessFunction)(void* instance, int32_t offset, int32_t count);
struct OvEventRecord;
typedef void (*OvEventFunction)(void* instance, const struct OvEventRecord* event);

/* ---- Plug directions and datatypes. */
enum {
  OV_DIR_IN = 0,
  OV_DIR_OUT = 1,
  OV_DIR_CONTAINER_IO = 2,
  OV_DIR_PARAMETER = 3
};
/* The module's variable for a plug: int16_t for a list, a text pointer
 * (char*) for text, bool (one byte) for bool, double, float, int32_t; for
 * audio a float* that the host points at the plug's sample block; nothing is
 * read or written through it for MIDI. */
enum {
  OV_DT_ENUM = 0,
  OV_DT_TEXT = 1,
  OV_DT_MIDI = 2,
  OV_DT_DOUBLE = 3,
  OV_DT_BOOL = 4,
  OV_DT_AUDIO = 5,
  OV_DT_FLOAT = 6,
  OV_DT_INT = 8
};

/* ---- Plug descriptor flags. */
enum {
  OV_PLUG_NON_LINEAR = 0x00001,
  OV_PLUG_TAKES_PARTNER_NAME = 0x00004,
  OV_PLUG_AUTO_DUPLICATE = 0x00008,
  OV_PLUG_SETTABLE_OUTPUT = 0x00020,
  OV_PLUG_SKIPPED_BY_CLONES = 0x00040,
  OV_PLUG_COLLECTS = 0x00080,
  OV_PLUG_LINEAR_INPUT = 0x00200,
  OV_PLUG_PANEL_SIDE = 0x00400,
  OV_PLUG_AUTO_LIST = 0x00800,
  OV_PLUG_PATCH_STORED = 0x08000,
  OV_PLUG_PATCH_PARAMETER = 0x10000
};

/* ---- Event kinds and stream states. */
enum {
  OV_EVENT_STATUS_CHANGE = 0,
  OV_EVENT_SUSPEND = 1,
  OV_EVENT_MIDI = 2,
  OV_EVENT_RUN_FUNCTION = 3,
  OV_EVENT_IO_FUNC = 4,
  OV_EVENT_UI_NOTIFY = 5,
  OV_EVENT_PROGRAM_CHANGE = 6
};
enum { OV_STATE_STOP = 0, OV_STATE_STATIC = 1, OV_STATE_RUN = 2 };

/* ---- Engine part: dispatcher opcodes sent by the host. */
enum {
  OV_OPEN = 0,              /* value 1; after the two below */
  OV_CLOSE = 1,             /* text copies are already freed */
  OV_SET_SAMPLE_RATE = 2,   /* opt = sample rate */
  OV_SET_BLOCK_SIZE = 3,    /* value = engine block size */
  OV_GET_IDENTIFIER = 4,    /* ptr = zeroed 100-byte buffer */
  OV_GET_NAME = 5,          /* ptr = zeroed 100-byte buffer */
  OV_GET_PLUG = 6,          /* index = plug number, ptr = OvPlugProperties; nonzero = exists */
  OV_EVENT = 7,             /* older interface: ptr = OvEventRecord, before a slice */
  OV_WAKE = 8,              /* index 0 woken, 1 resumed and awake */
  OV_GET_PROPERTIES = 9,    /* ptr = OvModuleProperties */
  OV_CAN_SLEEP = 10,        /* 1 = may sleep */
  OV_GET_EXTRA_VALUE = 11,  /* result becomes the type's extra value */
  OV_SDK_MESSAGE = 12       /* from the panel: index = byte count, value, ptr = bytes */
};

/* ---- Engine part: host callback opcodes. Plug numbers as the engine
 * numbers them (engine-side plugs only). */
enum {
  OV_HOST_TRANSMIT_STATE = 0,    /* index plug, value state, ptr = sample time */
  OV_HOST_IS_CONNECTED = 1,      /* index plug */
  OV_HOST_SET_TEXT = 2,          /* index text plug, value = address of the text */
  OV_HOST_CLOCK = 3,             /* the generator's clock */
  OV_HOST_SEND_MIDI = 4,         /* index MIDI output, value message word, ptr = time */
  OV_HOST_AUDIO_INPUTS = 5,
  OV_HOST_AUDIO_OUTPUTS = 6,
  OV_HOST_PLUG_SAMPLES = 7,      /* index audio plug: address of its samples */
  OV_HOST_BUFFER_START_TIME = 8, /* sample time of the engine block's start */
  OV_HOST_TIME_INFO = 9,         /* value = filter flags: address of the VST time information */
  OV_HOST_SLEEP = 10,
  OV_HOST_VENDOR = 11,           /* ptr = at least 50 bytes */
  OV_HOST_FIRST_CLONE = 12,      /* ptr = void* receiving a module structure */
  OV_HOST_NEXT_CLONE = 13,       /* as 12; 0 after the last */
  OV_HOST_PLUG_COUNT = 14,
  OV_HOST_VST_CALLBACK = 15,     /* ptr = OvHostCallRecord */
  OV_HOST_RESOLVE_FILE = 16,     /* index text plug, value = room at ptr in bytes */
  OV_HOST_SEND_SDK = 17,         /* index byte count, value, ptr = bytes */
  OV_HOST_TARGET_ID = 18,
  OV_HOST_QUEUE_EVENT = 19,      /* ptr = OvQueuedEvent */
  OV_HOST_SHARED_TABLE = 20,     /* index = address of a float* or int32_t*, value entries,
                                    ptr = name, opt = size key */
  OV_HOST_SET_TEXT_STATIC = 21,  /* index text plug, ptr = text */
  OV_HOST_PROCESS_CHANGED = 22,  /* newer interface: re-read the process function */
  OV_HOST_RESOLVE_FILE_W = 23,   /* index = UTF-16 name, value = room at ptr in units */
  OV_HOST_VERSION = 24           /* OV_HOST_VERSION_NUMBER */
};

/* ---- Panel part: dispatcher opcodes sent by the host. Plug indexes here are
 * positions in the module's document plug list. */
enum {
  OV_PANEL_OPEN = 0,          /* index 1 after loading from a project, else 0 */
  OV_PANEL_CLOSE = 1,
  OV_PANEL_PAINT = 2,         /* index = OvCanvas*, ptr = OvDrawing */
  OV_PANEL_MOUSE_DOWN = 3,    /* index x, value y, ptr OvDrawing, opt = OV_MOUSE_ flags */
  OV_PANEL_MOUSE_UP = 4,
  OV_PANEL_MOUSE_MOVE = 5,
  OV_PANEL_SDK_MESSAGE = 6,   /* from the engine: index byte count, value, ptr bytes */
  OV_PANEL_PLUG_VALUE = 7,    /* index plug */
  OV_PANEL_VIEW_OPEN = 8,     /* ptr = OvDrawing */
  OV_PANEL_VIEW_CLOSE = 9,
  OV_PANEL_QUERY = 10,        /* 1 = yes */
  OV_PANEL_CONNECTED = 11,    /* index plug */
  OV_PANEL_DISCONNECTED = 12, /* index plug */
  OV_PANEL_IDLE = 13          /* a turn of the host's idle calls, after OV_PANEL_HOST_IDLE
                                 with index 1: answer 1 for more turns */
};

/* ---- Panel part: host callback opcodes. */
enum {
  OV_PANEL_HOST_REPAINT = 0,
  OV_PANEL_HOST_TARGET_ID = 1,
  OV_PANEL_HOST_SEND_SDK = 2,        /* index byte count, value, ptr bytes */
  OV_PANEL_HOST_SET_SIZE = 3,        /* index width, value height */
  OV_PANEL_HOST_SET_FLAG0 = 4,
  OV_PANEL_HOST_PLUG_COUNT = 5,
  OV_PANEL_HOST_SET_PLUG_TEXT = 6,   /* index plug, ptr text */
  OV_PANEL_HOST_PLUG_TEXT = 7,       /* index plug: address of its text */
  OV_PANEL_HOST_ADD_PLUG = 8,
  OV_PANEL_HOST_MAKE_PARAMETER = 9,
  OV_PANEL_HOST_FONT = 10,           /* index visual object, value = category name,
                                        ptr = OvFontInfo */
  OV_PANEL_HOST_SET_SETTING = 11,
  OV_PANEL_HOST_WINDOW = 12,         /* the X11 window, or 0 */
  OV_PANEL_HOST_SET_FLAGS = 13,
  OV_PANEL_HOST_PLUG_VALUE = 14,     /* index plug, ptr receives the value */
  OV_PANEL_HOST_SET_PLUG_VALUE = 15, /* index plug, value (list, bool, int) or opt (float) */
  OV_PANEL_HOST_SET_PLUG_EXTRA = 16,
  OV_PANEL_HOST_PLUG_EXTENSION_W = 17,
  OV_PANEL_HOST_CAPTURE = 18,        /* ptr = OvDrawing */
  OV_PANEL_HOST_RELEASE = 19,
  OV_PANEL_HOST_HAS_CAPTURE = 20,
  OV_PANEL_HOST_VST_CALLBACK = 21,   /* ptr = OvHostCallRecord */
  OV_PANEL_HOST_IDLE = 22,           /* index 1: turns of OV_PANEL_IDLE; 0: no more */
  OV_PANEL_HOST_LIBRARY_PATH_W = 23,
  OV_PANEL_HOST_RESOLVE_FILE_W = 24,
  OV_PANEL_HOST_VERSION = 25,        /* 2 */
  OV_PANEL_HOST_REMOVE_PLUG = 26
};

/* ---- Records. */

/* Filled by getModuleProperties() or OV_GET_PROPERTIES; zeroed by the host. */
typedef struct OvModuleProperties {
  const char* name;
  const char* identifier; /* the registry key; null: no properties given */
  const char* about;
  int32_t generatorFlags; /* added to every generator's flags */
  int32_t moduleFlags;    /* when not 0, replaces the type's module flags */
  int32_t extraValue;     /* 0: the host asks OV_GET_EXTRA_VALUE */
  int32_t reserved;
} OvModuleProperties;

/* Filled by OV_GET_PLUG; zeroed by the host before each request. */
typedef struct OvPlugProperties {
  void* variable; /* the module's variable for the plug (see the datatypes) */
  int32_t direction;
  int32_t datatype;
  const char* name;
  const char* defaultText;
  const char* listText;
  int32_t flags;
  int32_t reserved;
} OvPlugProperties;

/* Returned by main(). The process and dispatcher functions receive the
 * structure's own address. The host writes hostHandle right after main()
 * returns. */
typedef struct OvModuleV1 {
  intptr_t magic; /* OV_MODULE_MAGIC */
  OvDispatcher dispatcher;
  intptr_t reserved1[4];
  intptr_t hostHandle;
  intptr_t reserved2[4];
  OvProcessFunction process;
} OvModuleV1;

/* Returned by makeModule(index, 1, ...). hostHandle is makeModule's fourth
 * argument; `instance` is passed to the process and event functions. A
 * module that changes `process` tells the host with OV_HOST_PROCESS_CHANGED. */
typedef struct OvModule {
  intptr_t magic; /* OV_MODULE_MAGIC */
  intptr_t reserved1;
  intptr_t hostHandle;
  void* instance;
  intptr_t reserved2;
  OvDispatcher dispatcher;
  OvProcessFunction process;
  OvEventFunction event;
} OvModule;

/* Returned by makeModule(index, 2, ...). */
typedef struct OvPanel {
  intptr_t magic; /* OV_PANEL_MAGIC */
  intptr_t reserved1;
  OvDispatcher dispatcher;
  intptr_t hostHandle;
} OvPanel;

/* One engine event, as OV_EVENT and the event function receive it. For a
 * status change parm2 is the receiving plug's number; for MIDI, parm3 is the
 * receiving MIDI input's number among the module's MIDI inputs. */
typedef struct OvEventRecord {
  int32_t timeStamp;
  int32_t kind;
  int32_t parm1;
  int32_t parm3;
  intptr_t parm2;
  int32_t reserved;
} OvEventRecord;

/* OV_HOST_QUEUE_EVENT: an event the module queues on itself. */
typedef struct OvQueuedEvent {
  int32_t timeStamp;
  int32_t kind;
  int32_t parm1;
  intptr_t parm2;
  int32_t parm3;
} OvQueuedEvent;

/* OV_HOST_VST_CALLBACK and OV_PANEL_HOST_VST_CALLBACK: one call of the VST
 * host's callback. */
typedef struct OvHostCallRecord {
  int32_t opcode;
  int32_t index;
  intptr_t value;
  void* ptr;
  float opt;
} OvHostCallRecord;

/* Passed with panel painting and mouse calls. */
typedef struct OvDrawing {
  int32_t width;
  int32_t height;
  void* visualObject;
} OvDrawing;

/* Where OV_PANEL_PAINT draws: 32-bit pixels, blue in the low byte, the top
 * byte unused. (0, 0) is the module's top left corner; only pixels inside
 * the clip rectangle (right and bottom exclusive) may be written. The
 * record, its pixels and its functions are valid during that call only. */
typedef struct OvCanvas OvCanvas;
/* Text with a font handle from OV_PANEL_HOST_FONT: UTF-8, at most 4096
 * bytes read, its top left at (x, y) in the module's coordinates, in the
 * font's colour, clipped. Answers the width in pixels; 0 for a handle the
 * host does not know. */
typedef int32_t (*OvDrawTextFunction)(const OvCanvas* canvas, intptr_t font, int32_t x,
                                      int32_t y, const char* text);
/* The width drawText would answer, drawing nothing. */
typedef int32_t (*OvTextWidthFunction)(const OvCanvas* canvas, intptr_t font, const char* text);
struct OvCanvas {
  uint32_t* pixels; /* the module's (0, 0) */
  int32_t stride;   /* pixels from one row to the next */
  int32_t width;
  int32_t height;
  int32_t clipLeft;
  int32_t clipTop;
  int32_t clipRight;
  int32_t clipBottom;
  OvDrawTextFunction drawText;
  OvTextWidthFunction textWidth;
  void* host; /* the host's own; leave it alone */
};

/* Mouse flags: the opt argument of the mouse opcodes holds these bits as a
 * number, (float)(OV_MOUSE_LEFT | OV_MOUSE_SHIFT) for example. */
enum {
  OV_MOUSE_LEFT = 0x1,
  OV_MOUSE_RIGHT = 0x2,
  OV_MOUSE_SHIFT = 0x4,
  OV_MOUSE_CONTROL = 0x8,
  OV_MOUSE_MIDDLE = 0x10,
  OV_MOUSE_ALT = 0x20
};

/* OV_PANEL_HOST_FONT fills it. Colours are 0x00RRGGBB. */
typedef struct OvFontInfo {
  int32_t size;
  int32_t colour;
  int32_t background;
  int32_t style;
  int32_t cellHeight;
} OvFontInfo;

/* ---- Exports: C linkage and default visibility. */
#ifdef __cplusplus
#define OV_EXPORT extern "C" __attribute__((visibility("default")))
#else
#define OV_EXPORT __attribute__((visibility("default")))
#endif

/* The three names the host looks for. A library with makeModule is of the
 * newer interface; otherwise main is called. main returns a pointer, which a
 * C++ function of that name cannot, so its symbol is bound by an assembler
 * label: write `OV_DEFINE_MAIN(host) { ... }`. */
OV_EXPORT intptr_t getModuleProperties(int32_t index, OvModuleProperties* properties);
OV_EXPORT void* makeModule(int32_t index, int32_t mode, OvHostCallback callback, void* hostHandle);
#define OV_DEFINE_MAIN(host)                                                 \
  OV_EXPORT OvModuleV1* ovLegacyMain(OvHostCallback host) __asm__("main"); \
  OV_EXPORT OvModuleV1* ovLegacyMain(OvHostCallback host)

/* The exports as the host finds them. */
typedef intptr_t (*OvGetModulePropertiesFunction)(int32_t index, OvModuleProperties* properties);
typedef void* (*OvMakeModuleFunction)(int32_t index, int32_t mode, OvHostCallback callback,
                                      void* hostHandle);
typedef OvModuleV1* (*OvMainFunction)(OvHostCallback host);

/* makeModule's modes. */
enum { OV_MAKE_ENGINE = 1, OV_MAKE_PANEL = 2 };

/* ---- Layout checks. */
#ifndef __LP64__
#error "orvane_module.h describes the 64-bit (LP64) interface"
#endif
#define OV_CHECK_OFFSET(type, field, offset) \
  OV_STATIC_ASSERT(__builtin_offsetof(type, field) == (offset), #type "." #field)
OV_STATIC_ASSERT(sizeof(OvModuleProperties) == 40, "OvModuleProperties size");
OV_CHECK_OFFSET(OvModuleProperties, identifier, 8);
OV_CHECK_OFFSET(OvModuleProperties, about, 16);
OV_CHECK_OFFSET(OvModuleProperties, generatorFlags, 24);
OV_CHECK_OFFSET(OvModuleProperties, moduleFlags, 28);
OV_CHECK_OFFSET(OvModuleProperties, extraValue, 32);
OV_STATIC_ASSERT(sizeof(OvPlugProperties) == 48, "OvPlugProperties size");
OV_CHECK_OFFSET(OvPlugProperties, direction, 8);
OV_CHECK_OFFSET(OvPlugProperties, datatype, 12);
OV_CHECK_OFFSET(OvPlugProperties, name, 16);
OV_CHECK_OFFSET(OvPlugProperties, defaultText, 24);
OV_CHECK_OFFSET(OvPlugProperties, listText, 32);
OV_CHECK_OFFSET(OvPlugProperties, flags, 40);
OV_STATIC_ASSERT(sizeof(OvModuleV1) == 96, "OvModuleV1 size");
OV_CHECK_OFFSET(OvModuleV1, dispatcher, 8);
OV_CHECK_OFFSET(OvModuleV1, hostHandle, 48);
OV_CHECK_OFFSET(OvModuleV1, process, 88);
OV_STATIC_ASSERT(sizeof(OvModule) == 64, "OvModule size");
OV_CHECK_OFFSET(OvModule, hostHandle, 16);
OV_CHECK_OFFSET(OvModule, instance, 24);
OV_CHECK_OFFSET(OvModule, dispatcher, 40);
OV_CHECK_OFFSET(OvModule, process, 48);
OV_CHECK_OFFSET(OvModule, event, 56);
OV_STATIC_ASSERT(sizeof(OvPanel) == 32, "OvPanel size");
OV_CHECK_OFFSET(OvPanel, dispatcher, 16);
OV_CHECK_OFFSET(OvPanel, hostHandle, 24);
OV_STATIC_ASSERT(sizeof(OvEventRecord) == 32, "OvEventRecord size");
OV_CHECK_OFFSET(OvEventRecord, parm1, 8);
OV_CHECK_OFFSET(OvEventRecord, parm3, 12);
OV_CHECK_OFFSET(OvEventRecord, parm2, 16);
OV_CHECK_OFFSET(OvEventRecord, reserved, 24);
OV_STATIC_ASSERT(sizeof(OvQueuedEvent) == 32, "OvQueuedEvent size");
OV_CHECK_OFFSET(OvQueuedEvent, parm2, 16);
OV_CHECK_OFFSET(OvQueuedEvent, parm3, 24);
OV_STATIC_ASSERT(sizeof(OvHostCallRecord) == 32, "OvHostCallRecord size");
OV_CHECK_OFFSET(OvHostCallRecord, value, 8);
OV_CHECK_OFFSET(OvHostCallRecord, ptr, 16);
OV_CHECK_OFFSET(OvHostCallRecord, opt, 24);
OV_STATIC_ASSERT(sizeof(OvDrawing) == 16, "OvDrawing size");
OV_CHECK_OFFSET(OvDrawing, visualObject, 8);
OV_STATIC_ASSERT(sizeof(OvCanvas) == 64, "OvCanvas size");
OV_CHECK_OFFSET(OvCanvas, clipBottom, 32);
OV_CHECK_OFFSET(OvCanvas, drawText, 40);
OV_CHECK_OFFSET(OvCanvas, host, 56);
OV_STATIC_ASSERT(sizeof(OvFontInfo) == 20, "OvFontInfo size");
#undef OV_CHECK_OFFSET

#ifdef __cplusplus
}
#endif

#endif /* ORVANE_MODULE_H */
