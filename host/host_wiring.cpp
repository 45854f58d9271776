#include "host/host_wiring.h"

#include <memory>
#include <string_view>

#include "document/container.h"
#include "document/module.h"
#include "document/new_objects.h"
#include "document/plug.h"
#include "engine/interface_object.h"
#include "modules/module_registry.h"

namespace ov {
namespace {

std::unique_ptr<CUG> NewModule(std::string_view key) {
  std::unique_ptr<CDocOb> object = CreateDocumentObject(BuiltInModules(), key);
  auto* module = dynamic_cast<CUG*>(object.get());
  if (module == nullptr) return nullptr;
  object.release();
  return std::unique_ptr<CUG>(module);
}

// The free plug of an auto-duplicating "Audio" row: connecting it adds the
// next one.
CPlug2* SpareAudioPlug(const CUG& module) {
  for (auto it = module.plugs().rbegin(); it != module.plugs().rend(); ++it) {
    const CPlug2& plug = **it;
    if (plug.Datatype() == DT_FSAMPLE && plug.connections().empty()) return it->get();
  }
  return nullptr;
}

}  // namespace

bool WireHostModules(CContainer& root, CContainer& main) {
  std::unique_ptr<CUG> made_input = NewModule("VST Input");
  std::unique_ptr<CUG> made_output = NewModule("VST Output");
  if (made_input == nullptr || made_output == nullptr) return false;
  auto* input = static_cast<CUG*>(root.AddChild(std::move(made_input)));
  auto* output = static_cast<CUG*>(root.AddChild(std::move(made_output)));
  input->SetParent(&root);
  output->SetParent(&root);

  // Connecting adds plugs to the main container's list: walk a copy.
  std::vector<CPlug2*> plugs;
  for (const auto& plug : main.plugs()) plugs.push_back(plug.get());
  for (CPlug2* plug : plugs) {
    const int32_t datatype = plug->Datatype();
    const int32_t direction = plug->Direction();
    if (datatype == DT_FSAMPLE && !plug->hidden()) {
      if (direction == DR_IN) {
        if (CPlug2* host_channel = SpareAudioPlug(*input)) root.Connect(host_channel, plug);
      } else if (direction == DR_OUT) {
        if (CPlug2* host_channel = SpareAudioPlug(*output)) root.Connect(plug, host_channel);
      }
    } else if (datatype == DT_MIDI) {
      if (direction == DR_IN) {
        if (CPlug2* midi = input->FindPlug("MIDI Out")) root.Connect(midi, plug);
      } else if (direction == DR_OUT) {
        if (CPlug2* midi = output->FindPlug("MIDI In")) root.Connect(plug, midi);
      }
    }
  }
  return true;
}

}  // namespace ov
