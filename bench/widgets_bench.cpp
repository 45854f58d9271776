// One character typed into an edit box holding 200: the edit and the next
// idle call, which repaints and presents the box's rectangle only. Typing
// and Backspace take turns, so the text stays 200 or 201 characters long.
#include <benchmark/benchmark.h>

#include <string>

#include "editor/skins/default_skin/default_skin.h"
#include "editor/view_root.h"
#include "editor/widgets/edit_boxes.h"
#include "platform/message_sink.h"
#include "platform/offscreen_window.h"
#include "platform/window_port.h"

namespace ov {
namespace {

void BM_CharacterTypedIntoALongEditBox(benchmark::State& state) {
  MessageSink messages;
  messages.SetLogToStderr(false);
  const auto any_family = [](std::string_view) { return true; };
  SkinList skins("", BuiltInSkin(any_family), &messages, any_family);
  COrvaneViewVST root([] { return 0u; });
  root.SetSkins(&skins);
  root.SetRect({0, 0, 320, 200});
  root.AttachWindow(std::make_unique<OffscreenWindow>(320, 200));
  auto* box = static_cast<CMyEdit2*>(root.AdoptChild(std::make_unique<CMyEdit2>(), false));
  box->SetRect({10, 80, 310, 100});
  root.Open();
  box->ShowText(std::string(200, 'w'));
  box->TakeFocus();
  box->KeyDown(kKeyEnd, 0, 0);
  root.Idle();
  WindowEvent typed;
  typed.kind = WindowEventKind::kCharacter;
  bool add = false;
  for (auto _ : state) {
    add = !add;
    typed.key = add ? 'x' : '\b';
    root.HandleEvent(typed);
    root.Idle();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CharacterTypedIntoALongEditBox);

}  // namespace
}  // namespace ov
