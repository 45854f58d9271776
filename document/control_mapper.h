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

}  // namespace ov
