// The editor in a real X server (Xvfb): a parent window made as hosts make
// theirs, input sent by xdotool to recording objects in the panel, a host
// that destroys its window first, no display at all, and `orvane show`
// showing what `orvane snapshot` draws, pixel for pixel.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>

#include <cmath>
#include <fstream>
#include <thread>

#include "editor/popup_windows.h"
#include "extmodules/module_library.h"
#include "modules/module_registry.h"
#include "host/ov_vst.h"
#include "media/midi_file.h"
#include "media/wav_file.h"
#include "platform/x11_child_window.h"
#include "platform/x11_top_window.h"
#include "tests/editor/editor_test_support.h"
#include "tests/extmodules/gain_panel_project.h"
#include "tests/host/compiled_project.h"
#include "tests/host/fake_host.h"
#include "xvfb_server.h"
// Last: Xlib's macros would spoil the test framework's headers.
#include <X11/XKBlib.h>

namespace ov::testing {
namespace {

using ::testing::ElementsAre;

// A host's editor frame with our root view and its panel inside.
struct X11Rig {
  X11Rig() {
    if (!server.Running()) return;
    std::string error;
    parent = X11TopWindow::Create(320, 200, "host", &error);
    if (parent == nullptr) return;
    auto window = X11ChildWindow::Create(parent->Handle(), 320, 200, &error);
    if (window == nullptr) return;
    child = window.get();
    tree.root.Close();
    tree.root.AttachWindow(std::move(window));
    tree.root.Open();
    tree.root.InvalidateAll();
  }
  void Idle() { tree.root.Idle(); }
  bool Ready() const { return child != nullptr; }
  std::string Xdotool(const std::string& steps) {
    return "xdotool " + steps;
  }
  // The pointer at (x, y) of the parent window.
  std::string At(int x, int y) {
    return "mousemove --window " + std::to_string(parent->Handle()) + " " + std::to_string(x) +
           " " + std::to_string(y) + " ";
  }
  bool WaitForLog(std::size_t lines) {
    return PumpUntil([&] { Idle(); }, [&] { return tree.log.size() >= lines; });
  }

