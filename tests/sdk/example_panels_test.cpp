// The example library's panel parts against a panel host of the test's own:
// sizes and parameters at opening, what the gain draws for its value, that
// drawing stays inside the clip rectangle, the gain's mouse mapping and the
// MIDI to Text part's bounded answer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/dynamic_library.h"
#include "sdk/orvane_module.h"

namespace ov::test {
namespace {

constexpr intptr_t kFont = 7;
constexpr uint32_t kUntouched = 0xFF00FF;
constexpr uint32_t kInk = 0xFFFFFF;

struct DrawnText {
  int32_t x, y;
  std::string text;
};

// Answers the calls the example panels make and keeps what they set. The
// panel's host handle is the host itself.
class PanelHost {
 public:
  explicit PanelHost(int32_t module) {
    std::string error;
    library_ = DynamicLibrary::Open(std::string(OV_SDK_LIBRARIES) + "/example_modules.ovm", &error);
    const auto make = reinterpret_cast<OvMakeModuleFunction>(library_.Symbol("makeModule"));
    if (make == nullptr) {
      ADD_FAILURE() << error;
      return;
    }
    panel_ = static_cast<OvPanel*>(make(module, OV_MAKE_PANEL, &PanelHost::Answer, this));
    if (panel_ == nullptr || panel_->magic != OV_PANEL_MAGIC)
      ADD_FAILURE() << "no panel part";
    else
      Call(OV_PANEL_OPEN, 0, 0, nullptr, 0.0f);
  }
  ~PanelHost() {
    if (panel_ != nullptr) Call(OV_PANEL_CLOSE, 0, 0, nullptr, 0.0f);
  }

  intptr_t Call(int32_t opcode, intptr_t index, intptr_t value, void* ptr, float opt) {
    return panel_->dispatcher(panel_, opcode, index, value, ptr, opt);
  }
  void Mouse(int32_t opcode, intptr_t x, intptr_t y, int32_t flags) {
    Call(opcode, x, y, &drawing, static_cast<float>(flags));
  }
  // Paints into `image` (`stride` pixels a row) with the module's (0, 0) at
  // `origin`, clipped to [left, right) x [top, bottom) in module coordinates.
  void Paint(std::vector<uint32_t>& image, int32_t stride, std::size_t origin, int32_t left,
             int32_t top, int32_t right, int32_t bottom) {
    OvCanvas canvas{image.data() + origin,
                    stride,
                    static_cast<int32_t>(width),
                    static_cast<int32_t>(height),
                    left,
                    top,
                    right,
                    bottom,
                    &DrawText,
                    &TextWidth,
                    this};
    texts.clear();
    Call(OV_PANEL_PAINT, reinterpret_cast<intptr_t>(&canvas), 0, &drawing, 0.0f);
  }

  intptr_t width = 0, height = 0;
  std::vector<intptr_t> parameters;
  float gain = 0.5f;
  bool captured = false;
  int repaints = 0;
  std::string sent;
  intptr_t sent_value = 0;
  std::vector<DrawnText> texts;
  OvDrawing drawing{0, 0, &drawing};

 private:
  static intptr_t Answer(void* structure, int32_t opcode, intptr_t index, intptr_t value, void* ptr,
                         float opt) {
    auto* panel = static_cast<OvPanel*>(structure);
    auto* self = reinterpret_cast<PanelHost*>(panel->hostHandle);
    EXPECT_EQ(panel, self->panel_);
    const bool ours = ptr == &self->drawing;
    switch (opcode) {
      case OV_PANEL_HOST_SET_SIZE:
        self->width = self->drawing.width = static_cast<int32_t>(index);
        self->height = self->drawing.height = static_cast<int32_t>(value);
        return 0;
      case OV_PANEL_HOST_MAKE_PARAMETER:
        self->parameters.push_back(index);
        return 0;
      case OV_PANEL_HOST_PLUG_VALUE:
        if (index == 1) std::memcpy(ptr, &self->gain, sizeof self->gain);
        return 0;
      case OV_PANEL_HOST_SET_PLUG_VALUE:
        if (index == 1) self->gain = opt;
        return 0;
      case OV_PANEL_HOST_FONT: {
        auto* info = static_cast<OvFontInfo*>(ptr);
        if (index != reinterpret_cast<intptr_t>(self->drawing.visualObject) ||
            std::strcmp(reinterpret_cast<const char*>(value), "normal") != 0)
          return 0;
        *info = OvFontInfo{10, static_cast<int32_t>(kInk), -1, 0, 10};
        return kFont;
      }
      case OV_PANEL_HOST_CAPTURE:
        if (ours) self->captured = true;
        return 0;
      case OV_PANEL_HOST_RELEASE:
        if (ours) self->captured = false;
        return 0;
      case OV_PANEL_HOST_HAS_CAPTURE:
        return ours && self->captured ? 1 : 0;
      case OV_PANEL_HOST_REPAINT:
        ++self->repaints;
        return 0;
      case OV_PANEL_HOST_SEND_SDK:
        self->sent.assign(static_cast<const char*>(ptr), static_cast<std::size_t>(index));
        self->sent_value = value;
        return 0;
      default:
        return 0;
    }
  }
  // Text is drawn as one 6 x 10 box of ink a byte, clipped as a host clips.
  static int32_t TextWidth(const OvCanvas*, intptr_t font, const char* text) {
    return font == kFont ? 6 * static_cast<int32_t>(std::strlen(text)) : 0;
  }
  static int32_t DrawText(const OvCanvas* canvas, intptr_t font, int32_t x, int32_t y,
                          const char* text) {
    auto* self = static_cast<PanelHost*>(canvas->host);
    const int32_t width = TextWidth(canvas, font, text);
    if (width == 0) return 0;
    self->texts.push_back({x, y, text});
    for (int32_t row = std::max(y, canvas->clipTop); row < std::min(y + 10, canvas->clipBottom);
         ++row)
      for (int32_t column = std::max(x, canvas->clipLeft);
           column < std::min(x + width, canvas->clipRight); ++column)
        canvas->pixels[row * canvas->stride + column] = kInk;
    return width;
  }

