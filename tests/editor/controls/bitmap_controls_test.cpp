// Bitmap controls through the panel's own event path: values to frames,
// presses, drags and keys, in both generations, with images held in a skin.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "document/container.h"
#include "document/document.h"
#include "document/project_text.h"
#include "editor/controls/bitmap_controls.h"
#include "editor/controls/control_faces.h"
#include "editor/controls/control_frame2.h"
#include "editor/panel_view.h"
#include "editor/skins/default_skin/default_skin.h"
#include "editor/skins/skin_list.h"
#include "platform/files.h"
#include "tests/editor/editor_test_support.h"
#include "platform/message_sink.h"

namespace ov::testing {
namespace {

constexpr uint32_t kRed = 0xFF0000;  // screen and image pixels: 0x00RRGGBB

struct ImageShape {
  int32_t type = kSkinKnob;
  int32_t mode = kResponseUnset;
  int32_t frames = 1;
  Point frame{10, 10};
  int32_t segments = 5;
  int32_t range_start = 0;
  int32_t range_end = 50;
};

// Frames stacked downwards, every pixel opaque red.
std::shared_ptr<SkinImage> MakeImage(const ImageShape& shape) {
  auto image = std::make_shared<SkinImage>();
  image->name = "img";
  image->pixels.width = shape.frame.x;
  image->pixels.height = shape.frame.y * shape.frames;
  image->pixels.colour.assign(static_cast<std::size_t>(image->pixels.width) * image->pixels.height,
                              kRed);
  ImageDescription& d = image->description;
  d.type = shape.type;
  d.mode_letter = shape.mode;
  d.frame_size = shape.frame;
  d.last_frame = shape.frames - 1;
  d.segment_count = shape.segments;
  d.range_start = shape.range_start;
  d.range_end = shape.range_end;
  return image;
}

enum Act { kDoPress, kDoMove, kDoRelease, kDoKeyDown, kDoKeyUp, kDoSet };
struct Action {
  Act act;
  int32_t x = 0;  // control coordinates; keys: the key
  int32_t y = 0;
  uint32_t flags = 0;
  float value = 0.0f;
};
Action Press(int32_t x, int32_t y) { return {kDoPress, x, y}; }
Action Move(int32_t x, int32_t y, uint32_t flags = 0) { return {kDoMove, x, y, flags}; }
Action Release(int32_t x, int32_t y) { return {kDoRelease, x, y}; }
Action Key(int32_t key) { return {kDoKeyDown, key}; }
Action KeyRelease(int32_t key) { return {kDoKeyUp, key}; }
Action Set(float value) { return {kDoSet, 0, 0, 0, value}; }

struct Row {
  const char* name;
  bool normalised;  // CMyBmpCtrl2 (0..1, features) rather than CMyBmpCtrl (percent)
  ImageShape image;
  Rect rect;  // in the window; events go straight to the control when it has no size
  float start;
  std::vector<Action> actions;
  float value;       // expected afterwards
  int32_t position;  // expected afterwards
  bool toggle = false;
  // Painted pixels expected afterwards, in control coordinates.
  std::vector<std::pair<Point, uint32_t>> pixels = {};
};

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

const ImageShape kKnob31{kSkinKnob, kResponseRotary, 31, {40, 40}};
const ImageShape kVSlider{kSkinSlider, kResponseVertical, 1, {20, 120}, 5, 10, 110};
const ImageShape kClick{kSkinKnob, kResponseClick, 2, {20, 20}};
const ImageShape kStep4{kSkinKnob, kResponseStep, 4, {20, 20}};
const ImageShape kStep1{kSkinKnob, kResponseStep, 1, {20, 20}};
const ImageShape kUnset{kSkinKnob, kResponseUnset, 31, {40, 40}};
const ImageShape kHorizontal{kSkinKnob, kResponseHorizontal, 31, {40, 40}};
const ImageShape kBar{kSkinBarGraph, kResponseVertical, 2, {10, 60}, 9, 0, 6};
const Rect kAt{10, 10, 50, 50};

const Row kRows[] = {
    // Value to position: the value is first rounded to whole percent.
    {"knob at 50 percent", false, kKnob31, kAt, 0, {Set(50)}, 50, 15 * 40},
    {"knob at 1.4 percent", false, kKnob31, kAt, 0, {Set(1.4f)}, 1.4f, 0},
    {"knob at 1.6 percent", false, kKnob31, kAt, 0, {Set(1.6f)}, 1.6f, 40},
    {"vertical slider at 0", false, kVSlider, {10, 10, 30, 130}, 50, {Set(0)}, 0, 110},
    {"vertical slider at 100", false, kVSlider, {10, 10, 30, 130}, 0, {Set(100)}, 100, 10},
    {"bar graph of 9 segments", false, kBar, {10, 10, 20, 70}, 0, {Set(50)}, 50, 29},
    {"normalised knob at 0.5", true, kKnob31, kAt, 0, {Set(0.5f)}, 0.5f, 15 * 40},
    {"normalised bar graph", true, kBar, {10, 10, 20, 70}, 0, {Set(0.5f)}, 0.5f, 29},
    {"one-frame bar graph draws its lit rows only", false,
     {kSkinBarGraph, kResponseVertical, 1, {10, 10}, 9, 0, 1}, {10, 10, 20, 20}, 0, {Set(50)}, 50, 4,
     false, {{{5, 5}, 0xFFFFFF}, {{5, 6}, kRed}, {{5, 9}, kRed}}},
    {"NaN counts as 0", false, kKnob31, kAt, 50, {Set(kNaN)}, 0, 0},
    {"infinity counts as 0", true, kKnob31, kAt, 0.5f, {Set(kInf)}, 0, 0},
    // Clicks and steps.
    {"momentary click held", false, kClick, {10, 10, 30, 30}, 0, {Press(5, 5)}, 100, 20},
    {"momentary click let go", false, kClick, {10, 10, 30, 30}, 0,
     {Press(5, 5), Release(5, 5)}, 0, 0},
    {"toggle on, release keeps it", false, kClick, {10, 10, 30, 30}, 0,
     {Press(5, 5), Release(5, 5)}, 100, 20, true},
    {"toggle off again", false, kClick, {10, 10, 30, 30}, 0,
     {Press(5, 5), Release(5, 5), Press(5, 5), Release(5, 5)}, 0, 0, true},
    {"normalised click let go", true, kClick, {10, 10, 30, 30}, 0,
     {Press(5, 5), Release(5, 5)}, 0, 0},
    {"step once", false, kStep4, {10, 10, 30, 30}, 0, {Press(5, 5), Release(5, 5)}, 100.0f / 3, 20},
    {"step cycles back to 0", false, kStep4, {10, 10, 30, 30}, 0,
     {Press(5, 5), Release(5, 5), Press(5, 5), Release(5, 5), Press(5, 5), Release(5, 5),
      Press(5, 5), Release(5, 5)},
     0, 0},
    {"step on a one-frame image stays", true, kStep1, {10, 10, 30, 30}, 1,
     {Press(5, 5), Release(5, 5)}, 1, 0},
    // Drags.
    {"unset response takes no drag", false, kUnset, kAt, 50,
     {Press(20, 20), Move(30, 20), Release(30, 20)}, 50, 15 * 40},
    {"horizontal 10 pixels is 5 percent", false, kHorizontal, kAt, 50,
     {Press(20, 20), Move(30, 20), Release(30, 20)}, 55, 17 * 40},
    {"horizontal with Ctrl is 1 percent", false, kHorizontal, kAt, 50,
     {Press(20, 20), Move(30, 20, kFlagControl), Release(30, 20)}, 51, 15 * 40},
    {"rotary dragged straight down goes vertical", true, kKnob31, kAt, 0.5f,
     {Press(20, 30), Move(20, 40), Release(20, 40)}, 0.4f, 12 * 40},
    {"rotary turned at the rim", true, kKnob31, kAt, 0.5f,
     {Press(35, 20), Move(35, 25), Release(35, 25)}, 0.532175f, 16 * 40},
    {"percent rotary turned at the rim", false, kKnob31, kAt, 50,
     {Press(35, 20), Move(35, 25), Release(35, 25)}, 53.2175f, 16 * 40},
    {"rotary without size goes vertical", true, kKnob31, {10, 10, 10, 10}, 0.5f,
     {Press(0, 0), Move(0, 10), Release(0, 10)}, 0.4f, 12 * 40},
    // Keys: one percent a step; space works a click control.
    {"up key adds a step", false, kKnob31, kAt, 50, {Key(kKeyUp)}, 51, 15 * 40},
    {"left key takes one off", true, kKnob31, kAt, 0.5f, {Key(kKeyLeft)}, 0.49f, 15 * 40},
    {"space holds a click", false, kClick, {10, 10, 30, 30}, 0, {Key(kKeySpace)}, 100, 20},
    {"space let go", true, kClick, {10, 10, 30, 30}, 0, {Key(kKeySpace), KeyRelease(kKeySpace)}, 0,
     0},
};

void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }

class BitmapControlCase : public ::testing::TestWithParam<Row> {};

TEST_P(BitmapControlCase, EndsAtItsValueAndFrame) {
  const Row& row = GetParam();
  MessageSink messages;
  messages.SetLogToStderr(false);
  Skin skin;
  skin.name = "default";
  skin.images.push_back(MakeImage(row.image));
  SkinList skins("", std::move(skin), &messages, nullptr);
  TreeRig rig;
  rig.root.SetSkins(&skins);

  variable<std::string, MetaData_filename> file_name("img");
  variable<float, MetaData_float> animation(row.normalised ? row.start : 0.0f);
  BitmapControl* control = nullptr;
  if (row.normalised) {
    auto made = std::make_unique<CMyBmpCtrl2>();
    ASSERT_TRUE(made->BindFeature(0, animation));
    ASSERT_TRUE(made->BindFeature(1, file_name));
    control = made.get();
    rig.panel->AdoptChild(std::move(made), false);
  } else {
    auto made = std::make_unique<CMyBmpCtrl>("img");
    made->set_toggle(row.toggle);
    made->SetValue(row.start);
    control = made.get();
    rig.panel->AdoptChild(std::move(made), false);
  }
  control->SetRect(row.rect);
  rig.root.Open();
  ASSERT_NE(control->image(), nullptr);

  const bool direct = row.rect.right == row.rect.left;
  for (const Action& a : row.actions) {
    const Point window{row.rect.left + a.x, row.rect.top + a.y};
    switch (a.act) {
      case kDoPress:
        if (direct) control->MouseDown(kFlagLeftButton, {a.x, a.y});
        else rig.Send(WindowEventKind::kPress, window.x, window.y, 1, a.flags);
        break;
      case kDoMove:
        if (direct) control->MouseMove(a.flags | kFlagLeftButton, {a.x, a.y});
        else rig.Send(WindowEventKind::kMotion, window.x, window.y, 1, a.flags | kFlagLeftButton);
        break;
      case kDoRelease:
        if (direct) control->MouseUp(0, {a.x, a.y});
        else rig.Send(WindowEventKind::kRelease, window.x, window.y, 1, a.flags);
        break;
      case kDoKeyDown:
        control->KeyDown(a.x, 0, 0);
        break;
      case kDoKeyUp:
        control->KeyUp(a.x, 0, 0);
        break;
      case kDoSet:
        if (row.normalised) static_cast<CMyBmpCtrl2*>(control)->SetValue(a.value);
        else static_cast<CMyBmpCtrl*>(control)->SetValue(a.value);
        break;
    }
  }
  EXPECT_NEAR(control->value(), row.value, 1e-4);
  EXPECT_EQ(control->position(), row.position);
  if (!row.pixels.empty()) {
    rig.root.InvalidateAll();
    rig.root.Idle();
  }
  for (const auto& [at, pixel] : row.pixels) {
    EXPECT_EQ(rig.screen->Screen().At(row.rect.left + at.x, row.rect.top + at.y) & 0xFFFFFF, pixel)
        << at.x << "," << at.y;
  }
  // A bound control keeps its value in the feature's variable.
  if (row.normalised) {
    EXPECT_NEAR(animation.Get(), row.value, 1e-4);
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, BitmapControlCase, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row>& info) {
                           std::string name;
                           for (const char* c = info.param.name; *c; ++c) {
                             name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                           }
                           return name;
                         });

}  // namespace
}  // namespace ov::testing

