// The editor's lifetime against a real X server (Xvfb): a host that destroys
// its window without closing the editor, and an X server that dies under an
// open editor. Neither may stop the engine's messages reaching the editor
// side, and neither may end the process.
#include <gtest/gtest.h>

#include "host/ov_vst.h"
#include "patches/message_hub.h"
#include "patches/ui_msg_target.h"
#include "platform/x11_top_window.h"
#include "tests/host/compiled_project.h"
#include "tests/host/fake_host.h"
#include "xvfb_server.h"

namespace ov::testing {
namespace {

struct CountingTarget : ui_msg_target {
  void OnMessage(uint32_t, MessageReader&) override { ++received; }
  int received = 0;
};

// A plug-in whose editor is open in a host's frame on an X server of its
// own, and a receiver of the engine's messages.
struct OpenEditor {
  OpenEditor() {
    if (!server.Running()) return;
    plugin = std::make_unique<OvVst>(&FakeHost::Callback, source);
    plugin->App().Messages().SetLogToStderr(false);
    Hub().Targets().Register(target, Hub().NewHandle());
    std::string error;
    frame = X11TopWindow::Create(200, 100, "host", &error);
    if (frame == nullptr) return;
    opened = Dispatch(vst2::effEditOpen, reinterpret_cast<void*>(frame->Handle())) == 1;
  }
  ~OpenEditor() {
    if (plugin != nullptr) Hub().Targets().Unregister(target);
  }
  intptr_t Dispatch(int32_t opcode, void* ptr = nullptr) {
    return plugin->dispatcher(opcode, 0, 0, ptr, 0.0f);
  }
  MessageHub& Hub() { return plugin->App().Hub(); }
  // A message from the engine for the receiver.
  void Post() { Hub().ToEditor().Post(target.Handle(), 0x75706474, MessageWriter{}); }
  // Plug-in idle calls alone, as a host makes them once its window is gone.
  bool PluginIdleDelivers(int count) {
    return PumpUntil([&] { Dispatch(vst2::effIdle); }, [&] { return target.received >= count; });
  }

  XvfbServer server;
  FakeHost host;
  CompiledProject source{
      {{"version", 95960},
       {"panel_size", {200, 100}},
       {"root", {{"type", "Container"}, {"modules", {{{"type", "Container"}}}}}}}};
  std::unique_ptr<OvVst> plugin;
  CountingTarget target;
  std::unique_ptr<X11TopWindow> frame;
  bool opened = false;
};

TEST(X11EditorLifetime, AWindowTheHostDestroysClosesTheEditorAndPluginIdleDrainsAgain) {
  OpenEditor rig;
  ASSERT_TRUE(rig.opened) << "no Xvfb";
  // Without a parent no window is made (it would land on the screen
  // itself), and the open editor stays.
  EXPECT_EQ(rig.Dispatch(vst2::effEditOpen, nullptr), 0);
  EXPECT_TRUE(rig.plugin->App().Messages().Contains("no parent window"));
  EXPECT_TRUE(rig.plugin->Editor()->isOpen());
  rig.Dispatch(vst2::effEditIdle);
  // While the editor is open its own idle drains; the plug-in's does not.
  rig.Post();
  rig.Dispatch(vst2::effIdle);
  EXPECT_EQ(rig.target.received, 0);
  // The host destroys its frame, our window with it, and calls effIdle only.
  rig.frame.reset();
  ASSERT_TRUE(rig.PluginIdleDelivers(1));
  EXPECT_FALSE(rig.plugin->Editor()->isOpen());
  // The host's late effEditClose and editor idle find nothing to do.
  rig.Dispatch(vst2::effEditClose);
  rig.Dispatch(vst2::effEditIdle);
  rig.Post();
  EXPECT_TRUE(rig.PluginIdleDelivers(2));
}

TEST(X11EditorLifetime, ALostXServerClosesTheEditorWithAMessageAndTheProcessGoesOn) {
  OpenEditor rig;
  ASSERT_TRUE(rig.opened) << "no Xvfb";
  rig.Dispatch(vst2::effEditIdle);
  rig.server.Kill();
  // Xlib's own handlers would exit here, at the first call that reads.
  ASSERT_TRUE(PumpUntil([&] { rig.Dispatch(vst2::effEditIdle); },
                        [&] { return !rig.plugin->Editor()->isOpen(); }));
  EXPECT_TRUE(rig.plugin->App().Messages().Contains("lost its connection to the X server"));
  rig.Post();
  EXPECT_TRUE(rig.PluginIdleDelivers(1));
  EXPECT_FALSE(rig.frame->Pump());  // the host's own connection is gone too
  rig.frame.reset();
  rig.Dispatch(vst2::effEditClose);
}

}  // namespace
}  // namespace ov::testing
