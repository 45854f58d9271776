// What the editor tests share: recording objects that log what reaches
// them, a root view on an offscreen window with a clock the test turns, and
// exact comparison with golden pictures.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "editor/canvas.h"
#include "editor/view_root.h"
#include "platform/offscreen_window.h"
#include "platform/png_codec.h"

namespace ov::testing {

using Log = std::vector<std::string>;

inline std::string Describe(const std::string& name, const char* what, Point p) {
  return name + " " + what + " " + std::to_string(p.x) + "," + std::to_string(p.y);
}

// A flat rectangle that takes the mouse and writes down what it receives.
class RecordingObject : public CPaintObject {
 public:
  RecordingObject(std::string name, Log& log, Colour colour, Rect rect)
      : name_(std::move(name)), log_(log), colour_(colour) {
    SetRect(rect);
  }
  bool accepts_mouse = true;
  bool captures = false;       // captures the mouse on a press
  bool uses_keys = false;
  bool takes_keys = false;     // types, so takes the platform focus
  int32_t captures_lost = 0;
  std::vector<Rect> drawn_clips;  // the clip box of each draw

  bool AcceptsMouse() const override { return accepts_mouse; }
  bool TakesKeys() const override { return takes_keys; }
  void CaptureLost() override { ++captures_lost; }
  void Draw(Canvas& canvas) override {
    drawn_clips.push_back(canvas.ClipBox());
    canvas.FillRect(ClientRect(), colour_);
  }
  void MouseDown(uint32_t flags, Point p) override {
    log_.push_back(Describe(name_, (flags & kFlagControl) ? "ctrl-down" : "down", p));
    if (captures) CaptureMouse();
    CPaintObject::MouseDown(flags, p);
  }
  void MouseUp(uint32_t flags, Point p) override {
    log_.push_back(Describe(name_, "up", p));
    CPaintObject::MouseUp(flags, p);
  }
  void MouseMove(uint32_t flags, Point p) override {
    log_.push_back(Describe(name_, "move", p));
    CPaintObject::MouseMove(flags, p);
  }
  void DoubleClick(uint32_t, Point p) override { log_.push_back(Describe(name_, "double", p)); }
  bool KeyDown(int32_t key, int32_t repeat, uint32_t) override {
    log_.push_back(name_ + " key " + std::to_string(key) +
                   (repeat > 0 ? " repeat " + std::to_string(repeat) : ""));
    return uses_keys;
  }
  bool Character(int32_t c, int32_t repeat, uint32_t flags) override {
    if (log_characters) log_.push_back(name_ + " char " + std::to_string(c));
    return CPaintObject::Character(c, repeat, flags);
  }
  bool log_characters = false;
  void TakeFocus() override {
    CPaintObject::TakeFocus();
    log_.push_back(name_ + " focus");
  }
  std::string ToolTipText() const override { return name_ + " tip"; }
  void BuildContextMenu(ContextMenu& menu, Point p) override {
    log_.push_back(Describe(name_, "menu", p));
    menu.Add(34927, name_);
  }
  bool Command(int32_t id, Point p) override {
    log_.push_back(Describe(name_, ("command " + std::to_string(id)).c_str(), p));
    return true;
  }
  void OnTimer(int32_t id) override { log_.push_back(name_ + " timer " + std::to_string(id)); }

 private:
  std::string name_;
  Log& log_;
  Colour colour_;
};

// A window object below the root: draws a colour, logs the wheel.
class RecordingWindow : public CWndOb {
 public:
  RecordingWindow(std::string name, Log& log, Colour colour, Rect rect)
      : name_(std::move(name)), log_(log), colour_(colour) {
    SetRect(rect);
  }
  void Draw(Canvas& canvas) override { canvas.FillRect(ClientRect(), colour_); }
  bool MouseWheel(int32_t delta, uint32_t, Point p) override {
    log_.push_back(Describe(name_, ("wheel " + std::to_string(delta)).c_str(), p));
    return true;
  }