namespace ov::testing {
namespace {

bool AnyFamily(std::string_view) { return true; }

// The example panel as the plug-in builds it: control_ob modules in frames,
// their feature plugs bound to the faces.
struct WidgetsPanel {
  WidgetsPanel()
      : document(Load()),
        skins("", BuiltInSkin(AnyFamily), &messages, AnyFamily),
        root([] { return 0u; }) {
    messages.SetLogToStderr(false);
    AddBitmapFaces(faces);
    AddControlFrameMaker(makers, faces);
    root.SetSkins(&skins);
    root.SetRect({0, 0, 320, 200});
    auto window = std::make_unique<OffscreenWindow>(320, 200);
    screen = window.get();
    root.AttachWindow(std::move(window));
    main = document.FindMainContainer();
    view = PopulateView(*main, root, makers);
    root.SetRect({0, 0, 320, 200});
    root.Open();
  }
  static COrvaneDocBase Load() {
    std::string error;
    std::vector<uint8_t> bytes;
    const bool read =
        ReadFileBytes(SourceDir() + "/examples/widgets.json", 1 << 20, &bytes, &error);
    const std::optional<Json> json =
        read ? ParseProjectText({reinterpret_cast<const char*>(bytes.data()), bytes.size()}, &error)
             : std::nullopt;
    if (!json) throw std::runtime_error("examples/widgets.json: " + error);
    return CompileDocument(*json, {});
  }
  // The frame standing at (x, y) and its face.
  control_frame2* FrameAt(int32_t x, int32_t y) {
    for (CVisualOb* child : view->children()) {
      auto* frame = dynamic_cast<control_frame2*>(child);
      if (frame != nullptr && frame->GetRect().left == x && frame->GetRect().top == y) return frame;
    }
    return nullptr;
  }
  std::string PlugText(control_frame2& frame, const char* name) {
    return static_cast<CUG*>(frame.Module())->FindPlug(name)->value_text();
  }
  void Send(WindowEventKind kind, int32_t x, int32_t y) {
    WindowEvent e;
    e.kind = kind;
    e.x = x;
    e.y = y;
    e.button = 1;
    e.flags = kind == WindowEventKind::kRelease ? 0u : static_cast<uint32_t>(kFlagLeftButton);
    root.HandleEvent(e);
  }
  void Drag(Point from, Point to) {
    Send(WindowEventKind::kPress, from.x, from.y);
    Send(WindowEventKind::kMotion, to.x, to.y);
    Send(WindowEventKind::kRelease, to.x, to.y);
  }

