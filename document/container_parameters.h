// The three panel parameters every container offers, found by name:
// "Skin" (which of the project's skins its panel draws with), "Program"
// (its current patch) and "Program Name" (that patch's name, with the list
// of all 128 names for choosers).
//
// Threads: editor only, like the document.
#pragma once

#include <cstdint>
#include <string>

#include "document/generic_parameter.h"

namespace ov {

class CContainer;

class parameter_cug_xtra final : public generic_parameter {
 public:
  enum Kind : int32_t { kSkin = 0, kProgram = 1, kProgramName = 2 };

  parameter_cug_xtra(CContainer& container, Kind kind) : container_(container), kind_(kind) {}
  // Its watchers hear code 8 and forget it.
  ~parameter_cug_xtra() override;

  Notifier& Watchers() override { return watchers_; }
  std::string Name() const override;
  // "Skin" is enumerated; the other two are texts.
  int32_t Datatype() const override;
  std::string ValueText() const override;
  // "Skin" takes a skin index, "Program" a patch number (texts that are no
  // number, or outside the skins or the 128 patches, are ignored), "Program
  // Name" the current patch's new name.
  void WriteValueText(const std::string& text) override;
  // "Skin": the skin names; "Program Name": "<name of patch 0>=0" and then
  // ",<name>" for patches 1 to 127. A "," or "=" inside a name would split
  // the list, so the list shows a blank there (the name itself keeps it).
  std::string ItemList() const override;
  // They take no normalised values: always 0, and sets do nothing.
  float GetNormalised() const override { return 0.0f; }
  void SetNormalised(float) override {}

  Kind kind() const { return kind_; }

 private:
  CContainer& container_;
  const Kind kind_;
  Notifier watchers_;
};

}  // namespace ov
