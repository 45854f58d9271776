// Tab pages ("Paged Group"): of the modules the tab box holds, only those
// on its current page show, and only inside it: the panel around it loses
// their objects when the tab pages open. The tab box draws nothing itself;
// a list control joined to its "Page" switches pages.
//
// Thread: editor.
#pragma once

#include "editor/panel_view.h"

namespace ov {

class CTabBox;

class CTabBoxWnd : public CMyView_base {
 public:
  explicit CTabBoxWnd(CTabBox& box);

  // Members keep their panel positions: the tab pages' own coordinates
  // start at the panel's origin.
  Point ScrollOffset() const override;
  void Open() override;
  // Code 52 shows the new page; code 17 is ignored (the tab box places
  // its members itself).
  void OnNotify(const Notification& notification) override;

 private:
  void ShowPage();

  CTabBox& box_;
};

}  // namespace ov