  DynamicLibrary library_;
  OvPanel* panel_ = nullptr;
};

constexpr uint32_t kBarColour = 0x48A8E8;
constexpr uint32_t kTrackColour = 0x101316;

// The whole gain panel in an image of its own size; the bar's colour along
// the row y = 12 tells its length.
int32_t BarLength(PanelHost& host) {
  std::vector<uint32_t> image(120 * 44, kUntouched);
  host.Paint(image, 120, 0, 0, 0, 120, 44);
  int32_t length = 0;
  for (int32_t x = 10; x < 110 && image[12 * 120 + x] == kBarColour; ++x) ++length;
  for (int32_t x = 10 + length; x < 110; ++x) EXPECT_EQ(image[12 * 120 + x], kTrackColour) << x;
  return length;
}

TEST(ExampleGainPanel, OpensSizedWithGainAsAParameterAndShowsTheValue) {
  PanelHost host(0);
  EXPECT_EQ(host.width, 120);
  EXPECT_EQ(host.height, 44);
  EXPECT_EQ(host.parameters, std::vector<intptr_t>{1});

  EXPECT_EQ(BarLength(host), 50);
  ASSERT_EQ(host.texts.size(), 1u);
  EXPECT_EQ(host.texts[0].text, "Gain 0.50");
  EXPECT_EQ(host.texts[0].x, (120 - 54) / 2);  // centred
  EXPECT_EQ(host.texts[0].y, 27);              // centred in the band under the bar

  // Out of 0..1 the bar stops at its ends while the text shows the value.
  host.gain = 1.5f;
  EXPECT_EQ(BarLength(host), 100);
  EXPECT_EQ(host.texts.at(0).text, "Gain 1.50");
  host.gain = -0.126f;
  EXPECT_EQ(BarLength(host), 0);
  EXPECT_EQ(host.texts.at(0).text, "Gain -0.13");
  host.gain = 0.333f;
  EXPECT_EQ(BarLength(host), 33);
  EXPECT_EQ(host.texts.at(0).text, "Gain 0.33");
}

TEST(ExamplePanels, DrawOnlyInsideTheClipRectangle) {
  for (int32_t module : {0, 1}) {
    PanelHost host(module);
    // A 200 x 100 image with the module's (0, 0) at (40, 30), clipped to a
    // rectangle crossing the bar and the text.
    constexpr int32_t kStride = 200;
    std::vector<uint32_t> image(kStride * 100, kUntouched);
    const int32_t left = 30, top = 5, right = 70, bottom = 20;
    host.Call(OV_PANEL_SDK_MESSAGE, 8, 0, const_cast<char*>("90 3C 64"), 0.0f);
    host.Paint(image, kStride, 30 * kStride + 40, left, top, right, bottom);
    for (int32_t y = 0; y < 100; ++y) {
      for (int32_t x = 0; x < kStride; ++x) {
        const bool inside = x - 40 >= left && x - 40 < right && y - 30 >= top && y - 30 < bottom;
        EXPECT_EQ(image[y * kStride + x] != kUntouched, inside)
            << "module " << module << " at " << x - 40 << ", " << y - 30;
      }
    }
  }
}

TEST(ExampleGainPanel, ALeftDragFromTheBarSetsGainFromX) {
  PanelHost host(0);
  // Presses off the track (x 8..111, y 6..19) or without the left button.
  host.Mouse(OV_PANEL_MOUSE_DOWN, 7, 12, OV_MOUSE_LEFT);
  host.Mouse(OV_PANEL_MOUSE_DOWN, 30, 20, OV_MOUSE_LEFT);
  host.Mouse(OV_PANEL_MOUSE_DOWN, 30, 12, OV_MOUSE_RIGHT);
  host.Mouse(OV_PANEL_MOUSE_MOVE, 90, 12, OV_MOUSE_LEFT);
  EXPECT_FALSE(host.captured);
  EXPECT_EQ(host.gain, 0.5f);

  // gain = clamp((x - 10) / 100, 0, 1), the same while dragging off the panel.
  host.Mouse(OV_PANEL_MOUSE_DOWN, 30, 12, OV_MOUSE_LEFT | OV_MOUSE_SHIFT);
  EXPECT_TRUE(host.captured);
  EXPECT_FLOAT_EQ(host.gain, 0.2f);
  host.Mouse(OV_PANEL_MOUSE_MOVE, 85, 300, OV_MOUSE_LEFT);
  EXPECT_FLOAT_EQ(host.gain, 0.75f);
  host.Mouse(OV_PANEL_MOUSE_MOVE, 500, 12, OV_MOUSE_LEFT);
  EXPECT_EQ(host.gain, 1.0f);
  host.Mouse(OV_PANEL_MOUSE_MOVE, -40, 12, OV_MOUSE_LEFT);
  EXPECT_EQ(host.gain, 0.0f);
  host.Mouse(OV_PANEL_MOUSE_MOVE, 8, 12, OV_MOUSE_LEFT);
  EXPECT_EQ(host.gain, 0.0f);
  host.Mouse(OV_PANEL_MOUSE_UP, 60, 12, 0);
  EXPECT_FALSE(host.captured);
  host.Mouse(OV_PANEL_MOUSE_MOVE, 60, 12, 0);
  EXPECT_EQ(host.gain, 0.0f);

  // Told of a change of Gain it asks for a paint; of other plugs it does not.
  host.Call(OV_PANEL_PLUG_VALUE, 0, 0, nullptr, 0.0f);
  host.Call(OV_PANEL_PLUG_VALUE, 1, 0, nullptr, 0.0f);
  EXPECT_EQ(host.repaints, 1);
}

TEST(ExampleMidiTextPanel, ShowsAndAnswersWhatItReceivesUpTo63Bytes) {
  PanelHost host(1);
  EXPECT_EQ(host.width, 120);
  EXPECT_EQ(host.height, 24);
  EXPECT_TRUE(host.parameters.empty());

  host.Call(OV_PANEL_SDK_MESSAGE, 8, 0x643C90, const_cast<char*>("90 3C 64 and more"), 0.0f);
  EXPECT_EQ(host.sent, "panel saw 90 3C 64");
  EXPECT_EQ(host.sent_value, 0x643C90);
  EXPECT_EQ(host.repaints, 1);
  std::vector<uint32_t> image(120 * 24, kUntouched);
  host.Paint(image, 120, 0, 0, 0, 120, 24);
  ASSERT_EQ(host.texts.size(), 1u);
  EXPECT_EQ(host.texts[0].text, "90 3C 64");

  std::string long_text(100, 'A');
  host.Call(OV_PANEL_SDK_MESSAGE, 100, 0, long_text.data(), 0.0f);
  EXPECT_EQ(host.sent, "panel saw " + std::string(63, 'A'));

  host.Call(OV_PANEL_SDK_MESSAGE, -3, 0, long_text.data(), 0.0f);
  EXPECT_EQ(host.sent, "panel saw ");
  host.Call(OV_PANEL_SDK_MESSAGE, 5, 0, nullptr, 0.0f);
  EXPECT_EQ(host.sent, "panel saw ");
  host.Paint(image, 120, 0, 0, 0, 120, 24);
  EXPECT_TRUE(host.texts.empty());
}

// The engine part's side of the answer: what the panel sends becomes the
// text output, at most 63 bytes, and a message without bytes empties it.
std::string engine_text;
intptr_t EngineHost(void*, int32_t opcode, intptr_t, intptr_t, void* ptr, float) {
  if (opcode == OV_HOST_SET_TEXT_STATIC) engine_text = static_cast<const char*>(ptr);
  return 0;
}

TEST(ExampleMidiTextEngine, TakesThePanelsTextBounded) {
  std::string error;
  auto library =
      DynamicLibrary::Open(std::string(OV_SDK_LIBRARIES) + "/example_modules.ovm", &error);
  const auto make = reinterpret_cast<OvMakeModuleFunction>(library.Symbol("makeModule"));
  ASSERT_NE(make, nullptr) << error;
  auto* module = static_cast<OvModule*>(make(1, OV_MAKE_ENGINE, &EngineHost, nullptr));
  ASSERT_NE(module, nullptr);
  std::string text = "panel saw " + std::string(90, 'B');
  module->dispatcher(module, OV_SDK_MESSAGE, 100, 0, text.data(), 0.0f);
  EXPECT_EQ(engine_text, text.substr(0, 63));
  module->dispatcher(module, OV_SDK_MESSAGE, 12, 0, nullptr, 0.0f);
  EXPECT_EQ(engine_text, "");
  module->dispatcher(module, OV_CLOSE, 0, 0, nullptr, 0.0f);
}

}  // namespace
}  // namespace ov::test
