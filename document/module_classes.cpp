#include "document/module_classes.h"

#include <array>
#include <cstddef>
#include <span>

#include "document/document.h"
#include "engine/audio_master.h"
#include "engine/message_queue.h"
#include "engine/ug_base.h"
#include "modules/module_registry.h"
#include "patches/message_hub.h"
#include "platform/message_sink.h"
#include "sdk/orvane_module.h"

namespace ov {

constinit const SerialClass CUG2::kClass{"CUG2", 1, false, &MakeObject<CUG2>, &CUG::kClass};
constinit const SerialClass kCtl_Keyboard2{"Ctl_Keyboard2", 1, false, &MakeObject<Ctl_Keyboard2>,
                                           &CUG::kClass};
constinit const SerialClass kCtl_SelfDrawing2{"Ctl_SelfDrawing2", 1, false,
                                              &MakeObject<Ctl_SelfDrawing2>, &CUG::kClass};
constinit const SerialClass Ctl_WaveShape::kClass{"Ctl_WaveShape", 1, false,
                                                  &MakeObject<Ctl_WaveShape>, &kCtl_SelfDrawing2};
constinit const SerialClass kCtl_WaveShape2{"Ctl_WaveShape2", 1, false, &MakeObject<Ctl_WaveShape2>,
                                            &Ctl_WaveShape::kClass};
constinit const SerialClass CPlugin::kClass{"CPlugin", 1, false, &MakeObject<CPlugin>,
                                            &CUG::kClass};
constinit const SerialClass CPlugin2::kClass{"CPlugin2", 1, false, &MakeObject<CPlugin2>,
                                             &CPlugin::kClass};

#define OV_PLAIN_MODULE_CLASS(name) \
  constinit const SerialClass k##name { #name, 1, false, &MakeObject < name>, &CUG::kClass }
OV_PLAIN_MODULE_CLASS(CSwitch);
OV_PLAIN_MODULE_CLASS(CControlPlugs);
OV_PLAIN_MODULE_CLASS(CFeedbackDelay);
OV_PLAIN_MODULE_CLASS(CMidiAutomator);
#undef OV_PLAIN_MODULE_CLASS

void CUG2::Serialize(FieldWalker& walker) {
  CUG::Serialize(walker);
  walker.RectField("panel_rect", panel_rect_);
}

void Ctl_WaveShape::Serialize(FieldWalker& walker) {
  if (walker.LoadVersion() < 95271) {
    CUG::Serialize(walker);
  } else {
    CUG2::Serialize(walker);
  }
}

void CPlugin::Serialize(FieldWalker& walker) {
  CUG::Serialize(walker);
  walker.String("plugin_key", plugin_key_);
  if (!walker.Loading()) return;
  if (const Module_Info* type = walker.modules().FindModule(plugin_key_)) {
    ResolveModuleType(type);
    return;
  }
  ResolveModuleType(walker.modules().FindModule("Plugin"));
  if (MessageSink* messages = walker.messages()) {
    messages->Post("Can't load Module. '" + plugin_key_ + "'", MessageStyle::kWarning);
  }
}

void CPlugin::SetUpAsNew(const Module_Info& type) {
  CUG::SetUpAsNew(type);
  plugin_key_ = type.GetId();
}

CPlugin2::~CPlugin2() {
  if (panel_ != nullptr) panel_->Send(OV_PANEL_CLOSE);
}

void CPlugin2::Serialize(FieldWalker& walker) {
  CPlugin::Serialize(walker);
  walker.RectField("panel_rect", panel_rect_);
}

void CPlugin2::InitialiseAfterLoad(bool loaded) {
  CPlugin::InitialiseAfterLoad(loaded);
  MakePanelPart(loaded);
}

void CPlugin2::MakePanelPart(bool loaded) {
  if (panel_ != nullptr || module_type() == nullptr) return;
  panel_ = module_type()->MakePanelPart(*this, loaded);
  if (panel_ == nullptr) return;
  ++panel_generation_;
  panel_->Send(OV_PANEL_OPEN, loaded ? 1 : 0);
}

void CPlugin2::DropPanelPart() {
  // Taken out first: the panel part's last calls back find no panel part.
  std::unique_ptr<ModulePanel> panel = std::move(panel_);
  if (panel != nullptr) panel->Send(OV_PANEL_CLOSE);
  drawing_size_ = {};
  drawing_flags_ = 0;
}

bool CPlugin2::Query() const { return panel_ != nullptr && panel_->Send(OV_PANEL_QUERY) == 1; }

int32_t CPlugin2::PlugPosition(const CPlug2& plug) const {
  for (std::size_t i = 0; i < plugs().size(); ++i) {
    if (plugs()[i].get() == &plug) return static_cast<int32_t>(i);
  }
  return -1;
}

void CPlugin2::OnPlugValueChanged(CPlug2& plug) {
  const int32_t position = PlugPosition(plug);
  if (panel_ != nullptr && position >= 0) panel_->Send(OV_PANEL_PLUG_VALUE, position);
}

void CPlugin2::OnConnectionsChanged(CPlug2& plug, bool made) {
  const int32_t position = PlugPosition(plug);
  if (panel_ == nullptr || position < 0) return;
  panel_->Send(made ? OV_PANEL_CONNECTED : OV_PANEL_DISCONNECTED, position);
}

void CPlugin2::OnMessage(uint32_t message_id, MessageReader& payload) {
  if (message_id != MessageId("sdk")) {
    CPlugin::OnMessage(message_id, payload);
    return;
  }
  int32_t value = 0;
  int32_t count = 0;
  std::array<std::byte, MessageWriter::kCapacity> bytes{};
  if (!payload.Read(value) || !payload.Read(count) || count < 0 ||
      static_cast<std::size_t>(count) > bytes.size() ||
      !payload.ReadBytes(std::span(bytes).first(static_cast<std::size_t>(count)))) {
    return;
  }
  if (panel_ != nullptr) panel_->Send(OV_PANEL_SDK_MESSAGE, count, value, bytes.data());
}

EngineHost* CPlugin2::RunningHost() const {
  MessageHub* hub = Hub();
  if (hub == nullptr || hub->Engine() == nullptr) return nullptr;
  return &hub->Engine()->Host();
}

std::shared_ptr<IdleList> CPlugin2::ApplicationIdleList() const {
  const COrvaneDocBase* document = GetDocument();
  return document != nullptr ? document->IdleClients() : nullptr;
}

bool CPlugin2::SendToEngine(int32_t value, const void* bytes, int32_t count) {
  MessageHub* hub = Hub();
  if (hub == nullptr || Generator() == nullptr || hub->Engine() == nullptr ||
      hub->Engine()->StopRequested() || count < 0 || (count > 0 && bytes == nullptr)) {
    return false;
  }
  MessageWriter payload;
  payload.Write(value).Write(count).WriteBytes(
      {static_cast<const std::byte*>(bytes), static_cast<std::size_t>(count)});
  // A payload too long for one message failed, and the hub refuses it.
  return hub->PostToEngine(Generator()->TargetId(), MessageId("sdk"), payload);
}

}  // namespace ov
