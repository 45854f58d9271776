// Controls of a parameter's number: CMySliderCtrl, a vertical track bar
// from 0 to 100 whose top is the maximum, and CMySpinButtonCtrl, up-down
// arrows that step an integer through a buddy CMyEdit.
//
// Thread: editor.
#pragma once

#include <cstdint>

#include "document/generic_parameter.h"
#include "editor/visual_object.h"

namespace ov {

class CMyEdit;

class CMySliderCtrl : public CPaintObject, protected ParamWatcher {
 public:
  explicit CMySliderCtrl(generic_parameter* parameter);
  bool AcceptsMouse() const override { return true; }
  bool CanTakeFocus() const override { return true; }
  void MouseDown(uint32_t flags, Point p) override;
  void MouseMove(uint32_t flags, Point p) override;
  void CaptureLost() override { dragging_ = false; }
  // Up and Down step by 1, Page Up and Page Down by 20, Home and End go
  // to the ends.
  bool KeyDown(int32_t key, int32_t repeat, uint32_t flags) override;
  // Gaining the focus is reported to the parent chain as a click.
  void FocusGot() override;
  void Draw(Canvas& canvas) override;
  Point PreferredSize() const override { return {30, 56}; }
  std::string ToolTipText() const override;
  int32_t position() const { return position_; }

 protected:
  void OnParameterChanged() override;

 private:
  // The bar moved to `position` (0 top): the parameter follows.
  void Scrolled(int32_t position);
  int32_t PositionAt(int32_t y) const;

  int32_t position_ = 100;
  bool dragging_ = false;
};

class CMySpinButtonCtrl : public CPaintObject, protected ParamWatcher {
 public:
  // `buddy` shows the number and writes it; it must outlive the arrows
  // (a sibling in the same grid).
  CMySpinButtonCtrl(generic_parameter* parameter, CMyEdit* buddy);
  bool AcceptsMouse() const override { return true; }
  bool CanTakeFocus() const override { return true; }
  void MouseDown(uint32_t flags, Point p) override;
  void DoubleClick(uint32_t flags, Point p) override { MouseDown(flags, p); }
  bool KeyDown(int32_t key, int32_t repeat, uint32_t flags) override;
  void Open() override;
  void Draw(Canvas& canvas) override;
  Point PreferredSize() const override { return {16, 20}; }
  std::string ToolTipText() const override;

  bool Enabled() const;
  int32_t position() const { return position_; }
  int32_t minimum() const { return minimum_; }
  int32_t maximum() const { return maximum_; }

 protected:
  void OnParameterChanged() override;

 private:
  void Step(int32_t by);
  void TakeRange();

  CMyEdit* buddy_;
  int32_t minimum_ = 1;
  int32_t maximum_ = 128;
  int32_t position_ = 1;
};

}  // namespace ov
