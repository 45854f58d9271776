// The panel's tree of visual objects. Every node has a rectangle in its
// parent's coordinates, flags, a parent, children (the first child is drawn
// last, on top, and is the first hit) and may show a document object (its
// module), whose notifications it follows while open.
//
// An object's own coordinates put (0, 0) at its top-left; its children's
// rectangles are in those coordinates shifted by its scroll offset.
//
// Thread: editor. Nothing here is reached from the audio thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "document/doc_object.h"
#include "document/geometry.h"
#include "document/notifier.h"

namespace ov {

class Canvas;
class CDocOb;
class CWndOb;
class COrvaneViewBase;
class ContextMenu;
struct Skin;

enum VisualFlag : uint32_t {
  kVoGridCentred = 0x4,
  kVoOpen = 0x8,
  kVoGridFullWidth = 0x10,
  kVoThick = 0x20,
  kVoReadOnly = 0x40,
  kVoOwned = 0x100,
  kVoGridFullHeight = 0x800,
  kVoSeeThrough = 0x1000,
  kVoParentBuildsMenu = 0x2000,
  kVoToolTip = 0x4000,
  kVoFocusable = 0x10000,
  kVoRedrawAfterMove = 0x40000,
  kVoParentToolTip = 0x80000,
  kVoNoScrollDecorator = 0x100000,
  kVoAutoSize = 0x200000,
};

Rect Offset(const Rect& r, int32_t dx, int32_t dy);
bool RectContains(const Rect& r, Point p);

class CVisualOb : public Notifiable {
 public:
  CVisualOb();
  virtual ~CVisualOb();
  CVisualOb(const CVisualOb&) = delete;
  CVisualOb& operator=(const CVisualOb&) = delete;

  // Codes 8 and 16 (its module went), 35 (its module moved in this view
  // kind), 51 and 55 (bring a module's object to the front or the back).
  void OnNotify(const Notification& notification) override;

  uint32_t flags() const { return flags_; }
  void SetFlags(uint32_t set) { flags_ |= set; }
  void ClearFlags(uint32_t clear) { flags_ &= ~clear; }
  bool IsOpen() const { return (flags_ & kVoOpen) != 0; }
  int32_t tab_order() const { return tab_order_; }
  void set_tab_order(int32_t order) { tab_order_ = order; }

  CVisualOb* parent() const { return parent_; }
  const std::vector<CVisualOb*>& children() const { return children_; }
  // True for this object and everything below it.
  bool Contains(const CVisualOb* other) const;
  // The root view above (or this one), null when not in a tree under one.
  COrvaneViewBase* Root();
  // The nearest window object: this one or an ancestor.
  virtual CWndOb* Window();
  virtual bool IsWindow() const { return false; }

  virtual Point ScrollOffset() const { return {}; }
  // The parent's text with kVoParentToolTip, else empty.
  virtual std::string ToolTipText() const;
  virtual int32_t GridSize() const { return 1; }
  virtual int32_t ViewKind() const;
  virtual int32_t Layer() const { return 100; }
  // The skin the object draws with: its parent's unless it says otherwise;
  // null only outside a tree whose root has skins.
  virtual Skin* GetSkin();
  virtual Point PreferredSize() const { return {10, 10}; }

  // Keys answer true when used. The defaults offer them to the key
  // interceptor; characters do nothing.
  virtual bool KeyDown(int32_t key, int32_t repeat, uint32_t flags);
  virtual bool KeyUp(int32_t key, int32_t repeat, uint32_t flags);
  virtual bool Character(int32_t key, int32_t repeat, uint32_t flags);

  // A point of this object's coordinates in the root's (the platform
  // window's) and back.
  Point ToRoot(Point p) const;
  Point FromRoot(Point p) const;

  // This object receives the following moves and the release.
  virtual void CaptureMouse();
  void ReleaseCapture();
  // The capture went, by a release or because the window lost the pointer
  // (a grab, the focus leaving): a drag in progress ends here.
  virtual void CaptureLost() {}
  virtual bool CanTakeFocus() const { return (flags_ & kVoFocusable) != 0; }
  // True for objects that use the keyboard themselves (text entry): only
  // they take the platform's keyboard focus, so that the host's shortcuts
  // keep working after a click on a knob.
  virtual bool TakesKeys() const { return false; }
  virtual bool AcceptsMouse() const { return false; }
  // The focus left this object or came to it (each heard once per change).
  virtual void FocusLost() {}
  virtual void FocusGot() {}
  // Moves `child` back until at least 8 pixels of it lie inside this
  // object's client area on each axis.
  virtual void KeepChildReachable(CVisualOb& child);

