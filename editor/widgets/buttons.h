// Push buttons: CMyButton writes 1.0 while pressed (mouse or Space) and 0
// on release, to its parameter, its "Position" feature and its mapper;
// CMyBrowseButton asks the application's file dialog for a file name for
// its text parameter, without waiting for the answer.
//
// Thread: editor.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "document/control_mapper.h"
#include "document/features.h"
#include "document/generic_parameter.h"
#include "editor/visual_object.h"

namespace ov {

class FileDialog;
struct SkinImage;

class CMyButton : public CPaintObject,
                  public has_features,
                  public value_owner,
                  protected ParamWatcher {
 public:
  explicit CMyButton(generic_parameter* parameter = nullptr, std::string text = {});
  bool AcceptsMouse() const override { return true; }
  bool CanTakeFocus() const override { return true; }
  void MouseDown(uint32_t flags, Point p) override;
  void DoubleClick(uint32_t flags, Point p) override { MouseDown(flags, p); }
  void CaptureLost() override;
  bool KeyDown(int32_t key, int32_t repeat, uint32_t flags) override;
  bool KeyUp(int32_t key, int32_t repeat, uint32_t flags) override;
  void Draw(Canvas& canvas) override;
  // The text's extent plus (8, 4), or 20 x 15 without text.
  Point PreferredSize() const override;
  std::string ToolTipText() const override;
  bool DescribeFeature(int32_t index, FeatureDescription* description) override;

  void SetMapper(std::unique_ptr<control_mapper> mapper) { mapper_ = std::move(mapper); }
  void SetText(std::string text);
  bool pressed() const { return pressed_; }

 private:
  void Press(bool down);

  std::string text_;
  FeatureTypes::Float position_{this};
  std::unique_ptr<control_mapper> mapper_;
  bool pressed_ = false;
};

// The skin image the browse button shows.
inline constexpr const char* kBrowseImage = "IDB_BROWSE_BTNU";

class CMyBrowseButton : public CPaintObject, protected ParamWatcher {
 public:
  explicit CMyBrowseButton(generic_parameter* parameter, std::string file_type = "wav");
  ~CMyBrowseButton() override;
  bool AcceptsMouse() const override { return true; }
  bool CanTakeFocus() const override { return true; }
  void MouseDown(uint32_t flags, Point p) override;
  void DoubleClick(uint32_t flags, Point p) override { MouseDown(flags, p); }
  void Open() override;
  void Close() override;
  void Draw(Canvas& canvas) override;
  Point PreferredSize() const override { return {20, 20}; }
  std::string ToolTipText() const override;
  bool asking() const { return asking_ != nullptr; }

 private:
  std::shared_ptr<const SkinImage> image_;
  std::string file_type_;
  FileDialog* asking_ = nullptr;  // the dialog while it is asked
};

}  // namespace ov
