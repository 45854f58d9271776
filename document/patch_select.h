// `Ctl_PatchSel`: the document half of "Patch Select". It keeps its engine
// half's program equal to its container's current patch, and selects the
// patch a MIDI program change brought when the engine half asks for a
// refresh. Streams before version 50 held a whole control in its place,
// with the control's own module fields; such a control is kept with it.
//
// Threads: editor only.
#pragma once

#include <cstdint>
#include <memory>

#include "document/control.h"

namespace ov {

class Ctl_PatchSel : public CUG {
 public:
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
  Ctl_PatchSel();
  ~Ctl_PatchSel() override;
  void Serialize(FieldWalker& walker) override;

  const CControl* control() const { return control_.get(); }

  // The container chose `patch`: the engine half sends it on, unless it
  // holds that program already (the change came from it).
  void OnPatchChanged(int32_t patch) override;

 protected:
  void OnGeneratorAttached(ug_base& generator) override;
  // The engine half took a program change from MIDI: the container selects it.
  void OnRefresh(ug_base& generator) override;

 private:
  std::unique_ptr<CControl> control_;
};

}  // namespace ov
