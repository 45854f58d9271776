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
  header_ = std::move(other.header_);
  files_ = std::move(other.files_);
  skins_ = std::move(other.skins_);
  file_asking_ = other.file_asking_;
  SetRoot(std::move(other.root_));
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
  const std::string padded = header_.plugin_id + "    ";
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
  if (walker.Loading() && on_files_) on_files_(*this);
  if (v > 15 && v < 49) walker.String("obsolete_text", header_.obsolete_text);
  if (v > 20 && v < 48) walker.Bytes("obsolete_blocks", header_.obsolete_blocks, 3 * 60);
  walker.String("file_name", header_.file_name);
  if (v > 8) walker.Int32("editor_flag_a", header_.editor_flag_a);
  if (v > 19 && v < 94960) walker.Int32("obsolete_number", header_.obsolete_number);
  if (v > 44) walker.Int32("editor_flag_b", header_.editor_flag_b);
  if (v > 55) {
    walker.String("plugin_id", header_.plugin_id);
    if (v > 61) walker.String("editor_text_a", header_.editor_text_a);
    if (v > 57) {
      walker.Bool32("option_flag", header_.option_flag);
      walker.String("option_text", header_.option_text);
    }
    if (v > 63) walker.Bool32("mono_capable", header_.mono_capable);
    if (v > 56) walker.PointField("panel_size", header_.panel_size);
    if (v > 68) {
      walker.UInt32("plugin_flags", header_.plugin_flags);
      walker.Int32("programs", header_.program_count);
      if (v > 70) walker.String("vendor", header_.vendor);
      if (v > 85) walker.String("editor_text_b", header_.editor_text_b);
      if (v < 94400) walker.String("obsolete_text_b", header_.obsolete_text_b);
      walker.String("editor_text_c", header_.editor_text_c);
    }
    walker.Bool32("skins_present", header_.skins_present);
    if (header_.skins_present) WalkSkins(walker);
  }
  if (v > 95272) walker.Bool8("reserved", header_.reserved);
  Owned(walker, "root", root_);
  if (walker.Loading() && root_) root_->SetDocument(this);
  if (v > 10 && v < 16) walker.String("obsolete_text_c", header_.obsolete_text_c);
}

}  // namespace ov
