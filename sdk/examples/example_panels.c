/* The panel parts of the example library. They draw their modules in the
 * editor and talk to the engine parts only through "sdk" messages. Every
 * call here comes on the editor thread.
 *
 * "Ov Example Gain", 120 x 44 pixels:
 *   - a 1-pixel frame (0x586068) around a background (0x262A2E);
 *   - the track, x 8..111 and y 6..19 (0x101316), and in it the bar, from
 *     x = 10 and y 8..17, g pixels long (0x48A8E8), g being Gain in
 *     hundredths (rounded half away from zero) kept within 0..100;
 *   - the text "Gain 0.50" (Gain to two decimals) in the skin's "normal"
 *     font, centred horizontally: x = (120 - its width) / 2, top at
 *     y = 22 + (20 - cell height) / 2 (24 when the cell height is not within
 *     1..20).
 *   A left press on the track captures the mouse and sets Gain from x;
 *   moves while the capture is held set it again; the release ends the
 *   capture. Presses elsewhere, or without the left button, do nothing.
 *   For x in module coordinates:
 *       Gain = clamp((x - 10) / 100, 0, 1)
 *   so x = 10 gives 0, x = 60 gives 0.5 and x = 110 (or more) gives 1.
 *
 * "Ov MIDI to Text", 120 x 24 pixels: a frame (0x586068) around a
 * background (0x202428) and the last text the engine part sent (its first
 * 63 bytes), in the "normal" font, left at x = 4, top at
 * y = (24 - cell height) / 2 (2 when the cell height is not within 1..24).
 * Each text is answered with "panel saw " and the text, which the engine
 * part makes its output. */
#include <math.h>
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "example_library.h"

enum { kFrameColour = 0x586068 };

/* ---- Drawing helpers. */

/* Fills [left, right) x [top, bottom), module coordinates, inside the clip
 * rectangle and the module. A pixel's address is formed only once it is
 * known to be inside: `pixels` itself may lie outside the image. */
static void FillRect(const OvCanvas* canvas, int32_t left, int32_t top, int32_t right,
                     int32_t bottom, uint32_t colour) {
  if (left < canvas->clipLeft) left = canvas->clipLeft;
  if (top < canvas->clipTop) top = canvas->clipTop;
  if (right > canvas->clipRight) right = canvas->clipRight;
  if (bottom > canvas->clipBottom) bottom = canvas->clipBottom;
  if (left < 0) left = 0;
  if (top < 0) top = 0;
  if (right > canvas->width) right = canvas->width;
  if (bottom > canvas->height) bottom = canvas->height;
  for (int32_t y = top; y < bottom; ++y) {
    uint32_t* row = canvas->pixels + ((ptrdiff_t)y * canvas->stride + left);
    for (int32_t x = 0; x < right - left; ++x) row[x] = colour;
  }
}

/* A frame one pixel wide around the module, filled with `background`. */
static void FillPanel(const OvCanvas* canvas, int32_t width, int32_t height, uint32_t background) {
  FillRect(canvas, 0, 0, width, height, kFrameColour);
  FillRect(canvas, 1, 1, width - 1, height - 1, background);
}

/* The skin's "normal" font for the visual object being drawn. The host keeps
 * its handles until the panel part closes, so one is asked for again only
 * when another visual object draws. */
typedef struct PanelFont {
  void* visualObject;
  bool asked;
  intptr_t handle; /* 0: none */
  OvFontInfo info;
} PanelFont;

static intptr_t NormalFont(OvPanel* panel, OvHostCallback host, PanelFont* font,
                           const OvDrawing* drawing) {
  if (!font->asked || font->visualObject != drawing->visualObject) {
    memset(&font->info, 0, sizeof font->info);
    font->handle = host(panel, OV_PANEL_HOST_FONT, (intptr_t)drawing->visualObject,
                        (intptr_t) "normal", &font->info, 0.0f);
    font->visualObject = drawing->visualObject;
    font->asked = true;
  }
  return font->handle;
}

/* The top of a line of text centred in a band `height` pixels high. */
static int32_t TextTop(const PanelFont* font, int32_t bandTop, int32_t height) {
  const int32_t cell = font->info.cellHeight;
  if (cell < 1 || cell > height) return bandTop + 2;
  return bandTop + (height - cell) / 2;
}

