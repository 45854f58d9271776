// `orvane snapshot` and `orvane show` command lines, and snapshots of the
// example project as the done-when of the panel: a PNG of the panel's size.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "document/project_text.h"
#include "platform/files.h"

#include "tests/editor/editor_test_support.h"
#include "tests/editor/x11/xvfb_server.h"
#include "tests/editor/skins/default_background.h"
#include "platform/png_codec.h"
#include "tools/plugin_window.h"
#include "tools/show.h"
#include "tests/tools/snapshot_test_support.h"
#include "tools/snapshot.h"

namespace ov {
namespace {

using testing::DefaultBackgroundAt;

std::string BuildDir() {
  const char* dir = std::getenv("OV_BUILD_DIR");
  return dir ? dir : ".";
}

// The picture goes beside this test's binary, wherever the test is started
// from, so a run by hand never leaves it in the source tree.
std::string OutputDir() { return OV_TEST_OUTPUT_DIR; }

TEST(SnapshotCommand, CommandLinesAreCheckedBeforeAnythingLoads) {
  std::string error;
  using Args = std::vector<std::string>;
  EXPECT_FALSE(ParseSnapshotArguments(Args{"p.json"}, &error));
  EXPECT_FALSE(ParseSnapshotArguments(Args{"p.json", "-o", "a.png", "--scale", "0"}, &error));
  EXPECT_FALSE(ParseSnapshotArguments(Args{"p.json", "-o", "a.png", "--param", "1=2"}, &error));
  EXPECT_FALSE(ParseSnapshotArguments(Args{"p.json", "-o", "a.png", "--program", "128"}, &error));
  EXPECT_FALSE(ParseSnapshotArguments(Args{"a.json", "b.json", "-o", "a.png"}, &error));
  const auto line = ParseSnapshotArguments(
      Args{"p.json", "--param", "3=0.5", "-o", "a.png", "--scale", "2", "--program", "5"}, &error);
  ASSERT_TRUE(line) << error;
  EXPECT_EQ(line->scale, 2);
  EXPECT_EQ(line->program, 5);
  ASSERT_EQ(line->parameters.size(), 1u);
  EXPECT_EQ(line->parameters[0].value, 0.5f);

  EXPECT_FALSE(ParseShowArguments(Args{"p.json", "--no-engine", "--midi", "a.mid"}, &error));
  EXPECT_FALSE(ParseShowArguments(Args{"p.json", "--quit-after", "-1"}, &error));
  EXPECT_FALSE(ParseShowArguments(Args{"--no-engine"}, &error));
  const auto show = ParseShowArguments(Args{"lib.so", "--quit-after", "2", "-o", "o.wav"}, &error);
  ASSERT_TRUE(show) << error;
  EXPECT_TRUE(show->engine);
  EXPECT_EQ(show->quit_after_seconds, 2.0);
}

TEST(SnapshotCommand, ThePanelIsDrawnAtItsSizeAndEnlargedWhole) {
  const std::string project = std::string(OV_EXAMPLES_DIR) + "/demo-synth.json";
  for (const int32_t scale : {1, 3}) {
    SnapshotCommandLine line;
    line.input_path = project;
    line.output_path = OutputDir() + "/snapshot_test.png";
    line.scale = scale;
    std::optional<PixelImage> image;
    ASSERT_NO_FATAL_FAILURE(testing::TakeSnapshot(line, &image));
    EXPECT_EQ(image->Width(), 400 * scale);
    EXPECT_EQ(image->Height(), 240 * scale);
    // The panel without controls shows the default skin's background.
    EXPECT_EQ(image->At(0, 0), DefaultBackgroundAt(0, 0));
    EXPECT_EQ(image->At(image->Width() - 1, image->Height() - 1), DefaultBackgroundAt(399, 239));
    EXPECT_EQ(image->At(scale * 130, 0), DefaultBackgroundAt(130, 0));
  }
}

TEST(SnapshotCommand, TheWidgetsExampleShowsEveryControl) {
  SnapshotCommandLine line;
  line.input_path = std::string(OV_EXAMPLES_DIR) + "/widgets.json";
  line.output_path = OutputDir() + "/widgets_snapshot.png";
  std::ostringstream out;
  std::ostringstream err;
  ASSERT_EQ(RunSnapshotCommand(line, out, err), 0) << err.str();
  EXPECT_EQ(err.str(), "") << "every image is found";
  std::string error;
  const std::optional<PixelImage> image = ReadPngFile(line.output_path, &error);
  ASSERT_TRUE(image) << error;
  testing::ExpectMatchesGolden("widgets", *image);
}

// The demo synth's knobs with their readouts, and the demo's main panel,
// which holds a "Patch Select" yet carries no patch toolbar: it is the
// plug-in's root view.
TEST(SnapshotCommand, TheDemoPanelsMatchTheirPictures) {
  for (const char* name : {"demo-synth", "demo"}) {
    SCOPED_TRACE(name);
    SnapshotCommandLine line;
    line.input_path = std::string(OV_EXAMPLES_DIR) + "/" + name + ".json";
    line.output_path = OutputDir() + "/" + name + "_snapshot.png";
    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(RunSnapshotCommand(line, out, err), 0) << err.str();
    std::string error;
    const std::optional<PixelImage> image = ReadPngFile(line.output_path, &error);
    ASSERT_TRUE(image) << error;
    testing::ExpectMatchesGolden(std::string(name) + "_panel", *image);
  }
}

// The panels example: a sub-panel with its patch toolbar and scroll bars,
// a panel group, and tab pages, first on page 0, then with the list that
// chooses the page (and so the page) on page 1.
TEST(SnapshotCommand, ThePanelsExampleShowsItsContainersOnEitherPage) {
  std::string error;
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(ReadFileBytes(std::string(OV_EXAMPLES_DIR) + "/panels.json", 1 << 20, &bytes, &error));
  Json project = Json::parse(bytes.begin(), bytes.end());
  for (const int page : {0, 1}) {
    SCOPED_TRACE(page);
    for (Json& module : project["root"]["modules"][0]["modules"]) {
      if (module["type"] == "Paged Group") module["plug_values"]["Page"] = page;
      if (module.value("name", "") == "page choice") module["plug_values"]["List"] = page;
    }
    SnapshotCommandLine line;
    line.input_path = OutputDir() + "/panels_page.json";
    std::ofstream(line.input_path) << project.dump();
    line.output_path = OutputDir() + "/panels_snapshot.png";
    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(RunSnapshotCommand(line, out, err), 0) << err.str();
    EXPECT_EQ(err.str(), "") << "every image is found";
    const std::optional<PixelImage> image = ReadPngFile(line.output_path, &error);
    ASSERT_TRUE(image) << error;
    testing::ExpectMatchesGolden(page == 0 ? "panels" : "panels_page_1", *image);
  }
}

TEST(SnapshotCommand, AMissingProjectFailsWithItsName) {
  SnapshotCommandLine line;
  line.input_path = BuildDir() + "/no-such-project.json";
  line.output_path = OutputDir() + "/never.png";
  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(RunSnapshotCommand(line, out, err), 1);
  EXPECT_NE(err.str().find("no-such-project.json"), std::string::npos);
}

// The notice `orvane play` shows when a saved project does not build: a
// strip over the bottom of the panel, in the window's own pixels, which
// leaves the panel as it was once cleared.
TEST(EditorWindow, ANoticeCoversThePanelsFootUntilCleared) {
  testing::XvfbServer display;
  ASSERT_TRUE(display.Running());
  std::ostringstream err;
  LoadedEffect loaded;
  ASSERT_TRUE(LoadEffect(std::string(OV_EXAMPLES_DIR) + "/demo-synth.json", &PrintingHost, err,
                         "test", &loaded))
      << err.str();
  loaded.Dispatch(vst2::effOpen);
  {
    std::unique_ptr<EditorWindow> window = EditorWindow::Open(loaded.effect, "notice", err, "test");
    ASSERT_NE(window, nullptr) << err.str();
    const auto capture = [&] {
      window->Pump();
      return window->Frame().Capture().value_or(PixelImage());
    };
    // The panel once drawn: two captures alike.
    PixelImage panel = capture();
    ASSERT_TRUE(testing::PumpUntil([] {}, [&] {
      PixelImage again = capture();
      const bool same = SamePixels(again, panel) && again.Width() > 0;
      panel = std::move(again);
      return same;
    }));
    const std::string text = "parse error at line 7, column 5: a value was expected; the last good "
                             "one plays on";
    ASSERT_TRUE(window->ShowNotice(text, err, "test")) << err.str();
    ASSERT_NE(window->Notice(), nullptr);
    EXPECT_EQ(window->Notice()->Text(), text);
    const PixelRect area = window->Notice()->Area();
    EXPECT_EQ(area.bottom, panel.Height());
    EXPECT_EQ(area.Width(), panel.Width());
    // Two lines at the panel's width of 400.
    EXPECT_GT(area.Height(), 24);
    EXPECT_LT(area.Height(), panel.Height() / 3);
    const uint32_t background = PixelOf(PanelNotice::kBackground);
    PixelImage shown;
    ASSERT_TRUE(testing::PumpUntil([] {}, [&] {
      shown = capture();
      return shown.Width() > 0 && shown.At(0, panel.Height() - 1) == background;
    }));
    std::size_t ink = 0;
    for (int32_t y = 0; y < shown.Height(); ++y) {
      for (int32_t x = 0; x < shown.Width(); ++x) {
        if (y < area.top) {
          ASSERT_EQ(shown.At(x, y), panel.At(x, y)) << "above the notice at " << x << "," << y;
        } else if (shown.At(x, y) != background) {
          ++ink;
        }
      }
    }
    EXPECT_GT(ink, 200u) << "the text is drawn";
    window->ClearNotice();
    EXPECT_TRUE(testing::PumpUntil([] {}, [&] { return SamePixels(capture(), panel); }));
  }
  loaded.Close();
}

}  // namespace
}  // namespace ov
