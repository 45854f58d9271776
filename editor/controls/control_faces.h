// The faces of control_ob modules: which visual object each face kind is
// made of, and the maker that puts a control_frame2 on the panel for every
// control_ob module.
//
// How a widget joins: derive from CVisualOb (or CPaintObject) and from
// has_features, describe its features in the order of FaceFeatures(kind)
// (document/control_features.h), and add a maker for its kind with
// ControlFaces::Add; the frame binds each feature plug to the feature of
// the same index when it fills.
//
// Thread: editor.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "editor/panel_view.h"
#include "editor/visual_object.h"

namespace ov {

class ControlFaces {
 public:
  using Maker = std::function<std::unique_ptr<CVisualOb>()>;
  // Replaces an earlier maker of the same kind.
  void Add(int32_t kind, Maker maker);
  // Null for a kind without a maker.
  std::unique_ptr<CVisualOb> Make(int32_t kind) const;

 private:
  struct Entry {
    int32_t kind;
    Maker maker;
  };
  std::vector<Entry> entries_;
};

// Adds the maker of control_ob modules' frames for view kind 128, placed
// at the module's panel rectangle. `faces` must outlive the makers.
void AddControlFrameMaker(VisualMakers& makers, const ControlFaces& faces);

}  // namespace ov