static OvPanel* NewPanel(size_t size, OvDispatcher dispatcher, void* hostHandle) {
  OvPanel* panel = (OvPanel*)calloc(1, size);
  if (panel == NULL) return NULL;
  panel->magic = OV_PANEL_MAGIC;
  panel->dispatcher = dispatcher;
  panel->hostHandle = (intptr_t)hostHandle;
  return panel;
}

/* ---- "Ov Example Gain". Plug positions: 0 "Input", 1 "Gain", 2 "Output". */
enum {
  kGainPlug = 1,
  kGainWidth = 120,
  kGainHeight = 44,
  kTrackLeft = 8,
  kTrackTop = 6,
  kTrackRight = 112,
  kTrackBottom = 20,
  kBarLeft = 10,
  kBarRight = 110,
  kBarTop = 8,
  kBarBottom = 18,
  kTextBandTop = 22,
  kTextBandHeight = 20
};

typedef struct GainPanel {
  OvPanel header;
  OvHostCallback host;
  PanelFont font;
} GainPanel;

/* Gain in hundredths, bounded so that any float prints in a small buffer. */
static int32_t Hundredths(float value) {
  if (!(value == value)) return 0;
  if (value > 1.0e6f) return 100000000;
  if (value < -1.0e6f) return -100000000;
  return (int32_t)lroundf(value * 100.0f);
}

static float GainAt(intptr_t x) {
  if (x <= kBarLeft) return 0.0f;
  if (x >= kBarRight) return 1.0f;
  return (float)(x - kBarLeft) / (float)(kBarRight - kBarLeft);
}

static void GainPaint(GainPanel* self, const OvCanvas* canvas, const OvDrawing* drawing) {
  float gain = 0.0f;
  self->host(self, OV_PANEL_HOST_PLUG_VALUE, kGainPlug, 0, &gain, 0.0f);
  const int32_t hundredths = Hundredths(gain);
  const int32_t shown = hundredths < 0 ? 0 : hundredths > 100 ? 100 : hundredths;

  FillPanel(canvas, kGainWidth, kGainHeight, 0x262A2E);
  FillRect(canvas, kTrackLeft, kTrackTop, kTrackRight, kTrackBottom, 0x101316);
  FillRect(canvas, kBarLeft, kBarTop, kBarLeft + (kBarRight - kBarLeft) * shown / 100, kBarBottom,
           0x48A8E8);

  const intptr_t font = NormalFont(&self->header, self->host, &self->font, drawing);
  if (font == 0 || canvas->drawText == NULL || canvas->textWidth == NULL) return;
  const int32_t magnitude = hundredths < 0 ? -hundredths : hundredths;
  char text[32];
  snprintf(text, sizeof text, "Gain %s%d.%02d", hundredths < 0 ? "-" : "", magnitude / 100,
           magnitude % 100);
  const int32_t width = canvas->textWidth(canvas, font, text);
  canvas->drawText(canvas, font, (kGainWidth - width) / 2,
                   TextTop(&self->font, kTextBandTop, kTextBandHeight), text);
}

static void GainMouse(GainPanel* self, int32_t opcode, intptr_t x, intptr_t y, OvDrawing* drawing,
                      float opt) {
  OvHostCallback host = self->host;
  if (opcode == OV_PANEL_MOUSE_DOWN) {
    const int32_t flags = opt >= 0.0f && opt < 65536.0f ? (int32_t)opt : 0;
    const bool onTrack = x >= kTrackLeft && x < kTrackRight && y >= kTrackTop && y < kTrackBottom;
    if (!onTrack || (flags & OV_MOUSE_LEFT) == 0) return;
    host(self, OV_PANEL_HOST_CAPTURE, 0, 0, drawing, 0.0f);
  } else {
    if (host(self, OV_PANEL_HOST_HAS_CAPTURE, 0, 0, drawing, 0.0f) != 1) return;
    if (opcode == OV_PANEL_MOUSE_UP) {
      host(self, OV_PANEL_HOST_RELEASE, 0, 0, drawing, 0.0f);
      return;
    }
  }
  /* The host tells back through OV_PANEL_PLUG_VALUE, which repaints. */
  host(self, OV_PANEL_HOST_SET_PLUG_VALUE, kGainPlug, 0, NULL, GainAt(x));
}

