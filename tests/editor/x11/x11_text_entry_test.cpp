// `orvane show examples/widgets.json` typed into with the real keyboard: a
// click opens the text entry's editor, the typed text and Tab write it to
// the module's "Text" plug, and the window then equals a snapshot of the
// example with that text.
#include <gtest/gtest.h>

#include <fstream>

#include "document/project_text.h"
#include "platform/files.h"
#include "platform/png_codec.h"
#include "tests/editor/editor_test_support.h"
#include "xvfb_server.h"

namespace ov::testing {
namespace {

// Typed without Tab, the text stays in the open editor: the window then
// shows it focused, caret after the text, as the golden picture has it.
TEST(ShowTextEntry, TypingAndTabWriteTheTextAndTheOpenEditorShowsIt) {
  struct Case {
    const char* keys;    // after the click: xdotool arguments, then further commands
    const char* golden;  // compared with this golden picture, else with a snapshot
  };
  const Case cases[] = {{"type Hi && xdotool key Tab", nullptr}, {"type Hi", "widgets_focused"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keys);
    XvfbServer server;
    ASSERT_TRUE(server.Running()) << "no Xvfb";
    const std::string orvane = BuildDir() + "/orvane";
    const std::string project = SourceDir() + "/examples/widgets.json";
    const std::string shown = BuildDir() + "/x11_text_entry_shown.png";
    const std::string drawn = BuildDir() + "/x11_text_entry_drawn.png";
    const std::string expected_project = BuildDir() + "/x11_text_entry_expected.json";

    // A click selects the whole text, so typing replaces it.
    const std::string script =
        orvane + " show " + project + " --no-engine --quit-after 3 --capture " + shown +
        " & pid=$!; w=$(timeout 10 xdotool search --sync --onlyvisible --name '" + project +
        "' | head -n 1) && xdotool mousemove --window $w 170 106 click 1 sleep 0.2 " + c.keys +
        "; typed=$?; wait $pid && exit $typed";
    ASSERT_EQ(RunCommand(script), 0) << script;
    std::string error;
    const std::optional<PixelImage> a = ReadPngFile(shown, &error);
    ASSERT_TRUE(a) << error;
    if (c.golden != nullptr) {
      ExpectMatchesGolden(c.golden, *a);
      continue;
    }
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadFileBytes(project, 1 << 20, &bytes, &error)) << error;
    Json expected = Json::parse(bytes.begin(), bytes.end());
    for (Json& module : expected["root"]["modules"][0]["modules"]) {
      if (module["type"] == "Text Entry2") module["plug_values"]["Text"] = "Hi";
    }
    std::ofstream(expected_project) << expected.dump();
    ASSERT_EQ(
        RunCommand(orvane + " snapshot " + expected_project + " -o " + drawn + " > /dev/null"), 0);
    const std::optional<PixelImage> b = ReadPngFile(drawn, &error);
    ASSERT_TRUE(b) << error;
    EXPECT_TRUE(SamePixels(*a, *b)) << "compare " << shown << " with " << drawn;
  }
}

}  // namespace
}  // namespace ov::testing
