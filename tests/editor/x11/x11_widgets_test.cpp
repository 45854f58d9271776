// `orvane show examples/widgets.json` driven with the real pointer: after
// each gesture the window equals a snapshot of the example with the values
// the gesture should have left on the modules' plugs.
#include <gtest/gtest.h>

#include <fstream>

#include "document/project_text.h"
#include "platform/files.h"
#include "platform/png_codec.h"
#include "tests/editor/editor_test_support.h"
#include "xvfb_server.h"

namespace ov::testing {
namespace {

struct PlugValue {
  std::size_t module;  // index in the example's panel container
  const char* plug;
  double value;
};

struct ShowCase {
  const char* name;
  const char* gesture;  // xdotool steps; "W" stands for "--window <the window>"
  std::vector<PlugValue> expected;
};

const ShowCase kCases[] = {
    // Straight down below the knob's centre: 0.01 a pixel.
    {"a drag turns the knob",
     "mousemove W 36 46 mousedown 1 mousemove W 36 51 mousemove W 36 56 mouseup 1",
     {{0, "Animation Position", 0.15}}},
    // Right and up by 10 pixels: 0.005 a pixel each way.
    {"a drag moves the pad",
     "mousemove W 64 144 mousedown 1 mousemove W 69 139 mousemove W 74 134 mouseup 1",
     {{6, "Position X", 0.55}, {6, "Position Y", 0.55}}},
};

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

Json Example() {
  std::vector<uint8_t> bytes;
  std::string error;
  EXPECT_TRUE(ReadFileBytes(SourceDir() + "/examples/widgets.json", 1 << 20, &bytes, &error));
  return Json::parse(bytes.begin(), bytes.end());
}

void PrintTo(const ShowCase& c, std::ostream* out) { *out << c.name; }

class ShowWidgets : public ::testing::TestWithParam<ShowCase> {};

TEST_P(ShowWidgets, TheWindowEqualsASnapshotAtTheNewValues) {
  const ShowCase& c = GetParam();
  XvfbServer server;
  ASSERT_TRUE(server.Running()) << "no Xvfb";
  const std::string orvane = BuildDir() + "/orvane";
  const std::string project = SourceDir() + "/examples/widgets.json";
  const std::string shown = BuildDir() + "/x11_widgets_shown.png";
  const std::string drawn = BuildDir() + "/x11_widgets_drawn.png";
  const std::string expected_project = BuildDir() + "/x11_widgets_expected.json";

  // The window is found by its title, the project's path.
  const std::string gesture = Replace(c.gesture, "W", "--window $w");
  const std::string script = orvane + " show " + project +
                             " --no-engine --quit-after 3 --capture " + shown +
                             " & pid=$!; w=$(timeout 10 xdotool search --sync --onlyvisible --name '" +
                             project + "' | head -n 1) && xdotool " + gesture +
                             "; gesture=$?; wait $pid && exit $gesture";
  ASSERT_EQ(RunCommand(script), 0) << script;

  Json expected = Example();
  Json& modules = expected["root"]["modules"][0]["modules"];
  for (const PlugValue& value : c.expected) modules[value.module]["plug_values"][value.plug] = value.value;
  std::ofstream(expected_project) << expected.dump();
  ASSERT_EQ(RunCommand(orvane + " snapshot " + expected_project + " -o " + drawn + " > /dev/null"), 0);

  std::string error;
  const std::optional<PixelImage> a = ReadPngFile(shown, &error);
  const std::optional<PixelImage> b = ReadPngFile(drawn, &error);
  ASSERT_TRUE(a && b) << error;
  EXPECT_TRUE(SamePixels(*a, *b)) << "compare " << shown << " with " << drawn;
}

INSTANTIATE_TEST_SUITE_P(Gestures, ShowWidgets, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<ShowCase>& info) {
                           std::string name;
                           for (const char* p = info.param.name; *p; ++p) {
                             name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                           }
                           return name;
                         });

}  // namespace
}  // namespace ov::testing
