// Control mappers: what ties a percent-valued bitmap control to the
// parameter it shows. The control asks its mapper for the normalised value
// and writes through it; the mapper calls the control back when the
// parameter changes (from the host, a patch change, another control).
//
// How a control uses it: implement MappedControl, take a mapper made for
// it (control_mapper_bmc_param for any generic parameter), read
// GetNormalised() when it opens, write SetNormalised() when the user moves
// it, and redraw in ValueFromParameter().
//
// Threads: editor only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "document/generic_parameter.h"

namespace ov {

// The control side of a mapper.
class MappedControl {
 public:
  // The parameter's normalised value (0..1) changed.
  virtual void ValueFromParameter(float normalised) = 0;

 protected:
  ~MappedControl() = default;
};

class control_mapper {
 public:
  virtual ~control_mapper() = default;
  virtual float GetNormalised() const = 0;
  virtual void SetNormalised(float normalised) = 0;
  virtual std::string ToolTipText() const = 0;
  // A menu command of the control; true when taken.
  virtual bool Command(int32_t /*id*/) { return false; }
};

// A mapper that holds its control.
class control_mapper_bmc : public control_mapper {
 public:
  explicit control_mapper_bmc(MappedControl* control) : control_(control) {}
  MappedControl* control() const { return control_; }
  // The control goes before its mapper stops calling it.
  void ForgetControl() { control_ = nullptr; }

 protected:
  void PushToControl(float normalised) {
    if (control_ != nullptr) control_->ValueFromParameter(normalised);
  }

 private:
  MappedControl* control_;
};

// Any generic parameter, both ways: values written go to the parameter,
// and every change of the parameter reaches the control. The tool tip is
// the parameter's name and value text.
class control_mapper_bmc_param : public control_mapper_bmc, private ParamWatcher {
 public:
  control_mapper_bmc_param(MappedControl* control, generic_parameter* parameter);
  float GetNormalised() const override;
  void SetNormalised(float normalised) override;
  std::string ToolTipText() const override;
  generic_parameter* parameter() const { return Watched(); }

 private:
  void OnParameterChanged() override;
};

// An enumerated parameter seen by one button or knob, in one of three
// ways: passing normalised values both ways (a rotary switch); standing
// for one item (an LED or stack button lit while the parameter holds that
// item, and choosing it when pressed); or stepping to the next or previous
// item on each press, round from the last to the first and back.
class control_mapper_bmc_enum : public control_mapper_bmc, private ParamWatcher {
 public:
  enum Mode : int32_t { kPrevious = -1, kNext = 1, kPassThrough = 3 };
  // With `item`, the mapper stands for that item value whatever the mode.
  control_mapper_bmc_enum(MappedControl* control, generic_parameter* parameter, Mode mode,
                          std::optional<int32_t> item = std::nullopt);
  float GetNormalised() const override;
  void SetNormalised(float normalised) override;
  std::string ToolTipText() const override;
  generic_parameter* parameter() const { return Watched(); }

 private:
  void OnParameterChanged() override;
  // The item after (or before) the current one; a value not listed goes
  // to the first item (or the last).
  void Step();

  Mode mode_;
  std::optional<int32_t> item_;
  float pressed_ = 0.0f;  // a stepping button shows its own press
};

// Command ids of the patch toolbar.
inline constexpr int32_t kCommandLoadBank = 34909;
inline constexpr int32_t kCommandSaveBank = 34910;
inline constexpr int32_t kCommandLoadProgram = 34911;
inline constexpr int32_t kCommandSaveProgram = 34912;
inline constexpr int32_t kCommandCopyPatch = 32788;

// What the buttons of a patch selector act on.
class PatchButtonOwner {
 public:
  // The popup list of patch names.
  virtual void ShowPatchList() = 0;
  // The menu of bank and program files (the four commands above).
  virtual void ShowFileMenu() = 0;
  virtual void OwnerCommand(int32_t id) = 0;

 protected:
  ~PatchButtonOwner() = default;
};

// A button of a patch selector: it acts when released. Kinds: 0, 5 and 6
// send their command to the owner (5 and 6 are a sequencer's own); 1 the
// patch list; 2 the file menu; 3 and 4 step "Program" down or up, never
// past patch 0 or the last patch; 7 sends the copy command.
class control_mapper_bmc_menu : public control_mapper_bmc {
 public:
  enum Kind : int32_t {
    kCommand = 0,
    kPatchList = 1,
    kFileMenu = 2,
    kPatchDown = 3,
    kPatchUp = 4,
    kOwnerCommand5 = 5,
    kOwnerCommand6 = 6,
    kCopy = 7,
  };
  // `program` is the "Program" parameter the steps write (may be null).
  control_mapper_bmc_menu(MappedControl* control, PatchButtonOwner& owner, Kind kind,
                          generic_parameter* program, int32_t command = 0);
  float GetNormalised() const override { return pressed_; }
  void SetNormalised(float normalised) override;
  std::string ToolTipText() const override { return {}; }
  Kind kind() const { return kind_; }

 private:
  void Act();

  PatchButtonOwner& owner_;
  Kind kind_;
  generic_parameter* program_;
  int32_t command_;
  float pressed_ = 0.0f;
};

}  // namespace ov
