// `orvane show examples/panels.json` driven with the real pointer: the
// wheel over the sub-panel scrolls it, and choosing the second page in the
// list switches the tab pages. The window then equals a snapshot of the
// example saved that way (scrolled by the wheel's 120 pixels, on page 1).
// Dragging the level knob moves the patch memory behind it, which the host
// hears as automation.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "document/project_text.h"
#include "platform/files.h"
#include "platform/png_codec.h"
#include "tests/editor/editor_test_support.h"
#include "xvfb_server.h"

namespace ov::testing {
namespace {

TEST(ShowPanels, TheWheelScrollsTheSubPanelAndTheListSwitchesThePage) {
  XvfbServer server;
  ASSERT_TRUE(server.Running()) << "no Xvfb";
  const std::string orvane = BuildDir() + "/orvane";
  const std::string project = SourceDir() + "/examples/panels.json";
  const std::string shown = BuildDir() + "/x11_panels_shown.png";
  const std::string drawn = BuildDir() + "/x11_panels_drawn.png";
  const std::string expected_project = BuildDir() + "/x11_panels_expected.json";

  // Button 5 over the sub-panel; then the list's second item, in the
  // menu that opens below it.
  const std::string script =
      orvane + " show " + project + " --no-engine --quit-after 4 --capture " + shown +
      " & pid=$!; w=$(timeout 10 xdotool search --sync --onlyvisible --name '" + project +
      "' | head -n 1) && xdotool mousemove --window $w 100 100 click 5 mousemove --window $w "
      "310 160 click 1 sleep 0.5 mousemove --window $w 320 200 click 1; gesture=$?; wait $pid "
      "&& exit $gesture";
  ASSERT_EQ(RunCommand(script), 0) << script;

  std::vector<uint8_t> bytes;
  std::string error;
  ASSERT_TRUE(ReadFileBytes(project, 1 << 20, &bytes, &error)) << error;
  Json expected = Json::parse(bytes.begin(), bytes.end());
  for (Json& module : expected["root"]["modules"][0]["modules"]) {
    if (module["type"] == "Container") module["panel_offset"] = {0, 120};
    if (module["type"] == "Paged Group") module["plug_values"]["Page"] = 1;
    if (module.value("name", "") == "page choice") module["plug_values"]["List"] = 1;
  }
  std::ofstream(expected_project) << expected.dump();
  ASSERT_EQ(RunCommand(orvane + " snapshot " + expected_project + " -o " + drawn + " > /dev/null"), 0);

  const std::optional<PixelImage> a = ReadPngFile(shown, &error);
  const std::optional<PixelImage> b = ReadPngFile(drawn, &error);
  ASSERT_TRUE(a && b) << error;
  EXPECT_TRUE(SamePixels(*a, *b)) << "compare " << shown << " with " << drawn;
}

TEST(ShowPanels, DraggingTheKnobOverPatchMemoryAutomatesTheHost) {
  XvfbServer server;
  ASSERT_TRUE(server.Running()) << "no Xvfb";
  const std::string orvane = BuildDir() + "/orvane";
  const std::string project = SourceDir() + "/examples/panels.json";
  const std::string log = BuildDir() + "/x11_panels_automate.txt";

  // From the level knob's centre upwards in steps of 5 pixels.
  std::string drag = "mousemove --window $w 48 246 mousedown 1 ";
  for (int y = 241; y >= 196; y -= 5) drag += "mousemove --window $w 48 " + std::to_string(y) + " ";
  const std::string script =
      orvane + " show " + project + " --no-engine --quit-after 3 > " + log +
      " & pid=$!; w=$(timeout 10 xdotool search --sync --onlyvisible --name '" + project +
      "' | head -n 1) && sleep 0.5 && xdotool " + drag + "mouseup 1; gesture=$?; wait $pid " +
      "&& exit $gesture";
  ASSERT_EQ(RunCommand(script), 0) << script;

  std::ifstream printed(log);
  const std::string text(std::istreambuf_iterator<char>(printed), {});
  EXPECT_NE(text.find("automate "), std::string::npos) << text;
}

}  // namespace
}  // namespace ov::testing
