// The patch toolbar over a sub-panel whose container holds a "Patch
// Select": arrows to step through the patches, the patch name with a list
// of all patches, the MIDI channel where the owner has one, the bank and
// program file menu and a copy button, laid out in 24-pixel rows above
// the panel.
//
// Thread: editor.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "document/control_mapper.h"
#include "editor/panel_view.h"
#include "editor/visual_object.h"

namespace ov {

class CUG;

class CPatchSelDecorator : public CPaintObject, public PatchButtonOwner {
 public:
  static constexpr int32_t kRowHeight = 24;

  // `owner` is the module whose "Program", "Program Name" and "Channel"
  // parameters the toolbar shows (each only when it has one); `content`
  // its panel, kept below the rows.
  CPatchSelDecorator(CUG& owner, std::unique_ptr<CVisualOb> content);

  CUG& owner() const { return owner_; }
  CVisualOb* content() const { return content_; }
  // The content's preferred size, made taller by the rows the items take
  // at its width.
  Point PreferredSize() const override;
  // A new size lays the items out again and gives the content the rest;
  // a move only moves.
  void SetRect(const Rect& rect) override;
  // The items are made on opening (they go when it closes).
  void Open() override;
  void Close() override;
  void Draw(Canvas& canvas) override;
  // The panel below fills whatever it is given to draw in: it is held to
  // its own rectangle.
  void Paint(Canvas& canvas) override;

  void ShowPatchList() override;
  void ShowFileMenu() override;
  // Offered to the owner, then up the tree (the copy command has no
  // taker).
  void OwnerCommand(int32_t id) override;

 private:
  void MakeItems();
  // The items in rows against `width` (placed there with `place`);
  // answers the lowest bottom.
  int32_t LayOut(int32_t width, bool place);
  void PlaceContent(int32_t top);

  CUG& owner_;
  CVisualOb* content_;
  std::vector<CVisualOb*> items_;
  CVisualOb* list_button_ = nullptr;
  CVisualOb* file_button_ = nullptr;
  generic_parameter* program_ = nullptr;
  generic_parameter* program_name_ = nullptr;
};

// Control panels (view kind 128) of containers that directly hold a
// "Patch Select" get the toolbar when they are wrapped.
void AddPatchToolbar(VisualMakers& makers);

}  // namespace ov
