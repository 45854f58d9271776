// The editor's idle work on an 800 x 600 panel of 200 flat objects: a full
// repaint and presentation, and an idle call when nothing changed.
#include <benchmark/benchmark.h>

#include "editor/canvas.h"
#include "editor/view_root.h"
#include "platform/offscreen_window.h"

namespace ov {
namespace {

class FlatObject : public CPaintObject {
 public:
  FlatObject(Rect rect, Colour colour) : colour_(colour) { SetRect(rect); }
  void Draw(Canvas& canvas) override { canvas.FillRect(ClientRect(), colour_); }

 private:
  Colour colour_;
};

struct Panel {
  Panel() : root([] { return 0u; }) {
    root.SetRect({0, 0, 800, 600});
    root.AttachWindow(std::make_unique<OffscreenWindow>(800, 600));
    CVisualOb* panel = root.AdoptChild(
        std::make_unique<FlatObject>(Rect{0, 0, 800, 600}, MakeColour(255, 255, 255)), false);
    for (int32_t i = 0; i < 200; ++i) {
      const int32_t x = (i % 20) * 40;
      const int32_t y = (i / 20) * 60;
      panel->AdoptChild(std::make_unique<FlatObject>(Rect{x + 2, y + 2, x + 38, y + 58},
                                                     MakeColour(static_cast<uint8_t>(i), 90, 160)),
                        false);
    }
    root.Open();
    root.Idle();
  }
  COrvaneViewVST root;
};

void BM_RepaintAndPresentWholePanel(benchmark::State& state) {
  Panel panel;
  for (auto _ : state) {
    panel.root.InvalidateAll();
    panel.root.Idle();
  }
  state.SetItemsProcessed(state.iterations() * 800 * 600);
}
BENCHMARK(BM_RepaintAndPresentWholePanel);

void BM_IdleWithoutChanges(benchmark::State& state) {
  Panel panel;
  for (auto _ : state) panel.root.Idle();
}
BENCHMARK(BM_IdleWithoutChanges);

}  // namespace
}  // namespace ov

BENCHMARK_MAIN();
