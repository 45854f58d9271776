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
#include "platform/pixel_image.h"

namespace ov {

class CContainer;
class CUG;
class VisualMakers;

// Codes a list of children hears from its container besides those of
// notifier.h: a module replaced (its object is made again), and the
// document saved (nothing to do).
inline constexpr int32_t kNotifyModuleReplaced = 7;
inline constexpr int32_t kNotifyDocumentSaved = 4;

// A list of children bound to one container. When the container's skin
// changes, every open child is closed and opened again so that it looks up
// its images anew; a module added to the container (or replaced) gets its
// object made by the makers the list was given.
class CMyView_base : public CPaintObject {
 public:
  void OnNotify(const Notification& notification) override;
  // What makes the objects of modules added later; they must outlive it.
  void SetMakers(const VisualMakers* makers) { makers_ = makers; }
  const VisualMakers* Makers() const { return makers_; }
  // The view shows its container's inside, not where the container lies.
  void ModuleMoved(const Rect&) override {}
  // Drops the images looked up and reopens the children, so that the skin
  // is asked for them anew (its images changed or arrived).
  void LookUpImagesAgain();
  // LookUpImagesAgain() on every list of children at or under `object`.
  static void LookUpImagesAgainUnder(CVisualOb& object);

 protected:
  // Runs first when the skin changed.
  virtual void SkinChanged() {}
  // Makes, adds, opens and keeps reachable the object of `object`, when
  // it has one in this view kind.
  void AddVisualFor(CDocOb& object);

 private:
  const VisualMakers* makers_ = nullptr;
};

// The panel of one container, drawn over the skin's "background" image
// (tiled or copied once, as its description says) or the system window
// colour without one.
class CMyView : public CMyView_base {
 public:
  explicit CMyView(CContainer& container);
  Point PreferredSize() const override { return {6000, 6000}; }
  // 8 pixels while the document's grid option is on, else 1.
  int32_t GridSize() const override;
  // The background is clicked too: it has a context menu of its own.
  bool AcceptsMouse() const override { return true; }
  // The control panel shows its container's own skin.
  Skin* GetSkin() override;
  // Code 13 (its window scrolled): the container keeps the position;
  // code 4 is ignored.
  void OnNotify(const Notification& notification) override;
  void Close() override;
  void Draw(Canvas& canvas) override;
  // The container's entries, then "About..." when the project has an about
  // text.
  void BuildContextMenu(ContextMenu& menu, Point p) override;

 protected:
  void SkinChanged() override;

 private:
  void LoadBackground();

  CContainer& container_;
  PixelImage background_;  // transparent pixels black, for plain copies
  int32_t mode_letter_ = -1;
  bool background_looked_up_ = false;
};

class VisualMakers {
 public:
  // Answers a new visual object for the document object in that view
  // kind, or null when it has no face there.
  using Maker = std::function<std::unique_ptr<CVisualOb>(CDocOb& object, int32_t view_kind)>;
  void Add(Maker maker) { makers_.push_back(std::move(maker)); }
  // The first maker's answer that is not null.
  std::unique_ptr<CVisualOb> Make(CDocOb& object, int32_t view_kind) const;

  // What a panel shown inside another (not in the plug-in's root view)
  // is wrapped in: answers the wrapped panel, or the panel itself.
  using Wrapper = std::function<std::unique_ptr<CVisualOb>(
      CContainer& container, int32_t view_kind, std::unique_ptr<CVisualOb> panel)>;
  void SetWrapper(Wrapper wrapper) { wrapper_ = std::move(wrapper); }
  std::unique_ptr<CVisualOb> Wrap(CContainer& container, int32_t view_kind,
                                  std::unique_ptr<CVisualOb> panel) const {
    return wrapper_ ? wrapper_(container, view_kind, std::move(panel)) : std::move(panel);
  }

  // The whole panel (wrapping included) of a module that has one of its
  // own without being a container, such as a hosted plug-in: what a
  // sub-panel or a window of its own shows of it, or null.
  using PanelMaker = std::function<std::unique_ptr<CVisualOb>(CUG& module, int32_t view_kind)>;
  void AddPanelMaker(PanelMaker maker) { panel_makers_.push_back(std::move(maker)); }
  std::unique_ptr<CVisualOb> MakePanel(CUG& module, int32_t view_kind) const;

 private:
  std::vector<Maker> makers_;
  std::vector<PanelMaker> panel_makers_;
  Wrapper wrapper_;
};

// The makers of the nearest list of children at or above `object`, or
// null.
const VisualMakers* MakersAbove(CVisualOb& object);

// Fills `host` with the container's panel: a CMyView with the visual
// objects of the container's modules, in the container's order, added to
// `host` as an owned child at the back; wrapped as the makers say unless
// the host has flag 0x100000 (the root view). Hosts of view kind 512 and
// 2048 get nothing. Answers the panel view (null when none was made).
CVisualOb* PopulateView(CContainer& container, CVisualOb& host, const VisualMakers& makers);

// Fills `host` with the panel of a container (as PopulateView) or of a
// module with a panel of its own (the makers' MakePanel). False when
// nothing was added.
bool PopulateModuleView(CUG& module, CVisualOb& host, const VisualMakers& makers);

}  // namespace ov
