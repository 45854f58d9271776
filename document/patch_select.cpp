#include "document/patch_select.h"

#include "document/container.h"
#include "document/patch_manager.h"
#include "modules/list_text.h"
#include "modules/patch_select.h"

namespace ov {

constinit const SerialClass Ctl_PatchSel::kClass{"Ctl_PatchSel", 1, false,
                                                 &MakeObject<Ctl_PatchSel>, &CUG::kClass};

Ctl_PatchSel::Ctl_PatchSel() = default;
Ctl_PatchSel::~Ctl_PatchSel() = default;

void Ctl_PatchSel::Serialize(FieldWalker& walker) {
  const int32_t version = walker.LoadVersion();
  if (version >= 50) {
    CUG::Serialize(walker);
    return;
  }
  if (walker.Loading()) SetModuleTypeKey(walker, "Patch Select");
  if (!control_) control_ = std::make_unique<CControl>();
  walker.BeginGroup("control");
  control_->Serialize(walker);
  walker.EndGroup();
  if (walker.Loading() && version == 18) {
    control_->SetValueText(0, std::to_string(ParseLeadingInteger(control_->ValueText(0)) + 1));
  }
}

void Ctl_PatchSel::OnGeneratorAttached(ug_base& generator) {
  auto* engine = dynamic_cast<ug_patch_sel*>(&generator);
  if (engine == nullptr || parent() == nullptr) return;
  engine->SetProgram(static_cast<uint16_t>(parent()->CurrentPatch()));
}

void Ctl_PatchSel::OnPatchChanged(int32_t patch) {
  auto* engine = dynamic_cast<ug_patch_sel*>(Generator());
  if (engine == nullptr || patch < 0 || patch == engine->Program()) return;
  engine->SetProgram(static_cast<uint16_t>(patch));
  engine->NotifySelf(ug_patch_sel::kNotifySendProgram, patch);
}

void Ctl_PatchSel::OnRefresh(ug_base& generator) {
  const auto* engine = dynamic_cast<const ug_patch_sel*>(&generator);
  if (engine == nullptr || parent() == nullptr) return;
  // A MIDI data byte never gives more; anything else is not a patch.
  const uint16_t program = engine->Program();
  if (program < CPatchManager::kPatchCount) parent()->SetCurrentPatch(program);
}

}  // namespace ov
