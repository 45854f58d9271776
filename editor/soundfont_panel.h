// The small text panel of the sound-font modules: the file, the current
// channel with its switch, its bank and preset, and popup menus to choose
// them; "[LOAD]" asks for another file.
//
// Thread: editor.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "editor/panel_view.h"
#include "editor/self_drawing_view.h"

namespace ov {

class Ctl_Soundfont_base;
class FileDialog;

class SoundfontPanelView : public SelfDrawingView {
 public:
  // The menu rows, each with a triangle at its right end.
  enum class Row { kNone, kChannel, kBank, kPreset };

  explicit SoundfontPanelView(Ctl_Soundfont_base& module);
  ~SoundfontPanelView() override;

  Point PreferredSize() const override { return {104, 58}; }
  void Close() override;
  void Draw(Canvas& canvas) override;

  // The menu row whose triangle lies under `p`.
  Row RowAt(Point p) const;
  // Opens the row's popup menu; false when nothing could be shown.
  bool OpenMenu(Row row);

 protected:
  // A press on [LOAD], the switch or a row's triangle; never a drag.
  bool Press(uint32_t flags, Point p) override;

 private:
  // Row tops of the triangles, by row.
  int32_t RowTop(Row row) const;
  void AskForFile();
  // What a menu item stands for, by the item's index.
  void MenuChosen(Row row, int32_t item);

  Ctl_Soundfont_base& module_;
  std::vector<int32_t> menu_values_;  // of the menu shown
  FileDialog* asking_ = nullptr;      // the dialog while it is asked
};

// Adds the maker of the sound-font modules' panels for the control panel,
// placed at the module's panel rectangle.
void AddSoundfontPanelViews(VisualMakers& makers);

}  // namespace ov