  XvfbServer server;
  std::unique_ptr<X11TopWindow> parent;
  TreeRig tree{320, 200};
  X11ChildWindow* child = nullptr;
};

TEST(X11Editor, ClicksDragsKeysAndWheelsReachTheirObjects) {
  X11Rig rig;
  ASSERT_TRUE(rig.Ready()) << "no Xvfb";
  RecordingObject* knob = rig.tree.Object(*rig.tree.panel, "knob", MakeColour(200, 0, 0),
                                          {20, 20, 80, 80});
  RecordingObject* edit = rig.tree.Object(*rig.tree.panel, "edit", MakeColour(0, 0, 200),
                                          {120, 20, 180, 80});
  auto wheel_window = std::make_unique<RecordingWindow>("scroller", rig.tree.log,
                                                        MakeColour(0, 150, 0), Rect{200, 100, 300, 180});
  rig.tree.panel->AdoptChild(std::move(wheel_window), false);
  knob->captures = true;
  knob->takes_keys = true;
  knob->SetFlags(kVoFocusable);
  edit->takes_keys = true;
  edit->SetFlags(kVoFocusable);
  knob->set_tab_order(0);
  edit->set_tab_order(1);
  for (CVisualOb* o : rig.tree.panel->children()) o->Open();
  rig.Idle();

  // A click gives the window the focus, so the keys that follow reach it.
  Log& log = rig.tree.log;
  const auto wait_for = [&](const std::string& part, std::size_t count) {
    return PumpUntil([&] { rig.Idle(); }, [&] { return Lines(log, part).size() >= count; });
  };
  ASSERT_EQ(RunCommand(rig.Xdotool(rig.At(30, 30) + "click 1")), 0);
  ASSERT_TRUE(wait_for(" up ", 1));
  EXPECT_THAT(Lines(log, "knob "), ::testing::IsSupersetOf({"knob down 10,10", "knob focus",
                                                           "knob up 10,10"}));
  ASSERT_EQ(RunCommand(rig.Xdotool("key Tab")), 0);
  ASSERT_TRUE(wait_for("focus", 2));
  ASSERT_EQ(RunCommand(rig.Xdotool("key shift+Tab")), 0);
  ASSERT_TRUE(wait_for("focus", 3));
  EXPECT_THAT(Lines(log, "focus"), ElementsAre("knob focus", "edit focus", "knob focus"));
  // Keys reach the focused object first, then its ancestors.
  EXPECT_THAT(Lines(log, "key 9"), ::testing::Contains("knob key 9"));
  log.clear();
  // Ctrl-drag from the knob out of the window: the knob keeps the moves.
  ASSERT_EQ(RunCommand(rig.Xdotool("keydown ctrl " + rig.At(40, 40) + "mousedown 1 " +
                                   rig.At(150, 50) + rig.At(340, 60) + "mouseup 1 keyup ctrl")),
            0);
  ASSERT_TRUE(wait_for(" up ", 1));
  const std::vector<std::string> mouse = Lines(log, "knob");
  EXPECT_THAT(mouse, ::testing::Contains("knob ctrl-down 20,20"));
  EXPECT_THAT(mouse, ::testing::Contains("knob move 130,30"));
  EXPECT_THAT(mouse, ::testing::Contains("knob up 320,40"));
  EXPECT_TRUE(Lines(log, "edit move").empty());  // passed over, but captured
  log.clear();
  ASSERT_EQ(RunCommand(rig.Xdotool(rig.At(250, 150) + "click 4 click 5")), 0);
  ASSERT_TRUE(wait_for("wheel", 2));
  EXPECT_THAT(Lines(log, "wheel"),
              ElementsAre("scroller wheel -120 50,50", "scroller wheel 120 50,50"));
}

TEST(X11Editor, MenusAndToolTipsOpenAsWindowsOfTheirOwn) {
  X11Rig rig;
  ASSERT_TRUE(rig.Ready()) << "no Xvfb";
  MessageSink messages;
  PopupWindows popups(rig.tree.root, &messages);
  rig.tree.root.SetPopups(&popups);
  // However the test ends, the tree lets go of the popups before they go.
  struct Detach {
    COrvaneViewVST& root;
    ~Detach() {
      root.Close();
      root.SetPopups(nullptr);
    }
  } detach{rig.tree.root};
  RecordingObject* knob = rig.tree.Object(*rig.tree.panel, "knob", MakeColour(200, 0, 0),
                                          {20, 20, 80, 80});
  knob->SetFlags(kVoToolTip);
  knob->Open();
  Log& log = rig.tree.log;
  const auto pump_until = [&](const std::function<bool()>& done) {
    return PumpUntil([&] { rig.Idle(); }, done);
  };
  // The menu opens under the pointer, so an item is a few pixels away; a
  // click outside it cancels, which the grab lets the menu see.
  ASSERT_EQ(RunCommand(rig.Xdotool(rig.At(30, 30) + "click 3")), 0);
  ASSERT_TRUE(pump_until([&] { return popups.MenuShown(); }));
  ASSERT_EQ(RunCommand(rig.Xdotool(rig.At(300, 190) + "click 1")), 0);
  ASSERT_TRUE(pump_until([&] { return !popups.MenuShown(); }));
  ASSERT_EQ(RunCommand(rig.Xdotool(rig.At(30, 30) + "click 3")), 0);
  ASSERT_TRUE(pump_until([&] { return popups.MenuShown(); }));
  ASSERT_EQ(RunCommand(rig.Xdotool("mousemove_relative 10 8 click 1")), 0);
  ASSERT_TRUE(pump_until([&] { return !Lines(log, "command").empty(); }));
  EXPECT_THAT(Lines(log, "command"), ElementsAre("knob command 34927 10,10"));
  // While another program holds the pointer no menu opens: it could not see
  // the click that closes it.
  Display* other = XOpenDisplay(nullptr);
  ASSERT_NE(other, nullptr);
  ASSERT_EQ(XGrabPointer(other, DefaultRootWindow(other), False, ButtonPressMask, GrabModeAsync,
                         GrabModeAsync, None, None, CurrentTime),
            GrabSuccess);
  XSync(other, False);
  messages.SetLogToStderr(false);
  ContextMenu refused;
  refused.Add(34927, "refused");
  popups.ShowMenu(refused, {30, 30});
  EXPECT_FALSE(popups.MenuShown());
  EXPECT_TRUE(messages.Contains("another program holds the pointer"));
  XCloseDisplay(other);

  ASSERT_EQ(RunCommand(rig.Xdotool(rig.At(40, 40))), 0);
  ASSERT_TRUE(pump_until([&] { return !Lines(log, "knob move 20,20").empty(); }));
  rig.tree.now += kToolTipDelayMs;
  rig.Idle();
  ASSERT_NE(popups.ToolTipWindow(), nullptr);
  EXPECT_TRUE(popups.ToolTipWindow()->Alive());
}

// Another program's grab (a host's shortcut, a window manager's switcher)
// ends a drag at once; a held key repeats as presses that count up; text
// beyond Latin-1 arrives as its code points; keys nothing types are the
// host's.
TEST(X11Editor, AGrabEndsADragAndKeysRepeatAndTypeAnyCharacter) {
  X11Rig rig;
  ASSERT_TRUE(rig.Ready()) << "no Xvfb";
  RecordingObject* edit = rig.tree.Object(*rig.tree.panel, "edit", MakeColour(0, 0, 200),
                                          {20, 20, 80, 80});
  edit->captures = true;
  edit->takes_keys = true;
  edit->log_characters = true;
  edit->SetFlags(kVoFocusable);
  edit->Open();
  Log& log = rig.tree.log;
  const auto pump_until = [&](const std::function<bool()>& done) {
    return PumpUntil([&] { rig.Idle(); }, done);
  };
  Display* other = XOpenDisplay(nullptr);
  ASSERT_NE(other, nullptr);
  ASSERT_EQ(RunCommand(rig.Xdotool(rig.At(30, 30) + "mousedown 1")), 0);
  ASSERT_TRUE(pump_until([&] { return rig.tree.root.State().capture() == edit; }));
  // The press gave the window the keyboard; wait until the server says so.
  ASSERT_TRUE(pump_until([&] {
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(other, &focus, &revert);
    return focus == rig.child->Handle();
  }));
  ASSERT_EQ(XGrabKeyboard(other, DefaultRootWindow(other), False, GrabModeAsync, GrabModeAsync,
                          CurrentTime),
            GrabSuccess);
  XSync(other, False);
  ASSERT_TRUE(pump_until([&] { return edit->captures_lost > 0; }));
  EXPECT_EQ(rig.tree.root.State().capture(), nullptr);
  log.clear();
  // The pointer goes on moving with the button down: nothing reaches the
  // object whose drag ended, nor does the release.
  ASSERT_EQ(RunCommand(rig.Xdotool(rig.At(150, 60) + rig.At(160, 70) + "mouseup 1")), 0);
  XUngrabKeyboard(other, CurrentTime);
  XSync(other, False);
  for (int i = 0; i < 20; ++i) rig.Idle();
  EXPECT_TRUE(Lines(log, "edit").empty()) << log.size();

  // Held for a while at a quick rate: presses alone, counting.
  XkbSetAutoRepeatRate(other, XkbUseCoreKbd, 100, 20);
  XSync(other, False);
  ASSERT_EQ(RunCommand(rig.Xdotool("keydown a sleep 0.4 keyup a")), 0);
  const auto count = [&](const std::string& line) { return std::count(log.begin(), log.end(), line); };
  ASSERT_TRUE(pump_until([&] { return count("edit key 65 repeat 3") == 1; }));
  EXPECT_EQ(Lines(log, "edit key 65").front(), "edit key 65");
  EXPECT_EQ(count("edit key 65"), 1) << "a repeat is no new press";
  EXPECT_EQ(count("edit key 65 repeat 1"), 1);
  log.clear();
  // xdotool types such characters by binding them to a spare key for a
  // moment: it runs beside the pump, so that each key is read while bound.
  int typed = -1;
  std::thread typist(
      [&] { typed = RunCommand(rig.Xdotool("type --delay 250 \"\xD0\xB6\xE2\x82\xAC\"")); });
  const bool arrived = pump_until([&] { return Lines(log, "char").size() >= 2; });
  typist.join();
  ASSERT_EQ(typed, 0);
  ASSERT_TRUE(arrived) << ::testing::PrintToString(log);
  EXPECT_THAT(Lines(log, "char"), ElementsAre("edit char 1078", "edit char 8364"));

  // Once it no longer types, a click on it hands the keyboard back: the
  // host's shortcut reaches the host, also with the pointer over the panel.
  edit->takes_keys = false;
  rig.tree.now += kDoubleClickMs;  // a click of its own, not the second of a pair
  ASSERT_EQ(RunCommand(rig.Xdotool(rig.At(30, 30) + "click 1")), 0);
  ASSERT_TRUE(pump_until([&] { return !Lines(log, "edit up").empty(); }));
  XSelectInput(other, rig.parent->Handle(), KeyPressMask);
  XSync(other, False);
  log.clear();
  ASSERT_EQ(RunCommand(rig.Xdotool("key space")), 0);
  bool host_heard = false;
  ASSERT_TRUE(pump_until([&] {
    while (XPending(other) > 0) {
      XEvent event;
      XNextEvent(other, &event);
      host_heard = host_heard || event.type == KeyPress;
    }
    return host_heard;
  }));
  EXPECT_TRUE(Lines(log, "edit key").empty()) << ::testing::PrintToString(log);
  XCloseDisplay(other);
}

TEST(X11Editor, AHostWindowDestroyedBeforeCloseLeavesTheProcessAlive) {
  X11Rig rig;
  ASSERT_TRUE(rig.Ready()) << "no Xvfb";
  rig.Idle();
  rig.parent.reset();  // the host's window goes, on the host's own connection
  ASSERT_TRUE(PumpUntil([&] { rig.Idle(); }, [&] { return !rig.child->Alive(); }));
  rig.tree.root.InvalidateAll();
  rig.Idle();  // presenting into the dead window is skipped
  rig.tree.root.Close();
  SUCCEED();
}

TEST(X11Editor, WithoutADisplayTheEditorAnswersZeroWithAMessage) {
  unsetenv("DISPLAY");
  FakeHost host;
  CompiledProject source({{"version", 95960},
                          {"panel_size", {200, 100}},
                          {"root", {{"type", "Container"}, {"modules", {{{"type", "Container"}}}}}}});
  OvVst plugin(&FakeHost::Callback, source);
  ASSERT_NE(plugin.Editor(), nullptr);
  plugin.App().Messages().SetLogToStderr(false);
  EXPECT_EQ(plugin.dispatcher(vst2::effEditOpen, 0, 0, reinterpret_cast<void*>(1), 0), 0);
  EXPECT_FALSE(plugin.Editor()->isOpen());
  EXPECT_TRUE(plugin.App().Messages().Contains("no X display"));
}

TEST(X11Editor, AWindowUnderAMissingParentIsRefused) {
  XvfbServer server;
  ASSERT_TRUE(server.Running()) << "no Xvfb";
  std::string error;
  EXPECT_EQ(X11ChildWindow::Create(0x3FFFFF, 10, 10, &error), nullptr);
  EXPECT_THAT(error, ::testing::HasSubstr("does not exist"));
}

TEST(X11Editor, AScreenWithoutTrueColourIsRefused) {
  XvfbServer server(16);
  ASSERT_TRUE(server.Running()) << "no Xvfb";
  std::unique_ptr<X11TopWindow> parent;
  std::string error;
  parent = X11TopWindow::Create(100, 100, "host", &error);
  ASSERT_NE(parent, nullptr) << error;
  EXPECT_EQ(X11ChildWindow::Create(parent->Handle(), 10, 10, &error), nullptr);
  EXPECT_THAT(error, ::testing::HasSubstr("24-bit TrueColor"));
}

// A library module's panel part in the plug-in's own editor window: a drag
// with the real pointer sets its "Gain", which the host hears of.
TEST(X11Editor, ADragOnALibraryPanelChangesItsParameter) {
  XvfbServer server;
  ASSERT_TRUE(server.Running()) << "no Xvfb";
  const std::string library = BuildDir() + "/example_modules.ovm";
  RegisterModuleLibrary(ProcessModules(), "", library, library);
  StreamProject source(GainPanelProject());
  FakeHost host;
  OvVst plugin(&FakeHost::Callback, source);
  ASSERT_EQ(plugin.getAeffect()->numParams, 1);
  std::string error;
  std::unique_ptr<X11TopWindow> parent = X11TopWindow::Create(136, 60, "host", &error);
  ASSERT_NE(parent, nullptr) << error;
  ASSERT_EQ(plugin.dispatcher(vst2::effEditOpen, 0, 0, reinterpret_cast<void*>(parent->Handle()), 0),
            1);
  const auto idle = [&] { plugin.dispatcher(vst2::effEditIdle, 0, 0, nullptr, 0); };
  idle();
  // The track starts at x 10 of the panel, which stands at (8, 8): 0.25
  // where the press lands, 0.75 where the drag ends, off the track.
  const std::string window = "--window " + std::to_string(parent->Handle()) + " ";
  ASSERT_EQ(RunCommand("xdotool mousemove " + window + "43 18 mousedown 1 mousemove " + window +
                       "68 30 mousemove " + window + "93 38 mouseup 1"),
            0);
  ASSERT_TRUE(PumpUntil(idle, [&] { return plugin.getParameter(0) > 0.07f; }));
  EXPECT_NEAR(plugin.getParameter(0), 0.075f, 1e-6);
  ASSERT_FALSE(host.automated.empty());
  EXPECT_NEAR(host.automated.back().value, 0.075f, 1e-6);
  plugin.dispatcher(vst2::effEditClose, 0, 0, nullptr, 0);
}

// The baked demo synth playing a held note in `orvane show`: a drag down on
// its cutoff knob with the real pointer is reported to the host, line by
// line, and darkens what the window's session records. The recording starts
// as `orvane render` plays the same file, so the knob is what changed it.
TEST(X11Editor, ADragOnTheDemoSynthsCutoffIsAutomatedAndHeard) {
  XvfbServer server;
  ASSERT_TRUE(server.Running()) << "no Xvfb";
  const std::string orvane = BuildDir() + "/orvane";
  const std::string synth = BuildDir() + "/OrvaneDemoSynth.so";
  const std::string midi = BuildDir() + "/x11_held_note.mid";
  const std::string shown = BuildDir() + "/x11_show.wav";
  const std::string rendered = BuildDir() + "/x11_render.wav";
  const std::string log = BuildDir() + "/x11_show.log";
  const MidiChannelEvent note[] = {{0.0, 0, 0, {0x90, 45, 100}, 3},
                                   {30.0, 0, 0, {0x80, 45, 0}, 3}};
  std::string error;
  ASSERT_TRUE(WriteMidiFile(midi, note, 120, &error)) << error;
  ASSERT_EQ(RunCommand(orvane + " render " + synth + " --midi " + midi +
                       " --rate 48000 --block 256 --seconds 5 -o " + rendered + " > /dev/null 2>&1"),
            0);
  // A connection of the test's own keeps the server up while the window's
  // program and xdotool come and go.
  const std::unique_ptr<X11TopWindow> keeper = X11TopWindow::Create(10, 10, "keeper", &error);
  ASSERT_NE(keeper, nullptr) << error;

  const std::string quit = "3";
  const char* argv[] = {orvane.c_str(), "show",   synth.c_str(),   "--midi",      midi.c_str(),
                        "-o",           shown.c_str(), "--quit-after", quit.c_str(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t show = 0;
  ASSERT_EQ(posix_spawn(&show, orvane.c_str(), &actions, nullptr, const_cast<char**>(argv),
                        environ),
            0);
  posix_spawn_file_actions_destroy(&actions);
  const auto finish = [&] {
    int status = -1;
    waitpid(show, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  const auto printed = [&](const std::string& line) {
    std::ifstream file(log);
    const std::string text(std::istreambuf_iterator<char>(file), {});
    return text.find(line) != std::string::npos;
  };
  const std::string find = "xdotool search --name OrvaneDemoSynth ";
  if (!PumpUntil([] {}, [&] { return RunCommand(find + "> /dev/null") == 0; })) {
    finish();
    FAIL() << "no window";
  }
  // The knob's centre, then down in steps of 5 pixels, straight enough
  // for a vertical drag: from 0.8 to 0.
  std::string drag = find + "mousemove --window %1 37 95 mousedown 1 ";
  for (int y = 100; y <= 190; y += 5) drag += "mousemove --window %1 37 " + std::to_string(y) + " ";
  // The frame may show before the editor inside it: a drag that met no
  // knob is made again.
  bool closed = false;
  for (int attempt = 0; attempt < 3 && !closed; ++attempt) {
    EXPECT_EQ(RunCommand(drag + "mouseup 1"), 0);
    closed = PumpUntil([] {}, [&] { return printed("automate 1 0\n"); });
  }
  EXPECT_TRUE(closed);
  ASSERT_EQ(finish(), 0);

  const std::optional<AudioClip> after = ReadWavFile(shown, &error);
  const std::optional<AudioClip> before = ReadWavFile(rendered, &error);
  ASSERT_TRUE(after && before) << error;
  const std::vector<float>& a = after->channels.at(0);
  const std::vector<float>& b = before->channels.at(0);
  ASSERT_GT(a.size(), 48000u);
  ASSERT_GE(b.size(), a.size());
  // The last half second of each: far quieter with the filter closed.
  const auto rms = [&](const std::vector<float>& x) {
    double sum = 0;
    for (std::size_t i = a.size() - 24000; i < a.size(); ++i) sum += double{x[i]} * x[i];
    return std::sqrt(sum / 24000);
  };
  EXPECT_LT(rms(a), 0.5 * rms(b)) << rms(a) << " " << rms(b);
  EXPECT_GT(rms(b), 0.01);
}

TEST(X11Editor, ShowDisplaysWhatSnapshotDraws) {
  XvfbServer server;
  ASSERT_TRUE(server.Running()) << "no Xvfb";
  const std::string orvane = BuildDir() + "/orvane";
  const std::string project = SourceDir() + "/examples/demo-synth.json";
  const std::string shown = BuildDir() + "/x11_show.png";
  const std::string drawn = BuildDir() + "/x11_snapshot.png";
  ASSERT_EQ(RunCommand(orvane + " show " + project + " --no-engine --quit-after 0.3 --capture " + shown),
            0);
  ASSERT_EQ(RunCommand(orvane + " snapshot " + project + " -o " + drawn + " > /dev/null"), 0);
  std::string error;
  const std::optional<PixelImage> a = ReadPngFile(shown, &error);
  const std::optional<PixelImage> b = ReadPngFile(drawn, &error);
  ASSERT_TRUE(a && b) << error;
  EXPECT_TRUE(SamePixels(*a, *b));
}

}  // namespace
}  // namespace ov::testing
