#include "document/container_parameters.h"

#include <algorithm>

#include "document/container.h"
#include "document/document.h"
#include "document/patch_manager.h"
#include "document/skins.h"
#include "engine/interface_object.h"
#include "platform/text.h"

namespace ov {
namespace {

const COrvaneDocBase* DocumentOf(const CContainer& container) {
  const CContainer* root = &container;
  while (root->parent() != nullptr) root = root->parent();
  return root->document();
}

// The skin list's name order; empty without a document.
std::vector<std::string> SkinNames(const CContainer& container) {
  std::vector<std::string> names;
  if (const COrvaneDocBase* document = DocumentOf(container)) {
    for (const auto& skin : document->skins()) names.push_back(skin->name());
  }
  return names;
}

std::string ListSafe(std::string name) {
  std::replace(name.begin(), name.end(), ',', ' ');
  std::replace(name.begin(), name.end(), '=', ' ');
  return name;
}

}  // namespace

parameter_cug_xtra::~parameter_cug_xtra() {
  watchers_.Notify(Notification(kNotifyPlugDestroyed, this));
}

std::string parameter_cug_xtra::Name() const {
  switch (kind_) {
    case kSkin:
      return "Skin";
    case kProgram:
      return "Program";
    case kProgramName:
      return "Program Name";
  }
  return {};
}

int32_t parameter_cug_xtra::Datatype() const { return kind_ == kSkin ? DT_ENUM : DT_TEXT; }

std::string parameter_cug_xtra::ValueText() const {
  switch (kind_) {
    case kSkin: {
      const std::vector<std::string> names = SkinNames(container_);
      const auto found = std::find(names.begin(), names.end(), container_.skin_name());
      return std::to_string(found == names.end() ? 0 : found - names.begin());
    }
    case kProgram:
      return std::to_string(container_.CurrentPatch());
    case kProgramName: {
      const CPatchManager* manager = container_.GetPatchManager();
      return manager != nullptr ? manager->PatchName(-1) : CPatchManager::DefaultPatchName(0);
    }
  }
  return {};
}

void parameter_cug_xtra::WriteValueText(const std::string& text) {
  switch (kind_) {
    case kSkin: {
      const std::vector<std::string> names = SkinNames(container_);
      const std::optional<long long> index = ParseInteger(text);
      if (!index || *index < 0 || *index >= static_cast<long long>(names.size())) return;
      container_.SetSkinName(names[static_cast<std::size_t>(*index)]);
      watchers_.Notify(Notification(kNotifyValueChanged, this));
      return;
    }
    case kProgram: {
      const std::optional<long long> patch = ParseInteger(text);
      if (!patch || *patch < 0 || *patch >= CPatchManager::kPatchCount) return;
      container_.SetCurrentPatch(static_cast<int32_t>(*patch));
      return;
    }
    case kProgramName: {
      CPatchManager* manager = container_.GetPatchManager();
      if (manager == nullptr) return;
      manager->SetPatchName(-1, text);
      watchers_.Notify(Notification(kNotifyValueChanged, this));
      container_.Notify(Notification(kNotifyContentsChanged, &container_));
      return;
    }
  }
}

std::string parameter_cug_xtra::ItemList() const {
  std::string list;
  switch (kind_) {
    case kSkin:
      for (const std::string& name : SkinNames(container_)) {
        if (!list.empty()) list += ',';
        list += ListSafe(name);
      }
      return list;
    case kProgram:
      return list;
    case kProgramName: {
      const CPatchManager* manager = container_.GetPatchManager();
      for (int32_t patch = 0; patch < CPatchManager::kPatchCount; ++patch) {
        if (patch > 0) list += ',';
        list += ListSafe(manager != nullptr ? manager->PatchName(patch)
                                            : CPatchManager::DefaultPatchName(patch));
        if (patch == 0) list += "=0";
      }
      return list;
    }
  }
  return list;
}

}  // namespace ov
