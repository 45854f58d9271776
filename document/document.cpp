#include "document/document.h"

#include "document/container.h"
#include "document/embedded_file.h"
#include "document/skins.h"

namespace ov {

COrvaneDocBase::COrvaneDocBase() = default;
COrvaneDocBase::~COrvaneDocBase() = default;

COrvaneDocBase::COrvaneDocBase(COrvaneDocBase&& other) noexcept { *this = std::move(other); }

COrvaneDocBase& COrvaneDocBase::operator=(COrvaneDocBase&& other) noexcept {
  version_ = other.version_;
  files_ = std::move(other.files_);
  obsolete_text_ = std::move(other.obsolete_text_);
  obsolete_blocks_ = std::move(other.obsolete_blocks_);
  file_name_ = std::move(other.file_name_);
  editor_flag_a_ = other.editor_flag_a_;
  obsolete_number_ = other.obsolete_number_;
  editor_flag_b_ = other.editor_flag_b_;
  plugin_id_ = std::move(other.plugin_id_);
  editor_text_a_ = std::move(other.editor_text_a_);
  option_flag_ = other.option_flag_;
  option_text_ = std::move(other.option_text_);
  mono_capable_ = other.mono_capable_;
  panel_size_ = other.panel_size_;
  plugin_flags_ = other.plugin_flags_;
  program_count_ = other.program_count_;
  vendor_ = std::move(other.vendor_);
  editor_text_b_ = std::move(other.editor_text_b_);
  obsolete_text_b_ = std::move(other.obsolete_text_b_);
  editor_text_c_ = std::move(other.editor_text_c_);
  skins_present_ = other.skins_present_;
  skins_ = std::move(other.skins_);
  reserved_ = other.reserved_;
  SetRoot(std::move(other.root_));
  obsolete_text_c_ = std::move(other.obsolete_text_c_);
  return *this;
}

void COrvaneDocBase::SetRoot(std::unique_ptr<CContainer> root) {
  root_ = std::move(root);
  if (root_) root_->SetDocument(this);
}

void COrvaneDocBase::AddFile(std::unique_ptr<imbedded_file> file) {
  files_.push_back(std::move(file));
}

CContainer* COrvaneDocBase::FindMainContainer() const {
  if (!root_) return nullptr;
  for (const auto& child : root_->children()) {
    auto* container = dynamic_cast<CContainer*>(child.get());
    if (container != nullptr && !container->IsExcluded()) return container;
  }
  return nullptr;
}

void COrvaneDocBase::RunPasses(bool initialise) {
  if (!root_) return;
  root_->ConnectParents(nullptr);
  if (initialise) root_->InitialiseAfterLoad(true);
}

int32_t COrvaneDocBase::PluginId() const {
  const std::string padded = plugin_id_ + "    ";
  int32_t id = 0;
  for (int i = 0; i < 4; ++i) {
    // Signed characters, as the identifier has always been formed.
    id = static_cast<int32_t>(static_cast<uint32_t>(id) * 256u +
                              static_cast<uint32_t>(static_cast<int8_t>(padded[i])));
  }
  return id;
}

void COrvaneDocBase::WalkSkins(FieldWalker& walker) {
  // From version 59 a count; before it exactly one skin.
  const bool counted = walker.LoadVersion() > 58;
  if (!counted && !walker.Loading() && skins_.empty())
    skins_.push_back(std::make_unique<SkinInfo>());
  const std::optional<std::size_t> count = walker.BeginList(
      "skins", counted ? skins_.size() : 1, counted ? CountForm::kInt32 : CountForm::kFixed, 5);
  if (count) {
    if (walker.Loading()) {
      skins_.clear();
      for (std::size_t i = 0; i < *count; ++i) skins_.push_back(std::make_unique<SkinInfo>());
    }
    for (std::size_t i = 0; i < *count; ++i) {
      walker.BeginElement();
      skins_[i]->Serialize(walker);
      walker.EndElement();
    }
  }
  walker.EndList();
}

void COrvaneDocBase::Serialize(FieldWalker& walker) {
  const int32_t v = walker.LoadVersion();
  if (v > 82) OwnedList(walker, "files", files_);
  if (v > 15 && v < 49) walker.String("obsolete_text", obsolete_text_);
  if (v > 20 && v < 48) walker.Bytes("obsolete_blocks", obsolete_blocks_, 3 * 60);
  walker.String("file_name", file_name_);
  if (v > 8) walker.Int32("editor_flag_a", editor_flag_a_);
  if (v > 19 && v < 94960) walker.Int32("obsolete_number", obsolete_number_);
  if (v > 44) walker.Int32("editor_flag_b", editor_flag_b_);
  if (v > 55) {
    walker.String("plugin_id", plugin_id_);
    if (v > 61) walker.String("editor_text_a", editor_text_a_);
    if (v > 57) {
      walker.Bool32("option_flag", option_flag_);
      walker.String("option_text", option_text_);
    }
    if (v > 63) walker.Bool32("mono_capable", mono_capable_);
    if (v > 56) walker.PointField("panel_size", panel_size_);
    if (v > 68) {
      walker.UInt32("plugin_flags", plugin_flags_);
      walker.Int32("programs", program_count_);
      if (v > 70) walker.String("vendor", vendor_);
      if (v > 85) walker.String("editor_text_b", editor_text_b_);
      if (v < 94400) walker.String("obsolete_text_b", obsolete_text_b_);
      walker.String("editor_text_c", editor_text_c_);
    }
    walker.Bool32("skins_present", skins_present_);
    if (skins_present_) WalkSkins(walker);
  }
  if (v > 95272) walker.Bool8("reserved", reserved_);
  Owned(walker, "root", root_);
  if (walker.Loading() && root_) root_->SetDocument(this);
  if (v > 10 && v < 16) walker.String("obsolete_text_c", obsolete_text_c_);
}

}  // namespace ov
