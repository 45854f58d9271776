// The bundle's X11 UI: the plug-in's own editor, opened in the window the
// host gives, on the plug-in instance that the host hands over through
// instance access. A host that offers no instance access gets no UI from
// us, and shows its generic controls instead.
#include <lv2/instance-access/instance-access.h>
#include <lv2/ui/ui.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "lv2/bundle_text.h"
#include "lv2/lv2_library.h"
#include "lv2/lv2_plugin.h"

namespace {

struct Ui {
  ov::OvLv2* plugin = nullptr;
  LV2UI_Write_Function write = nullptr;
  LV2UI_Controller controller = nullptr;
};

LV2UI_Handle Instantiate(const LV2UI_Descriptor*, const char*, const char*,
                         LV2UI_Write_Function write, LV2UI_Controller controller,
                         LV2UI_Widget* widget, const LV2_Feature* const* features) {
  void* parent = nullptr;
  ov::OvLv2* plugin = nullptr;
  const LV2UI_Resize* resize = nullptr;
  for (const LV2_Feature* const* f = features; f != nullptr && *f != nullptr; ++f) {
    if (ov::IsFeature(*f, LV2_UI__parent)) parent = (*f)->data;
    if (ov::IsFeature(*f, LV2_INSTANCE_ACCESS_URI)) {
      plugin = static_cast<ov::OvLv2*>((*f)->data);
    }
    if (ov::IsFeature(*f, LV2_UI__resize)) {
      resize = static_cast<const LV2UI_Resize*>((*f)->data);
    }
  }
  if (plugin == nullptr) {
    std::fprintf(stderr,
                 "Orvane: this panel needs a host that offers instance access; "
                 "the host's generic controls still work\n");
    return nullptr;
  }
  if (parent == nullptr) {
    std::fprintf(stderr, "Orvane: the host gave the panel no parent window\n");
    return nullptr;
  }
  try {
    auto ui = std::make_unique<Ui>(Ui{plugin, write, controller});
    int32_t width = 0;
    int32_t height = 0;
    void* window = nullptr;
    Ui* self = ui.get();
    const auto write_port = [self](uint32_t port, float value) {
      self->write(self->controller, port, sizeof value, 0, &value);
    };
    if (!plugin->OpenEditor(parent, write_port, &width, &height, &window)) return nullptr;
    if (resize != nullptr) resize->ui_resize(resize->handle, width, height);
    *widget = window;
    return ui.release();
  } catch (...) {
    return nullptr;
  }
}

void Cleanup(LV2UI_Handle handle) {
  auto* ui = static_cast<Ui*>(handle);
  try {
    ui->plugin->CloseEditor();
  } catch (...) {
  }
  delete ui;
}

// The panel shows the plug-in's values itself; the host's port values
// reached the plug-in through its ports already.
void PortEvent(LV2UI_Handle, uint32_t, uint32_t, uint32_t, const void*) {}

int Idle(LV2UI_Handle handle) {
  try {
    return static_cast<Ui*>(handle)->plugin->EditorIdle() ? 0 : 1;
  } catch (...) {
    return 1;
  }
}

const void* ExtensionData(const char* uri) {
  static const LV2UI_Idle_Interface idle{Idle};
  return std::strcmp(uri, LV2_UI__idleInterface) == 0 ? &idle : nullptr;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) const LV2UI_Descriptor* lv2ui_descriptor(
    uint32_t index) {
  static const std::string uri = ov::UiUri(ov::BakedPluginUri());
  static const LV2UI_Descriptor descriptor{uri.c_str(), Instantiate, Cleanup, PortEvent,
                                           ExtensionData};
  return index == 0 && !ov::BakedPluginUri().empty() ? &descriptor : nullptr;
}
