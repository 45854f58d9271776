// The panel host callback: which panel a library's call is for, and the
// answers to its opcodes. Plug indexes are positions in the module's plug
// list and are checked; visual objects and drawing records count only when
// they name one of the panel's open visual objects.
#include <cstring>

#include "document/container.h"
#include "document/module_classes.h"
#include "document/patch_manager.h"
#include "document/plug_kinds.h"
#include "editor/view_root.h"
#include "editor/visual_object.h"
#include "engine/data_files.h"
#include "engine/engine_host.h"
#include "extmodules/module_info_plugin.h"
#include "extmodules/plugin_panel.h"
#include "platform/text.h"
#include "platform/window_port.h"

namespace ov {
namespace {

constexpr intptr_t kLargestDrawing = 4096;
constexpr std::size_t kMaxPlugText = 4096;
constexpr std::size_t kMaxWideName = 4096;

std::string TextAt(const void* ptr) {
  if (ptr == nullptr) return {};
  const auto* text = static_cast<const char*>(ptr);
  return std::string(text, strnlen(text, kMaxPlugText));
}

}  // namespace

intptr_t PanelHostCallback(void* structure, int32_t opcode, intptr_t index, intptr_t value,
                           void* ptr, float opt) {
  PluginPanel* panel = PluginPanel::Find(structure);
  if (panel == nullptr) return 0;
  return panel->Answer(opcode, index, value, ptr, opt);
}

intptr_t PluginPanel::Answer(int32_t opcode, intptr_t index, intptr_t value, void* ptr, float opt) {
  switch (opcode) {
    case OV_PANEL_HOST_REPAINT:
      owner_.Notify(Notification(kNotifyContentsChanged, &owner_));
      return 0;
    case OV_PANEL_HOST_TARGET_ID:
      return static_cast<intptr_t>(owner_.Handle());
    case OV_PANEL_HOST_SEND_SDK:
      if (index >= 0 && index <= INT32_MAX) {
        owner_.SendToEngine(static_cast<int32_t>(value), ptr, static_cast<int32_t>(index));
      }
      return 0;
    case OV_PANEL_HOST_SET_SIZE:
      owner_.SetDrawingSize(
          {static_cast<int32_t>(std::clamp<intptr_t>(index, 0, kLargestDrawing)),
           static_cast<int32_t>(std::clamp<intptr_t>(value, 0, kLargestDrawing))});
      return 0;
    case OV_PANEL_HOST_SET_FLAG0:
      owner_.SetDrawingFlags((owner_.drawing_flags() & ~1u) | (index >= 1 ? 1u : 0u));
      return 0;
    case OV_PANEL_HOST_PLUG_COUNT:
      return static_cast<intptr_t>(owner_.plugs().size());
    case OV_PANEL_HOST_SET_PLUG_TEXT:
      if (CPlug2* plug = PlugAt(index); plug != nullptr && ptr != nullptr) {
        SetPlugText(*plug, TextAt(ptr));
      }
      return 0;
    case OV_PANEL_HOST_PLUG_TEXT: {
      CPlug2* plug = PlugAt(index);
      return plug != nullptr ? reinterpret_cast<intptr_t>(PlugText(*plug)) : 0;
    }
    case OV_PANEL_HOST_ADD_PLUG:
      if (ptr != nullptr) AddFeaturePlug(static_cast<const char*>(ptr), index, value);
      return 0;
    case OV_PANEL_HOST_MAKE_PARAMETER:
      if (CPlug2* plug = PlugAt(index)) MakeParameter(*plug);
      return 0;
    case OV_PANEL_HOST_FONT:
      return FontFor(FindView(reinterpret_cast<const void*>(index)),
                     reinterpret_cast<const char*>(value), ptr);
    case OV_PANEL_HOST_SET_SETTING:
      owner_.SetSetting(index != 0);
      return 0;
    case OV_PANEL_HOST_WINDOW:
      return WindowOf(reinterpret_cast<const void*>(index));
    case OV_PANEL_HOST_SET_FLAGS:
      owner_.SetDrawingFlags(static_cast<uint32_t>(index));
      return 0;
    case OV_PANEL_HOST_PLUG_VALUE: {
      CPlug2* plug = PlugAt(index);
      return plug != nullptr && ptr != nullptr ? PlugValue(*plug, ptr) : 0;
    }
    case OV_PANEL_HOST_SET_PLUG_VALUE:
      if (CPlug2* plug = PlugAt(index)) SetPlugValue(*plug, value, opt);
      return 0;
    case OV_PANEL_HOST_SET_PLUG_EXTRA:
      if (CPlug2* plug = PlugAt(index); plug != nullptr && ptr != nullptr) {
        SetPlugExtra(*plug, TextAt(ptr));
      }
      return 0;
    case OV_PANEL_HOST_PLUG_EXTENSION_W:
      if (CPlug2* plug = PlugAt(index); plug != nullptr && ptr != nullptr && value > 0) {
        CopyBoundedWide(static_cast<uint16_t*>(ptr), static_cast<std::size_t>(value),
                        PlugExtension(*plug));
      }
      return 0;
    case OV_PANEL_HOST_CAPTURE:
    case OV_PANEL_HOST_RELEASE:
    case OV_PANEL_HOST_HAS_CAPTURE:
      return CaptureOf(ptr, opcode);
    case OV_PANEL_HOST_VST_CALLBACK:
      return CallVstHost(ptr);
    case OV_PANEL_HOST_LIBRARY_PATH_W:
      if (ptr != nullptr && value > 0) {
        CopyBoundedWide(static_cast<uint16_t*>(ptr), static_cast<std::size_t>(value),
                        type_.LibraryPath());
      }
      return 0;
    case OV_PANEL_HOST_RESOLVE_FILE_W:
      return ResolveFile(value, ptr);
    case OV_PANEL_HOST_VERSION:
      return 2;
    case OV_PANEL_HOST_REMOVE_PLUG:
      if (CPlug2* plug = PlugAt(index)) RemovePlug(*plug);
      return 0;
    case OV_PANEL_HOST_IDLE:
      SetIdleTurns(index != 0);
      return 0;
    default:
      return 0;
  }
}

void PluginPanel::SetIdleTurns(bool wanted) {
  const std::shared_ptr<IdleList> list = owner_.ApplicationIdleList();
  if (list == nullptr) return;
  if (!wanted) {
    list->Remove(*this);
    return;
  }
  idle_list_ = list;
  list->Add(*this);
}

CPlug2* PluginPanel::PlugAt(intptr_t index) const {
  const auto& plugs = owner_.plugs();
  if (index < 0 || static_cast<std::size_t>(index) >= plugs.size()) return nullptr;
  return plugs[static_cast<std::size_t>(index)].get();
}

intptr_t PluginPanel::PlugValue(CPlug2& plug, void* ptr) {
  const PatchParameter* parameter = ParameterOf(plug);
  const PatchValue current = parameter != nullptr
                                 ? parameter->CurrentValue()
                                 : PatchValueFromText(plug.Datatype(), plug.value_text());
  if (plug.Datatype() == DT_FLOAT) {
    std::memcpy(ptr, &current.real, sizeof current.real);
  } else if (plug.Datatype() != DT_TEXT) {
    const int32_t number = plug.Datatype() == DT_BOOL ? current.number != 0 : current.number;
    std::memcpy(ptr, &number, sizeof number);
  }
  return 0;
}

void PluginPanel::SetPlugValue(CPlug2& plug, intptr_t value, float opt) {
  if (plug.Datatype() == DT_TEXT) return;
  PatchValue given;
  given.real = opt;
  given.number = plug.Datatype() == DT_BOOL ? value != 0 : static_cast<int32_t>(value);
  if (PatchParameter* parameter = ParameterOf(plug)) {
    parameter->SetValue(given);  // tells the owner when the value changed
    return;
  }
  SetPlugText(
      plug, plug.Datatype() == DT_FLOAT ? FormatDouble(given.real) : std::to_string(given.number));
}

void PluginPanel::SetPlugText(CPlug2& plug, const std::string& text) {
  if (PatchParameter* parameter = ParameterOf(plug)) {
    parameter->SetValue(PatchValueFromText(parameter->value_type(), text));
    return;
  }
  if (plug.value_text() == text) return;
  plug.SetValueText(text);
  owner_.OnPlugValueChanged(plug);
}

const char* PluginPanel::PlugText(CPlug2& plug) {
  const PatchParameter* parameter = ParameterOf(plug);
  plug_text_ = parameter != nullptr ? parameter->ValueText() : plug.value_text();
  return plug_text_.c_str();
}

void PluginPanel::SetPlugExtra(CPlug2& plug, const std::string& text) {
  if (plug.Datatype() != DT_ENUM && plug.Datatype() != DT_TEXT) return;
  if (PatchParameter* parameter = ParameterOf(plug)) {
    parameter->SetListText(text);
  } else {
    plug_extras_[&plug] = text;
  }
}

std::string PluginPanel::PlugExtension(CPlug2& plug) const {
  if (const PatchParameter* parameter = ParameterOf(plug)) return parameter->list_text();
  const auto found = plug_extras_.find(&plug);
  return found != plug_extras_.end() ? found->second : plug.Descriptor().list_text;
}

void PluginPanel::AddFeaturePlug(const char* text, intptr_t index, intptr_t value) {
  auto plug = std::make_unique<CPlugFeature4>();
  plug->SetFeature(TextAt(text),
                   static_cast<int32_t>(std::clamp<intptr_t>(index, INT32_MIN, INT32_MAX)),
                   static_cast<int32_t>(std::clamp<intptr_t>(value, INT32_MIN, INT32_MAX)));
  // After every plug the type describes: no descriptor of its own.
  plug->set_index(static_cast<int16_t>(std::min<std::size_t>(owner_.plugs().size(), INT16_MAX)));
  owner_.InsertPlug(std::move(plug));
}

void PluginPanel::RemovePlug(CPlug2& plug) {
  if (owner_.RemovePlug(&plug)) plug_extras_.erase(&plug);
}

void PluginPanel::MakeParameter(CPlug2& plug) {
  CPatchManager* manager = PatchManagerFor(owner_);
  if (manager == nullptr || manager->FindParameter(plug) != nullptr) return;
  // The value the module was given stays its value in every patch.
  PatchParameter* made = manager->CreateParameterForPlug(plug);
  if (made != nullptr && !plug.value_text().empty()) made->SetAllFromText(plug.value_text());
}

intptr_t PluginPanel::WindowOf(const void* address) const {
  CVisualOb* view = FindView(address);
  COrvaneViewBase* root = view != nullptr ? view->Root() : nullptr;
  if (root == nullptr || root->Port() == nullptr) return 0;
  return static_cast<intptr_t>(root->Port()->NativeHandle());
}

intptr_t PluginPanel::CaptureOf(const void* drawing, int32_t opcode) {
  if (drawing == nullptr) return 0;
  OvDrawing record;
  std::memcpy(&record, drawing, sizeof record);
  CVisualOb* view = FindView(record.visualObject);
  COrvaneViewBase* root = view != nullptr ? view->Root() : nullptr;
  if (root == nullptr) return 0;
  if (opcode == OV_PANEL_HOST_CAPTURE) view->CaptureMouse();
  if (opcode == OV_PANEL_HOST_RELEASE) view->ReleaseCapture();
  return opcode == OV_PANEL_HOST_HAS_CAPTURE && root->State().capture() == view ? 1 : 0;
}

intptr_t PluginPanel::ResolveFile(intptr_t room, void* ptr) const {
  if (ptr == nullptr || room <= 0) return 0;
  EngineHost* host = owner_.RunningHost();
  const DataFiles* files = host != nullptr ? host->MediaFiles() : nullptr;
  if (files == nullptr) return 0;
  auto* wide = static_cast<uint16_t*>(ptr);
  const std::size_t limit = std::min<std::size_t>(static_cast<std::size_t>(room), kMaxWideName);
  const std::string name = ZeroTerminatedWide(wide, limit);
  CopyBoundedWide(wide, static_cast<std::size_t>(room), files->ResolveFilePath(name, ""));
  return 0;
}

intptr_t PluginPanel::CallVstHost(const void* record) const {
  EngineHost* host = owner_.RunningHost();
  if (record == nullptr || host == nullptr) return 0;
  OvHostCallRecord call;
  std::memcpy(&call, record, sizeof call);
  return host->CallVstHost(call.opcode, call.index, call.value, call.ptr, call.opt);
}

}  // namespace ov