  virtual void ChildClicked(CVisualOb* child, bool give_focus);
  virtual void ChildReleased(CVisualOb* child);
  // Press: a double click when it follows the last press anywhere in the
  // editor closely enough, else a click reported up the tree.
  virtual void MouseDown(uint32_t flags, Point p);
  virtual void MouseUp(uint32_t flags, Point p);
  virtual void MouseMove(uint32_t flags, Point p);
  virtual void DoubleClick(uint32_t flags, Point p);
  // The wheel reaches only window objects: delta -120 away from the user.
  virtual bool MouseWheel(int32_t delta, uint32_t flags, Point p);
  // A timer set with the root view's SetTimer has run out.
  virtual void OnTimer(int32_t id);

  // Draws the object (nothing by default) into a canvas whose origin is
  // the object's top-left, then its children.
  virtual void Paint(Canvas& canvas);
  virtual void Draw(Canvas& canvas);
  void PaintChildren(Canvas& canvas);
  virtual void InvalidateAll();
  // `area` in this object's coordinates.
  virtual void InvalidateRect(const Rect& area);

  virtual void BringToFront();
  virtual void SendToBack();
  virtual void OnBroughtToFront();
  virtual void OnSentToBack();
  virtual void TakeFocus();

  CDocOb* Module() const { return module_; }
  virtual void BindToModule(CDocOb* module) { module_ = module; }

  // The module's entries by default.
  virtual void BuildContextMenu(ContextMenu& menu, Point p);
  // A menu command goes to the module, then travels up the tree until an
  // object takes it.
  virtual bool Command(int32_t id, Point p);
  // The module's rectangle in this view kind changed to `rect`.
  virtual void ModuleMoved(const Rect& rect) { SetRect(rect); }

  virtual void ParentMoved(Point delta);
  virtual void Open();
  virtual void Close();
  virtual void SetRect(const Rect& rect) { rect_ = rect; }
  virtual Rect GetRect() const { return rect_; }
  Rect ClientRect() const;
  virtual bool ContainsPoint(Point p) const { return RectContains(ClientRect(), p); }
  virtual void ChildResized(CVisualOb& child);

  // The object under `p` (this object's coordinates) that accepts the
  // mouse. A see-through object is hit only where an opaque descendant
  // lies under the point; `opaque` tells the caller one was found.
  CVisualOb* HitTest(Point p, bool* opaque);
  // The innermost window object under `p`.
  CVisualOb* WindowAt(Point p);

  // Adds at the front (drawn on top, hit first) or at the back.
  void AddChild(CVisualOb* child, bool at_front);
  // Adds and owns: the child is deleted when this object closes.
  CVisualOb* AdoptChild(std::unique_ptr<CVisualOb> child, bool at_front);
  // Removes without deleting; an owned child is handed back.
  std::unique_ptr<CVisualOb> RemoveChild(CVisualOb* child);
  // Closes, removes and deletes an owned child after the current event.
  void DestroyChild(CVisualOb* child);

 protected:
  // Reports this object's area of the parent for repainting.
  void InvalidateInParent(const Rect& area_in_parent);

 private:
  void PlaceInChildren(CVisualOb* child, bool at_front);

  Rect rect_;
  CDocOb* module_ = nullptr;
  uint32_t flags_ = 0;
  CVisualOb* parent_ = nullptr;
  int32_t tab_order_ = -1;
  bool listening_ = false;
  std::vector<CVisualOb*> children_;
  std::vector<std::unique_ptr<CVisualOb>> owned_;
};

// A visual object drawn into its window's buffer. It remembers the area it
// last occupied, so moves and closes repaint what it left. Its input
// defaults: Tab and Enter move the focus forward, Shift+Tab backward.
class CPaintObject : public CVisualOb {
 public:
  bool Character(int32_t key, int32_t repeat, uint32_t flags) override;
  // Passed to the parent, shifted by this object's top-left, while open.
  void InvalidateRect(const Rect& area) override;
  void SetRect(const Rect& rect) override;
  void Open() override;
  void Close() override;
  void BringToFront() override;
  void SendToBack() override;

  const Rect& last_rect() const { return last_rect_; }

 private:
  Rect last_rect_;
};

// Moves the keyboard focus on from `from` by tab order.
void MoveFocus(CVisualOb& from, bool forward);

}  // namespace ov
