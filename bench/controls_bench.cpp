// One frame of a 31-frame knob: the value moves by a frame and the next idle
// call repaints and presents the knob's rectangle.
#include <benchmark/benchmark.h>

#include "document/value_objects.h"
#include "editor/controls/bitmap_controls.h"
#include "editor/skins/skin_list.h"
#include "editor/view_root.h"
#include "platform/message_sink.h"
#include "platform/offscreen_window.h"

namespace ov {
namespace {

// 31 frames of 40 x 40, half of each pixel's light let through, so the
// drawing blends every pixel.
Skin KnobSkin() {
  auto image = std::make_shared<SkinImage>();
  image->name = "knob";
  image->pixels.width = 40;
  image->pixels.height = 40 * 31;
  image->pixels.colour.assign(40 * 40 * 31, 0x80336699);
  image->description.type = kSkinKnob;
  image->description.mode_letter = 3;
  image->description.frame_size = {40, 40};
  image->description.last_frame = 30;
  Skin skin;
  skin.name = "default";
  skin.images.push_back(std::move(image));
  return skin;
}

void BM_KnobTurnsOneFrame(benchmark::State& state) {
  MessageSink messages;
  messages.SetLogToStderr(false);
  SkinList skins("", KnobSkin(), &messages, nullptr);
  COrvaneViewVST root([] { return 0u; });
  root.SetSkins(&skins);
  root.SetRect({0, 0, 320, 200});
  root.AttachWindow(std::make_unique<OffscreenWindow>(320, 200));
  variable<std::string, MetaData_filename> file_name("knob");
  variable<float, MetaData_float> position(0.5f);
  auto* knob = static_cast<CMyBmpCtrl2*>(root.AdoptChild(std::make_unique<CMyBmpCtrl2>(), false));
  knob->BindFeature(0, position);
  knob->BindFeature(1, file_name);
  knob->SetRect({100, 80, 140, 120});
  root.Open();
  root.Idle();
  bool up = false;
  for (auto _ : state) {
    up = !up;
    knob->SetValue(up ? 16.0f / 30.0f : 15.0f / 30.0f);
    root.Idle();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_KnobTurnsOneFrame);

}  // namespace
}  // namespace ov
