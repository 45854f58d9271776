// The file dialog: a fake zenity first on PATH stands in for the desktop's,
// so the arguments, the answer read through the pipe and the exit codes are
// those a real one gives; without zenity every question is cancelled.
#include "platform/file_dialog.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "tests/host/temp_folder.h"

namespace ov::test {
namespace {

// PATH for one test, put back afterwards.
class PathScope {
 public:
  explicit PathScope(const std::string& path) {
    const char* old = std::getenv("PATH");
    saved_ = old != nullptr ? old : "";
    setenv("PATH", path.c_str(), 1);
  }
  ~PathScope() { setenv("PATH", saved_.c_str(), 1); }

 private:
  std::string saved_;
};

FileDialogAnswer AskAndWait(ZenityFileDialog& dialog, const FileDialogRequest& request,
                            bool* answered_in_ask) {
  bool answered = false;
  FileDialogAnswer got;
  EXPECT_TRUE(dialog.Ask(request, [&](const FileDialogAnswer& answer) {
    answered = true;
    got = answer;
  }));
  *answered_in_ask = answered;
  // A second question while one is open starts nothing.
  EXPECT_FALSE(dialog.Ask(request, [](const FileDialogAnswer&) {}));
  for (int i = 0; i < 500 && !answered; ++i) {
    dialog.Idle();
    if (!answered) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_TRUE(answered);
  EXPECT_FALSE(dialog.Asking());
  return got;
}

TEST(ZenityFileDialog, AnswersFromTheProgramsOutputWithoutWaitingForIt) {
  struct Case {
    const char* name;
    const char* script;  // the fake zenity's body; empty: no zenity on PATH
    FileDialogRequest request;
    bool chosen;
    const char* path;
    const char* arguments;  // as the fake saw them, one a line
    bool failure;           // the dialog names a cause
  };
  const Case cases[] = {
      {"chosen, after a while",
       "sleep 0.2; printf '/home/u/my take.wav\\n'; exit 0",
       {false, "Open", "/home/u/old.wav", {"wav"}},
       true,
       "/home/u/my take.wav",
       "--file-selection\n--title=Open\n--filename=/home/u/old.wav\n"
       "--file-filter=*.wav | *.wav\n--file-filter=* | *\n",
       false},
      {"save with two types",
       "printf '/tmp/a.mid'; exit 0",
       {true, "", "", {"mid", "midi"}},
       true,
       "/tmp/a.mid",
       "--file-selection\n--save\n--confirm-overwrite\n"
       "--file-filter=*.mid *.midi | *.mid *.midi\n--file-filter=* | *\n",
       false},
      {"cancelled by the user", "exit 1", {}, false, "", "--file-selection\n", false},
      {"zenity failing", "echo /x; exit 5", {}, false, "", "--file-selection\n", true},
      {"chosen but empty", "exit 0", {}, false, "", "--file-selection\n", false},
      {"no zenity", "", {}, false, "", "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::TempFolder folder;
    const std::string seen = folder / "arguments.txt";
    if (*c.script != '\0') {
      std::ofstream script(folder / "zenity");
      script << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" << seen << "'\n"
             << c.script << "\n";
      script.close();
      chmod((folder / "zenity").c_str(), 0755);
    }
    // sh and sleep from the system, zenity only from the folder.
    PathScope path(folder.Path() + (*c.script != '\0' ? ":/usr/bin:/bin" : ""));
    ZenityFileDialog dialog;
    bool answered_in_ask = true;
    const FileDialogAnswer answer = AskAndWait(dialog, c.request, &answered_in_ask);
    EXPECT_FALSE(answered_in_ask);
    EXPECT_EQ(answer.chosen, c.chosen);
    EXPECT_EQ(answer.path, c.path);
    EXPECT_EQ(!dialog.Failure().empty(), c.failure) << dialog.Failure();
    // Waited for, as a hosted plug-in's file selector asks: the same answer.
    const FileDialogAnswer waited = ov::AskAndWait(c.request);
    EXPECT_EQ(waited.chosen, c.chosen);
    EXPECT_EQ(waited.path, c.path);
    std::ifstream file(seen);
    std::stringstream text;
    text << file.rdbuf();
    EXPECT_EQ(text.str(), c.arguments);
  }
}

TEST(ZenityFileDialog, ClosingWithADialogOpenStopsIt) {
  testing::TempFolder folder;
  {
    std::ofstream script(folder / "zenity");
    script << "#!/bin/sh\ntrap 'echo stopped > \"" << (folder / "trap.txt")
           << "\"; exit 1' TERM\nwhile :; do sleep 0.05; done\n";
  }
  chmod((folder / "zenity").c_str(), 0755);
  PathScope path(folder.Path() + ":/usr/bin:/bin");
  {
    ZenityFileDialog dialog;
    ASSERT_TRUE(dialog.Ask({}, [](const FileDialogAnswer&) { ADD_FAILURE() << "answered"; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    dialog.Idle();
    EXPECT_TRUE(dialog.Asking());
  }
  bool stopped = false;
  for (int i = 0; i < 200 && !stopped; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    stopped = std::ifstream(folder / "trap.txt").good();
  }
  EXPECT_TRUE(stopped);
}

}  // namespace
}  // namespace ov::test
