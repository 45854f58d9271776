// `orvane show examples/panels.json` driven with the real pointer: the
// wheel over the sub-panel scrolls it, and choosing the second page in the
// list switches the tab pages. The window then equals a snapshot of the
// example saved that way (scrolled by the wheel's 120 pixels, on page 1).
// Dragging the volume knob moves the patch memory behind it, which the host
// hears as automation, while the level meter lights the bar graph.
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
  const std::string shown = BuildDir() + "/x11_panels_metered.png";

  // From the volume knob's centre (at 0.8) upwards in steps of 5 pixels,
  // far enough for the top.
  std::string drag = "mousemove --window $w 48 246 mousedown 1 ";
  for (int y = 241; y >= 196; y -= 5) drag += "mousemove --window $w 48 " + std::to_string(y) + " ";
  const std::string script =
      orvane + " show " + project + " --quit-after 3 --capture " + shown + " > " + log +
      " & pid=$!; w=$(timeout 10 xdotool search --sync --onlyvisible --name '" + project +
      "' | head -n 1) && sleep 0.5 && xdotool " + drag + "mouseup 1; gesture=$?; wait $pid " +
      "&& exit $gesture";
  ASSERT_EQ(RunCommand(script), 0) << script;

  std::ifstream printed(log);
  const std::string text(std::istreambuf_iterator<char>(printed), {});
  // "Volume", the host's parameter 0, follows the knob all the way.
  EXPECT_NE(text.find("automate 0 0.85"), std::string::npos) << text;
  EXPECT_NE(text.find("automate 0 1\n"), std::string::npos) << text;

  // The oscillator at full volume reads above -8 dB: the bar graph's lower
  // segments glow green.
  std::string error;
  const std::optional<PixelImage> image = ReadPngFile(shown, &error);
  ASSERT_TRUE(image) << error;
  int lit = 0;
  for (int32_t y = 216; y < 280; ++y) {
    const uint32_t pixel = image->At(256, y);
    if (((pixel >> 8) & 0xff) > 180 && ((pixel >> 16) & 0xff) < 140) ++lit;
  }
  EXPECT_GE(lit, 15) << "see " << shown;
}

}  // namespace
}  // namespace ov::testing