static intptr_t GainPanelDispatch(void* structure, int32_t opcode, intptr_t index, intptr_t value,
                                  void* ptr, float opt) {
  GainPanel* self = (GainPanel*)structure;
  switch (opcode) {
    case OV_PANEL_OPEN:
      self->host(self, OV_PANEL_HOST_SET_SIZE, kGainWidth, kGainHeight, NULL, 0.0f);
      self->host(self, OV_PANEL_HOST_MAKE_PARAMETER, kGainPlug, 0, NULL, 0.0f);
      return 0;
    case OV_PANEL_PAINT:
      if (index != 0 && ptr != NULL) GainPaint(self, (const OvCanvas*)index, (const OvDrawing*)ptr);
      return 0;
    case OV_PANEL_MOUSE_DOWN:
    case OV_PANEL_MOUSE_UP:
    case OV_PANEL_MOUSE_MOVE:
      if (ptr != NULL) GainMouse(self, opcode, index, value, (OvDrawing*)ptr, opt);
      return 0;
    case OV_PANEL_PLUG_VALUE:
      if (index == kGainPlug) self->host(self, OV_PANEL_HOST_REPAINT, 0, 0, NULL, 0.0f);
      return 0;
    case OV_PANEL_CLOSE:
      free(self);
      return 0;
    default:
      return 0;
  }
}

/* ---- "Ov MIDI to Text". */
enum { kTextWidth = 120, kTextHeight = 24, kTextRoom = 64 };

typedef struct TextPanel {
  OvPanel header;
  OvHostCallback host;
  PanelFont font;
  char text[kTextRoom]; /* the last text received, terminated */
} TextPanel;

static void TextReceived(TextPanel* self, intptr_t count, intptr_t value, const void* bytes) {
  /* The bytes are not terminated and live only during the call. */
  size_t length = 0;
  if (bytes != NULL && count > 0) {
    length = (size_t)count < kTextRoom ? (size_t)count : kTextRoom - 1;
    memcpy(self->text, bytes, length);
  }
  self->text[length] = '\0';

  static const char kPrefix[] = "panel saw ";
  char reply[sizeof kPrefix - 1 + kTextRoom];
  memcpy(reply, kPrefix, sizeof kPrefix - 1);
  memcpy(reply + sizeof kPrefix - 1, self->text, length);
  self->host(self, OV_PANEL_HOST_SEND_SDK, (intptr_t)(sizeof kPrefix - 1 + length), value, reply,
             0.0f);
  self->host(self, OV_PANEL_HOST_REPAINT, 0, 0, NULL, 0.0f);
}

static void TextPaint(TextPanel* self, const OvCanvas* canvas, const OvDrawing* drawing) {
  FillPanel(canvas, kTextWidth, kTextHeight, 0x202428);
  const intptr_t font = NormalFont(&self->header, self->host, &self->font, drawing);
  if (font == 0 || canvas->drawText == NULL || self->text[0] == '\0') return;
  canvas->drawText(canvas, font, 4, TextTop(&self->font, 0, kTextHeight), self->text);
}

static intptr_t TextPanelDispatch(void* structure, int32_t opcode, intptr_t index, intptr_t value,
                                  void* ptr, float opt) {
  TextPanel* self = (TextPanel*)structure;
  (void)opt;
  switch (opcode) {
    case OV_PANEL_OPEN:
      self->host(self, OV_PANEL_HOST_SET_SIZE, kTextWidth, kTextHeight, NULL, 0.0f);
      return 0;
    case OV_PANEL_PAINT:
      if (index != 0 && ptr != NULL) TextPaint(self, (const OvCanvas*)index, (const OvDrawing*)ptr);
      return 0;
    case OV_PANEL_SDK_MESSAGE:
      TextReceived(self, index, value, ptr);
      return 0;
    case OV_PANEL_CLOSE:
      free(self);
      return 0;
    default:
      return 0;
  }
}

/* ---- The maker. */
OvPanel* MakeExamplePanel(int32_t index, OvHostCallback callback, void* hostHandle) {
  if (index == kGainIndex) {
    OvPanel* panel = NewPanel(sizeof(GainPanel), GainPanelDispatch, hostHandle);
    if (panel != NULL) ((GainPanel*)panel)->host = callback;
    return panel;
  }
  if (index == kMidiTextIndex) {
    OvPanel* panel = NewPanel(sizeof(TextPanel), TextPanelDispatch, hostHandle);
    if (panel != NULL) ((TextPanel*)panel)->host = callback;
    return panel;
  }
  return NULL;
}
