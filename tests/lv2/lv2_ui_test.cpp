// The bundle's X11 UI as an LV2 host shows it: in a window of the host's,
// on the plug-in instance the host hands over, painting the panel and
// leaving every port as it was.
#include <gtest/gtest.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/ui/ui.h>

#include <cstring>
#include <sstream>

#include "platform/dynamic_library.h"
#include "platform/x11_top_window.h"
#include "tests/editor/x11/xvfb_server.h"
#include "tests/host/temp_folder.h"
#include "tools/lv2_bundle.h"
#include "tools/lv2_host.h"

namespace ov::testing {
namespace {

constexpr const char* kUri = "urn:orvane:lv2:4f765379:Orvane_Demo_Synth";

struct UiHost {
  static void Write(LV2UI_Controller controller, uint32_t port, uint32_t, uint32_t, const void*) {
    static_cast<UiHost*>(controller)->writes.push_back(port);
  }
  static int Resize(LV2UI_Feature_Handle handle, int width, int height) {
    auto& self = *static_cast<UiHost*>(handle);
    self.width = width;
    self.height = height;
    return 0;
  }
  std::vector<uint32_t> writes;
  int width = 0;
  int height = 0;
};

TEST(Lv2Ui, OpensInTheHostsWindowPaintsAndClosesChangingNoPort) {
  XvfbServer server;
  ASSERT_TRUE(server.Running()) << "no Xvfb";
  TempFolder folder;
  std::ostringstream out;
  std::ostringstream err;
  const std::string bundle = folder / "bundles/demo-synth.lv2";
  ASSERT_EQ(RunBakeLv2Command(
                {std::string(OV_EXAMPLES_DIR) + "/demo-synth.json", bundle, OV_LV2_LIBRARY, true},
                out, err),
            0)
      << err.str();
  Lv2World world(folder / "bundles");
  Lv2Instance instance(world, kUri, 48000, 512);
  ASSERT_TRUE(instance.Ok());
  instance.SetControl("Waveform", 4.0f);
  instance.Activate();
  instance.Play({}, 1024);
  const std::vector<float> ports = instance.ControlValues();

  // The UI lilv finds for the plug-in, from the library the bundle names.
  LilvUIs* uis = lilv_plugin_get_uis(world.Plugin(kUri));
  ASSERT_EQ(lilv_uis_size(uis), 1u);
  const LilvUI* ui = lilv_uis_get(uis, lilv_uis_begin(uis));
  char* binary = lilv_file_uri_parse(lilv_node_as_uri(lilv_ui_get_binary_uri(ui)), nullptr);
  std::string error;
  const DynamicLibrary library = DynamicLibrary::Open(binary, &error);
  lilv_free(binary);
  ASSERT_TRUE(library.IsOpen()) << error;
  const auto descriptors =
      reinterpret_cast<LV2UI_DescriptorFunction>(library.Symbol("lv2ui_descriptor"));
  ASSERT_NE(descriptors, nullptr);
  const LV2UI_Descriptor* descriptor = descriptors(0);
  ASSERT_NE(descriptor, nullptr);
  EXPECT_STREQ(descriptor->URI, lilv_node_as_uri(lilv_ui_get_uri(ui)));
  lilv_uis_free(uis);

  std::unique_ptr<X11TopWindow> frame = X11TopWindow::Create(600, 400, "host", &error);
  ASSERT_NE(frame, nullptr) << error;
  UiHost host;
  LV2UI_Resize resize{&host, &UiHost::Resize};
  const LV2_Feature parent{LV2_UI__parent, reinterpret_cast<void*>(frame->Handle())};
  const LV2_Feature access{LV2_INSTANCE_ACCESS_URI, lilv_instance_get_handle(instance.Lilv())};
  const LV2_Feature resizing{LV2_UI__resize, &resize};
  const LV2_Feature idling{LV2_UI__idleInterface, nullptr};
  const LV2_Feature* features[] = {&parent, &access, &resizing, &idling, nullptr};
  const LV2_Feature* without_access[] = {&parent, &resizing, &idling, nullptr};
  LV2UI_Widget widget = nullptr;

  // A host that cannot hand over the instance gets no UI.
  EXPECT_EQ(descriptor->instantiate(descriptor, kUri, bundle.c_str(), &UiHost::Write, &host,
                                    &widget, without_access),
            nullptr);

  LV2UI_Handle handle = descriptor->instantiate(descriptor, kUri, bundle.c_str(), &UiHost::Write,
                                                &host, &widget, features);
  ASSERT_NE(handle, nullptr);
  EXPECT_NE(widget, nullptr);
  EXPECT_EQ(host.width, 400);  // the project's panel size
  EXPECT_EQ(host.height, 240);
  const auto* idle =
      static_cast<const LV2UI_Idle_Interface*>(descriptor->extension_data(LV2_UI__idleInterface));
  ASSERT_NE(idle, nullptr);
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(idle->idle(handle), 0);
    frame->Pump();
    instance.Play({}, 512);
  }
  const std::optional<PixelImage> shown = frame->Capture();
  ASSERT_TRUE(shown);
  bool painted = false;
  for (int32_t y = 0; y < 240 && !painted; ++y) {
    for (int32_t x = 0; x < 400 && !painted; ++x) painted = shown->At(x, y) != shown->At(0, 0);
  }
  EXPECT_TRUE(painted) << "the panel shows one colour only";
  descriptor->cleanup(handle);

  EXPECT_TRUE(host.writes.empty());
  EXPECT_EQ(instance.ControlValues(), ports);
  // The plug-in plays on with the values it had.
  const std::vector<std::vector<float>> played =
      instance.Play({{0, {0x90, 60, 100}}, {9000, {0x80, 60, 0}}}, 12000);
  bool sounded = false;
  for (const float sample : played[0]) sounded = sounded || sample != 0.0f;
  EXPECT_TRUE(sounded);
  instance.Deactivate();
}

}  // namespace
}  // namespace ov::testing
