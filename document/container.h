// CContainer: a sub-patch. It holds modules, panel objects and connections,
// has its own plugs as a module of its parent, and may keep the patches.
//
// Threads: editor only.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "document/module.h"

namespace ov {

class CControl;
class CLine2;
class CPlugIO2;
class generic_parameter;
class parameter_cug_xtra;
class PatchParameter;
class COrvaneDocBase;

class CContainer : public CUG_with_patches {
 public:
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
  CContainer();
  ~CContainer() override;
  void Serialize(FieldWalker& walker) override;
  void ConnectParents(CContainer* parent) override;
  void InitialiseAfterLoad(bool loaded) override;

  // Front to back: the non-connection children, newest first, then the
  // connections in the order they were added.
  const std::vector<std::unique_ptr<CDocOb>>& children() const { return children_; }
  // A connection goes to the end, any other child to the front.
  CDocOb* AddChild(std::unique_ptr<CDocOb> child);
  std::unique_ptr<CDocOb> RemoveChild(const CDocOb* child);
  // Makes a connection between two plugs as the editor does (both plugs run
  // their first-connection steps), adds it and tells the listeners.
  CLine2* Connect(CPlug2* a, CPlug2* b);
  // What the editor does to remove a connection: both ends forget it, the
  // line is deleted and the ends' modules hear of it. A line that is not
  // this container's is left alone.
  void Disconnect(CLine2* line);
  // The same without the first-connection steps: restores a stored connection.
  CLine2* Join(CPlug2* a, CPlug2* b);

  // Gives the container a plug as the editor leaves one after a connection
  // through its spare: the spare pair (this container's plug and its partner
  // on the input/output module inside, which is made when missing) takes the
  // name, direction and datatype, and a fresh spare pair follows it.
  // Returns the outer plug.
  CPlugIO2* AddContainerPlug(const std::string& name, int32_t direction, int32_t datatype);
  // The child module of type "IO Mod", or null.
  CUG* IoModule() const;

  // The one path of every patch change on the editor side (the host, the
  // "Program" parameter, a "Patch Select", the parent container): its own
  // patch manager, if any, selects `patch` (nothing when already current);
  // then, even when nothing changed, "Program" listeners hear code 31, the
  // container's code 28, "Program Name" listeners code 31, every module it
  // holds directly OnPatchChanged (sub-containers without "Ignore Program
  // Change" select the patch in turn), and code 28 again.
  void SetCurrentPatch(int32_t patch);
  // Its own patch manager's current patch, or the nearest one's above it;
  // 0 when there is none.
  int32_t CurrentPatch() const;
  // "Skin", "Program" and "Program Name", in that order.
  const std::vector<std::unique_ptr<parameter_cug_xtra>>& parameters() const { return parameters_; }
  // The container's own parameter of that name, or null.
  generic_parameter* FindParameter(std::string_view name) const;

  CPatchManager* patch_manager() const { return patch_manager_.get(); }
  // Its own patch manager, or the nearest one above it.
  CPatchManager* GetPatchManager() const;
  CPatchManager& EnsurePatchManager();
  // A "Patch Select" among its direct children makes it a patch context.
  bool HoldsPatchSelect() const;
  // Its "Ignore Program Change" feature, kept as a bit of its option flags:
  // the container keeps its own patches, and is the patch context of its
  // modules, whatever patch the containers around it select.
  static constexpr uint32_t kIgnoreProgramChange = 0x10000;
  bool IgnoresProgramChange() const { return (flags_ & kIgnoreProgramChange) != 0; }
  void SetIgnoreProgramChange(bool on);

  // Set on the root only.
  COrvaneDocBase* document() const { return document_; }
  void SetDocument(COrvaneDocBase* document) { document_ = document; }
  bool initialising() const { return initialising_; }
  const std::string& skin_name() const { return skin_name_; }
  // Tells the container's panels (code 20) so they look their images up anew.
  void SetSkinName(std::string name);
  uint32_t flags() const { return flags_; }
  const Rect& panel_rect() const { return panel_rect_; }
  // Where its panel was last scrolled to.
  const Point& panel_offset() const { return panel_offset_; }
  void SetPanelOffset(Point offset) { panel_offset_ = offset; }
  bool spare_hidden() const { return spare_hidden_; }

 protected:
  Rect* ViewRectField(int32_t view_kind) override {
    return view_kind == kViewControlPanel ? &panel_rect_ : CUG::ViewRectField(view_kind);
  }

 private:
  // The children in stream order: reading the stream back with AddChild
  // gives the same order in memory.
  std::vector<CDocOb*> StoredOrder() const;
  void WalkChildren(FieldWalker& walker);
  void WalkOldPatchTable(FieldWalker& walker);

  std::vector<std::unique_ptr<CDocOb>> children_;
  std::unique_ptr<CPatchManager> patch_manager_;
  std::vector<std::unique_ptr<parameter_cug_xtra>> parameters_;
  uint32_t flags_ = 0;
  std::array<int32_t, 4> panel_view_{};
  std::array<int32_t, 4> structure_view_{};
  Rect panel_rect_;
  Point panel_offset_;
  Point structure_offset_;
  std::string skin_name_ = "default";
  bool spare_hidden_ = false;
  bool initialising_ = false;
  COrvaneDocBase* document_ = nullptr;
};

// The patch manager that keeps the patch parameters of `module`'s plugs: the
// nearest container's around it that has one, else a new one of the main
// container (the outermost below the root), whose patches the plug-in shows
// the host. Null for a module outside any container.
CPatchManager* PatchManagerFor(CUG& module);
// The modules below `top` that follow its patches, depth first, children
// front to back: those it holds, and those of the sub-containers that do not
// ignore program changes (the sub-containers themselves are not visited).
// Iterative, so any nesting depth is safe.
void VisitPatchFollowers(const CContainer& top, const std::function<void(CUG&)>& visit);
// The panel parameters of those modules, in that order: what hosts see of
// the panel, and what state chunks save of it.
std::vector<generic_parameter*> CollectHostGenericParameters(const CContainer& top);
// Those modules that keep one value per patch themselves.
std::vector<CControl*> PerPatchControls(const CContainer& top);

// The patch parameter that keeps `plug`'s value, found where its module
// registers its plugs; null when it has none.
PatchParameter* ParameterOf(const CPlug2& plug);

}  // namespace ov
