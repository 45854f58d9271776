// `orvane show examples/widgets.json` typed into with the real keyboard: a
// click opens the text entry's editor, the typed text and Tab write it to
// the module's "Text" plug, and the window then equals a snapshot of the
// example with that text; a click on the list entry opens its list, and the
// item chosen there sticks in the same way.
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
    int x, y;            // the click, in the window
    const char* keys;    // after the click: xdotool arguments, then further commands
    const char* golden;  // compared with this golden picture, else with a snapshot
    const char* type;    // of the module whose plug the snapshot's project sets
    const char* plug;
    Json value;
  };
  const Case cases[] = {
      {170, 106, "type Hi && xdotool key Tab", nullptr, "Text Entry2", "Text", "Hi"},
      {170, 106, "type Hi", "widgets_focused", "", "", nullptr},
      // The list opens below the entry with nothing pointed at: the fourth
      // item down is value 3; Tab then takes the focus from the list.
      {170, 136, "key Down Down Down Down Return && sleep 0.2 && xdotool key Tab", nullptr,
       "List Entry2", "List", 3},
  };
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
        "' | head -n 1) && xdotool mousemove --window $w " + std::to_string(c.x) + " " +
        std::to_string(c.y) + " click 1 sleep 0.2 " + c.keys +
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
      if (module["type"] == c.type) module["plug_values"][c.plug] = c.value;
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