 private:
  std::string name_;
  Log& log_;
  Colour colour_;
};

// A root view of `width` x `height` on an offscreen window, with a panel
// object under it filled white; the clock reads `now`.
struct TreeRig {
  explicit TreeRig(int32_t width = 320, int32_t height = 200)
      : root([this] { return now; }) {
    root.SetRect({0, 0, width, height});
    auto window = std::make_unique<OffscreenWindow>(width, height);
    screen = window.get();
    root.AttachWindow(std::move(window));
    panel = static_cast<RecordingObject*>(root.AdoptChild(
        std::make_unique<RecordingObject>("panel", log, MakeColour(255, 255, 255),
                                          Rect{0, 0, width, height}),
        false));
    panel->accepts_mouse = false;
  }
  RecordingObject* Object(CVisualOb& parent, const std::string& name, Colour colour, Rect rect) {
    return static_cast<RecordingObject*>(parent.AdoptChild(
        std::make_unique<RecordingObject>(name, log, colour, rect), false));
  }
  void Send(WindowEventKind kind, int32_t x, int32_t y, int32_t button = 1, uint32_t flags = 0) {
    WindowEvent e;
    e.kind = kind;
    e.x = x;
    e.y = y;
    e.button = button;
    e.flags = flags;
    if (kind == WindowEventKind::kWheel) e.delta = button;
    root.HandleEvent(e);
  }
  bool Key(WindowEventKind kind, int32_t key, uint32_t flags = 0) {
    WindowEvent e;
    e.kind = kind;
    e.key = key;
    e.flags = flags;
    return root.HandleEvent(e);
  }
  void Click(int32_t x, int32_t y) {
    Send(WindowEventKind::kPress, x, y);
    Send(WindowEventKind::kRelease, x, y);
  }

  Log log;
  uint32_t now = 1000;
  COrvaneViewVST root;
  OffscreenWindow* screen = nullptr;
  RecordingObject* panel = nullptr;
};

inline std::string SourceDir() { return OV_SOURCE_DIR; }
inline std::string BuildDir() {
  // Run by hand from anywhere, a test still writes into its own tree.
  const char* dir = std::getenv("OV_BUILD_DIR");
  return dir ? dir : OV_BINARY_DIR;
}

// Compares `image` with tests/editor/golden/NAME.png exactly (the unused
// fourth byte aside): pictures are built from flat fills, lines and copies,
// which leave no rounding to tolerate. OV_REWRITE_GOLDEN=1 writes the
// picture instead; on a mismatch NAME.actual.png and NAME.diff.png go to
// the build folder.
inline void ExpectMatchesGolden(const std::string& name, const PixelImage& image) {
  const std::string golden_path = SourceDir() + "/tests/editor/golden/" + name + ".png";
  std::string error;
  if (const char* rewrite = std::getenv("OV_REWRITE_GOLDEN"); rewrite && std::string(rewrite) == "1") {
    ASSERT_TRUE(WritePngFile(golden_path, image, &error)) << error;
    return;
  }
  const std::optional<PixelImage> golden = ReadPngFile(golden_path, &error);
  ASSERT_TRUE(golden.has_value()) << error;
  if (SamePixels(*golden, image)) return;
  PixelImage diff(image.Width(), image.Height(), 0);
  int64_t differing = 0;
  PixelRect box;
  const bool same_size = golden->Width() == image.Width() && golden->Height() == image.Height();
  for (int32_t y = 0; same_size && y < image.Height(); ++y) {
    for (int32_t x = 0; x < image.Width(); ++x) {
      if (((golden->At(x, y) ^ image.At(x, y)) & 0xFFFFFF) == 0) continue;
      ++differing;
      diff.Row(y)[x] = 0xFF0000;
      box = Union(box, {x, y, x + 1, y + 1});
    }
  }
  WritePngFile(BuildDir() + "/" + name + ".actual.png", image, &error);
  WritePngFile(BuildDir() + "/" + name + ".diff.png", diff, &error);
  ADD_FAILURE() << name << ": " << (same_size ? "" : "size differs; ") << differing
                << " pixels differ in (" << box.left << ", " << box.top << ", " << box.right
                << ", " << box.bottom << "); see " << BuildDir() << "/" << name << ".actual.png";
}

}  // namespace ov::testing
