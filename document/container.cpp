#include "document/container.h"

#include <algorithm>

#include "document/connection.h"
#include "document/container_parameters.h"
#include "document/control.h"
#include "document/legacy_objects.h"
#include "document/new_objects.h"
#include "document/panel_feeds.h"
#include "document/panel_objects.h"
#include "document/patch_manager.h"
#include "document/plug_kinds.h"
#include "modules/module_registry.h"

namespace ov {

constinit const SerialClass CContainer::kClass{"CContainer", 95, true, &MakeObject<CContainer>,
                                               &CUG_with_patches::kClass};

CContainer::CContainer() {
  for (const auto kind : {parameter_cug_xtra::kSkin, parameter_cug_xtra::kProgram,
                          parameter_cug_xtra::kProgramName}) {
    parameters_.push_back(std::make_unique<parameter_cug_xtra>(*this, kind));
  }
}

// The parameters go first: their watchers may still ask them for values.
CContainer::~CContainer() { parameters_.clear(); }

generic_parameter* CContainer::FindParameter(std::string_view name) const {
  for (const auto& parameter : parameters_) {
    if (parameter->Name() == name) return parameter.get();
  }
  return nullptr;
}

int32_t CContainer::CurrentPatch() const {
  const CPatchManager* manager = GetPatchManager();
  return manager != nullptr ? manager->current_patch() : 0;
}

void CContainer::SetCurrentPatch(int32_t patch) {
  if (patch_manager_) patch_manager_->SetCurrentPatch(patch);
  parameters_[parameter_cug_xtra::kProgram]->Watchers().Notify(
      Notification(kNotifyValueChanged, parameters_[parameter_cug_xtra::kProgram].get()));
  Notify(Notification(kNotifyContentsChanged, this));
  parameters_[parameter_cug_xtra::kProgramName]->Watchers().Notify(
      Notification(kNotifyValueChanged, parameters_[parameter_cug_xtra::kProgramName].get()));
  // Modules may add or remove nothing while told, but a listener above may;
  // so the list is taken first.
  std::vector<CUG*> modules;
  for (const auto& child : children_) {
    if (auto* module = dynamic_cast<CUG*>(child.get())) modules.push_back(module);
  }
  for (CUG* module : modules) {
    if (auto* container = dynamic_cast<CContainer*>(module)) {
      if (!container->IgnoresProgramChange()) container->SetCurrentPatch(patch);
    } else {
      module->OnPatchChanged(patch);
    }
  }
  Notify(Notification(kNotifyContentsChanged, this));
}

void VisitPatchFollowers(const CContainer& top, const std::function<void(CUG&)>& visit) {
  // Each frame: a container and the next of its children to look at.
  std::vector<std::pair<const CContainer*, std::size_t>> stack{{&top, 0}};
  while (!stack.empty()) {
    auto& [container, next] = stack.back();
    if (next == container->children().size()) {
      stack.pop_back();
      continue;
    }
    auto* module = dynamic_cast<CUG*>(container->children()[next++].get());
    if (module == nullptr) continue;
    if (auto* sub = dynamic_cast<const CContainer*>(module)) {
      if (!sub->IgnoresProgramChange()) stack.emplace_back(sub, 0);
      continue;
    }
    visit(*module);
  }
}

std::vector<generic_parameter*> CollectHostGenericParameters(const CContainer& top) {
  std::vector<generic_parameter*> collected;
  VisitPatchFollowers(top, [&](CUG& module) { module.CollectGenericParameters(collected); });
  return collected;
}

std::vector<CControl*> PerPatchControls(const CContainer& top) {
  std::vector<CControl*> controls;
  VisitPatchFollowers(top, [&](CUG& module) {
    if (auto* control = dynamic_cast<CControl*>(&module)) controls.push_back(control);
  });
  return controls;
}

CDocOb* CContainer::AddChild(std::unique_ptr<CDocOb> child) {
  if (dynamic_cast<CLine2*>(child.get()) != nullptr) {
    children_.push_back(std::move(child));
    return children_.back().get();
  }
  children_.insert(children_.begin(), std::move(child));
  return children_.front().get();
}

std::unique_ptr<CDocOb> CContainer::RemoveChild(const CDocOb* child) {
  const auto found = std::find_if(children_.begin(), children_.end(),
                                  [child](const auto& held) { return held.get() == child; });
  if (found == children_.end()) return nullptr;
  std::unique_ptr<CDocOb> removed = std::move(*found);
  children_.erase(found);
  return removed;
}

CLine2* CContainer::Join(CPlug2* a, CPlug2* b) {
  auto line = std::make_unique<CLine2>(a, b);
  line->SetModuleType(BuiltInModules().FindModule("Line"));
  CLine2* made = line.get();
  a->AttachConnection(made);
  b->AttachConnection(made);
  AddChild(std::move(line));
  made->SetParent(this);
  Notify(Notification(kNotifyChildAdded, made));
  return made;
}

CLine2* CContainer::Connect(CPlug2* a, CPlug2* b) {
  auto line = std::make_unique<CLine2>(a, b);
  line->SetModuleType(BuiltInModules().FindModule("Line"));
  CLine2* made = line.get();
  for (CPlug2* end : {a, b}) {
    end->AttachConnection(made);
    if (end->connections().size() == 1) end->OnFirstConnection(*made);
  }
  AddChild(std::move(line));
  made->SetParent(this);
  Notify(Notification(kNotifyChildAdded, made));
  for (CPlug2* end : {a, b}) {
    if (end->owner() != nullptr) end->owner()->OnConnectionsChanged(*end, true);
  }
  return made;
}

void CContainer::Disconnect(CLine2* line) {
  std::unique_ptr<CDocOb> removed = RemoveChild(line);
  if (removed == nullptr) return;
  CPlug2* ends[] = {line->from(), line->to()};
  for (CPlug2* end : ends) {
    if (end != nullptr) end->DetachConnection(line);
  }
  removed.reset();
  for (CPlug2* end : ends) {
    if (end != nullptr && end->owner() != nullptr) end->owner()->OnConnectionsChanged(*end, false);
  }
}

CUG* CContainer::IoModule() const {
  for (const auto& child : children_) {
    auto* module = dynamic_cast<CUG*>(child.get());
    if (module != nullptr && module->type_key() == "IO Mod") return module;
  }
  return nullptr;
}

namespace {

// The last container plug that has not been given a direction yet.
CPlugIO2* SparePlug(const CUG& module) {
  CPlugIO2* spare = nullptr;
  for (const auto& plug : module.plugs()) {
    auto* io = dynamic_cast<CPlugIO2*>(plug.get());
    if (io != nullptr && io->Direction() == DR_CONTAINER_IO) spare = io;
  }
  return spare;
}

// A new spare plug made from the module type's container-plug descriptor.
CPlugIO2* FreshSpare(CUG& module) {
  int16_t index = 0;
  std::string name = "Spare";
  if (module.module_type() != nullptr) {
    const auto& descriptors = module.module_type()->Descriptors();
    const auto found = std::find_if(descriptors.begin(), descriptors.end(),
                                    [](const auto& d) { return d.direction == DR_CONTAINER_IO; });
    if (found != descriptors.end()) {
      index = static_cast<int16_t>(found - descriptors.begin());
      name = found->name;
    }
  }
  auto spare = std::make_unique<CPlugIO2>(name);
  spare->set_index(index);
  return static_cast<CPlugIO2*>(module.InsertPlug(std::move(spare)));
}

}  // namespace

CPlugIO2* CContainer::AddContainerPlug(const std::string& name, int32_t direction,
                                       int32_t datatype) {
  CUG* io = IoModule();
  if (io == nullptr) {
    io = static_cast<CUG*>(AddChild(CreateDocumentObject(BuiltInModules(), "IO Mod")));
    io->SetParent(this);
  }
  CPlugIO2* outer = SparePlug(*this);
  if (outer == nullptr) outer = FreshSpare(*this);
  auto* inner = dynamic_cast<CPlugIO2*>(outer->Partner());
  if (inner == nullptr) inner = SparePlug(*io);
  if (inner == nullptr) inner = FreshSpare(*io);
  outer->SetPartner(inner);
  inner->SetPartner(outer);
  outer->SetName(name);
  inner->SetName(name);
  outer->SetDirection(static_cast<uint16_t>(direction));
  inner->SetDirection(static_cast<uint16_t>(direction == DR_IN ? DR_OUT : DR_IN));
  outer->SetDatatype(static_cast<uint16_t>(datatype));
  inner->SetDatatype(static_cast<uint16_t>(datatype));
  CPlugIO2* outer_spare = FreshSpare(*this);
  CPlugIO2* inner_spare = FreshSpare(*io);
  outer_spare->SetPartner(inner_spare);
  inner_spare->SetPartner(outer_spare);
  return outer;
}

CPatchManager* CContainer::GetPatchManager() const {
  for (const CContainer* walk = this; walk != nullptr; walk = walk->parent()) {
    if (walk->patch_manager_) return walk->patch_manager_.get();
  }
  return nullptr;
}

CPatchManager* PatchManagerFor(CUG& module) {
  CContainer* holder =
      module.parent() != nullptr ? module.parent() : dynamic_cast<CContainer*>(&module);
  if (holder == nullptr) return nullptr;
  if (CPatchManager* manager = holder->GetPatchManager()) return manager;
  CContainer* main = holder;
  while (main->parent() != nullptr && main->parent()->parent() != nullptr) main = main->parent();
  return &main->EnsurePatchManager();
}

PatchParameter* ParameterOf(const CPlug2& plug) {
  const CUG* module = plug.owner();
  if (module == nullptr || module->parent() == nullptr) return nullptr;
  const CPatchManager* manager = module->parent()->GetPatchManager();
  return manager != nullptr ? manager->FindParameter(plug) : nullptr;
}

CPatchManager& CContainer::EnsurePatchManager() {
  if (!patch_manager_) {
    patch_manager_ = std::make_unique<CPatchManager>();
    patch_manager_->SetContainer(this);
  }
  return *patch_manager_;
}

std::vector<CDocOb*> CContainer::StoredOrder() const {
  std::vector<CDocOb*> stored;
  for (auto child = children_.rbegin(); child != children_.rend(); ++child) {
    if (dynamic_cast<const CLine2*>(child->get()) == nullptr) stored.push_back(child->get());
  }
  for (const auto& child : children_) {
    if (dynamic_cast<const CLine2*>(child.get()) != nullptr) stored.push_back(child.get());
  }
  return stored;
}

void CContainer::WalkChildren(FieldWalker& walker) {
  const int32_t version = walker.LoadVersion();
  // Before version 10 a typed list; then an int32 count that a null tag may
  // cut short; from 95321 on no count, only the null tag.
  const CountForm form = version < 10      ? CountForm::kCount
                         : version < 95321 ? CountForm::kInt32
                                           : CountForm::kTerminated;
  const std::vector<CDocOb*> stored = walker.Loading() ? std::vector<CDocOb*>() : StoredOrder();
  const std::optional<std::size_t> count = walker.BeginList("children", stored.size(), form, 2);
  if (!count) {
    walker.EndList();
    return;
  }
  std::vector<CLine*> old_lines;
  std::vector<CPanelBox*> old_boxes;
  if (walker.Loading()) children_.clear();
  for (std::size_t i = 0; i < *count; ++i) {
    Persistent* object = walker.Loading() ? nullptr : stored[i];
    walker.BeginElement();
    walker.Object("", object, nullptr, true);
    walker.EndElement();
    if (!walker.Loading()) continue;
    if (object == nullptr) {
      if (form != CountForm::kCount && walker.InStream()) break;
      continue;
    }
    // Old classes are converted below; the objects themselves stay with the
    // load and are freed with it. Anything else that is not a document
    // object is ignored.
    if (object->IsKindOf(CDocOb::kClass)) {
      AddChild(std::unique_ptr<CDocOb>(static_cast<CDocOb*>(walker.Adopt(object).release())));
    } else if (version < 45 && object->IsKindOf(CLine::kClass)) {
      old_lines.push_back(static_cast<CLine*>(object));
    } else if (version < 10 && object->IsKindOf(CPanelBox::kClass)) {
      old_boxes.push_back(static_cast<CPanelBox*>(object));
    }
  }
  if (walker.purpose() == WalkPurpose::kWriteStream && form == CountForm::kTerminated) {
    Persistent* marker = nullptr;
    walker.Object("", marker, nullptr, true);
  }
  walker.EndList();

  // The plugs' owners are known only now that every child has been read.
  for (const CLine* old : old_lines) {
    if (old->a() != nullptr && old->b() != nullptr) Join(old->a(), old->b());
  }
  for (const CPanelBox* old : old_boxes) {
    auto box = std::make_unique<CPanelBox2>();
    box->SetModuleTypeKey(walker, "Panel Group");
    box->SetTitle(old->title());
    box->SetPanelRect(old->window_rect());
    AddChild(std::move(box));
  }
}

void CContainer::WalkOldPatchTable(FieldWalker& walker) {
  std::vector<std::string> names;
  int32_t current = 0;
  if (!walker.Loading() && patch_manager_) {
    names = patch_manager_->NamesUpToLastNamed();
    current = patch_manager_->current_patch();
  }
  StringArray(walker, "patch_names", names);
  walker.Int32("current_patch", current);
  if (walker.Loading()) {
    CPatchManager& manager = EnsurePatchManager();
    const std::size_t kept = std::min<std::size_t>(names.size(), CPatchManager::kPatchCount);
    for (std::size_t patch = 0; patch < kept; ++patch) {
      manager.SetPatchName(static_cast<int32_t>(patch), names[patch]);
    }
    manager.SetCurrentPatch(std::clamp(current, 0, CPatchManager::kPatchCount - 1));
  }
}

void CContainer::Serialize(FieldWalker& walker) {
  const int32_t version = walker.LoadVersion();
  CUG::Serialize(walker);
  if (version > 95269) {
    Owned(walker, "patch_manager", patch_manager_);
    if (walker.Loading() && patch_manager_) patch_manager_->SetContainer(this);
  }
  WalkChildren(walker);
  if (version > 94950) walker.RectField("panel_rect", panel_rect_);
  FixedInt32s(walker, "panel_view", panel_view_);
  FixedInt32s(walker, "structure_view", structure_view_);
  if (version > 27) {
    walker.PointField("panel_offset", panel_offset_);
    walker.PointField("structure_offset", structure_offset_);
  }
  if (version > 8) walker.UInt32("flags", flags_);
  if (version > 47) walker.String("skin", skin_name_);
  if (version > 49 && version < 95270) WalkOldPatchTable(walker);
  if (version > 94950) walker.Bool8("spare_hidden", spare_hidden_);
  if (walker.Loading() && version < 94811) SetModuleTypeKey(walker, "Container");
}

void CContainer::ConnectParents(CContainer* parent) {
  SetParent(parent);
  if (patch_manager_) patch_manager_->SetContainer(this);
  for (const auto& child : children_) child->ConnectParents(this);
}

bool CContainer::HoldsPatchSelect() const {
  return std::any_of(children_.begin(), children_.end(), [](const auto& child) {
    return dynamic_cast<const CUG*>(child.get()) != nullptr && child->type_key() == "Patch Select";
  });
}

void CContainer::SetIgnoreProgramChange(bool on) {
  flags_ = on ? flags_ | kIgnoreProgramChange : flags_ & ~kIgnoreProgramChange;
}

void CContainer::InitialiseAfterLoad(bool loaded) {
  if (parent() == nullptr || HoldsPatchSelect() || IgnoresProgramChange()) EnsurePatchManager();
  initialising_ = true;
  RegisterPatchPlugs(parent() != nullptr ? parent()->GetPatchManager() : nullptr);
  initialising_ = false;
  // A new container would now make one feature plug per feature it has;
  // the document keeps no features, so there are none to make.
  if (!loaded) return;
  if (CPlug2* spare = FindPlug("Spare")) spare->SetHidden(spare_hidden_);
  for (const auto& child : children_) child->InitialiseAfterLoad(true);
  if (parent() == nullptr) RegisterPanelFedInputs(*this);
}

void CContainer::SetSkinName(std::string name) {
  skin_name_ = std::move(name);
  Notify(Notification(kNotifySkinChanged, this));
}

}  // namespace ov
