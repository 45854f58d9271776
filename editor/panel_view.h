// The panel of a container: a CMyView holding one visual object for every
// module of the container that has a face in the view kind asked for, and
// how a container fills a host object with it.
//
// Which visual object a document object shows as is decided by the makers
// in a VisualMakers list: the controls, containers and widgets each add
// theirs.
//
// Thread: editor.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "editor/visual_object.h"

namespace ov {

class CContainer;

// A list of children bound to one container.
class CMyView_base : public CPaintObject {};

// The panel of one container, filled with the system window colour.
class CMyView : public CMyView_base {
 public:
  explicit CMyView(CContainer& container);
  Point PreferredSize() const override { return {6000, 6000}; }
  void Draw(Canvas& canvas) override;
};

class VisualMakers {
 public:
  // Answers a new visual object for the document object in that view
  // kind, or null when it has no face there.
  using Maker = std::function<std::unique_ptr<CVisualOb>(CDocOb& object, int32_t view_kind)>;
  void Add(Maker maker) { makers_.push_back(std::move(maker)); }
  // The first maker's answer that is not null.
  std::unique_ptr<CVisualOb> Make(CDocOb& object, int32_t view_kind) const;

 private:
  std::vector<Maker> makers_;
};

// Fills `host` with the container's panel: a CMyView with the visual
// objects of the container's modules, in the container's order, added to
// `host` as an owned child at the back. Hosts of view kind 512 and 2048
// get nothing. Answers the panel view (null when none was made).
CVisualOb* PopulateView(CContainer& container, CVisualOb& host, const VisualMakers& makers);

}  // namespace ov