  MessageSink messages;
  COrvaneDocBase document;
  SkinList skins;
  ControlFaces faces;
  VisualMakers makers;
  COrvaneViewVST root;
  OffscreenWindow* screen = nullptr;
  CContainer* main = nullptr;
  CVisualOb* view = nullptr;
};

TEST(ControlFrames, FacesShowAndWriteTheirModulesPlugs) {
  WidgetsPanel panel;
  control_frame2* knob = panel.FrameAt(16, 16);
  ASSERT_NE(knob, nullptr);
  auto* face = dynamic_cast<CMyBmpCtrl2*>(knob->Face());
  ASSERT_NE(face, nullptr);
  // The frame takes the size of its face's frame cell.
  EXPECT_EQ(knob->GetRect(), (Rect{16, 16, 56, 56}));
  EXPECT_FLOAT_EQ(face->value(), 0.25f);
  EXPECT_EQ(panel.PlugText(*knob, "Frame Count"), "61");
  EXPECT_FALSE(face->BindFeature(9, *static_cast<CUG*>(knob->Module())->plugs()[0]->ValueVariable()))
      << "a feature index beyond the face's features binds nothing";

  // Dragged straight down below its centre, the knob turns down 0.01 a pixel;
  // the plug keeps the new value and sees the button let go.
  panel.Drag({36, 46}, {36, 56});
  EXPECT_NEAR(face->value(), 0.15f, 1e-5);
  EXPECT_EQ(panel.PlugText(*knob, "Animation Position"), "0.150");
  EXPECT_EQ(panel.PlugText(*knob, "Mouse Down"), "0");

  // The pad moves its point, y upwards.
  control_frame2* pad = panel.FrameAt(16, 96);
  ASSERT_NE(pad, nullptr);
  EXPECT_EQ(pad->GetRect(), (Rect{16, 96, 112, 192})) << "a thick face keeps the frame's size";
  panel.Drag({64, 144}, {74, 134});
  EXPECT_EQ(panel.PlugText(*pad, "Position X"), "0.550");
  EXPECT_EQ(panel.PlugText(*pad, "Position Y"), "0.550");

  // A value arriving on the plug moves the face.
  static_cast<CUG*>(knob->Module())->FindPlug("Animation Position")->WriteValueText("1");
  EXPECT_EQ(face->position(), 60 * 40);

  // Without an image: the grey outline.
  panel.root.InvalidateAll();
  panel.root.Idle();
  EXPECT_EQ(panel.screen->Screen().At(128, 96) & 0xFFFFFF, PixelOf(MakeColour(125, 125, 125)));
  EXPECT_EQ(panel.screen->Screen().At(147, 115) & 0xFFFFFF, PixelOf(MakeColour(125, 125, 125)));
}

}  // namespace
}  // namespace ov::testing
