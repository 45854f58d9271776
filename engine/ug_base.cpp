#include "engine/ug_base.h"

#include <algorithm>
#include <stdexcept>

#include "engine/audio_master.h"
#include "platform/text.h"

namespace ov {

ug_base::ug_base()
    : process_function_(&ug_base::SleepWhenIdle), saved_process_function_(&ug_base::DoNothing) {}

ug_base::~ug_base() {
  // Plugs remove their connectors first; events go back to the pool.
  plugs_.clear();
  if (Pool() != nullptr) ClearEvents();
}

void ug_base::SetMaster(OvAudioMaster* master) {
  master_ = master;
  SetEventPool(master != nullptr ? &master->Events() : nullptr);
}

void ug_base::VisitTree(const std::function<void(ug_base&)>& visit) {
  std::vector<ug_base*> pending{this};
  while (!pending.empty()) {
    ug_base* generator = pending.back();
    pending.pop_back();
    visit(*generator);
    const auto children = generator->Children();
    for (auto child = children.rbegin(); child != children.rend(); ++child) {
      pending.push_back(child->get());
    }
  }
}

void ug_base::ListPlugs(std::vector<InterfaceObject>&) {}

bool ug_base::HasVoiceDependentInput() const {
  constexpr int32_t kBoth = kPlugFlagVoiceReached | kPlugFlagNonLinear;
  for (const auto& plug : plugs_) {
    if (plug->IsInput() && (plug->Flags() & kBoth) == kBoth) return true;
  }
  return false;
}

void ug_base::CreatePlugs() {
  std::vector<InterfaceObject> descriptors;
  ListPlugs(descriptors);
  for (const InterfaceObject& descriptor : descriptors) {
    plugs_.push_back(std::make_unique<UPlug>(*this, PlugCount(), descriptor));
  }
}

void ug_base::CreatePlugs(std::span<const int32_t> descriptor_indices) {
  std::vector<InterfaceObject> descriptors;
  ListPlugs(descriptors);
  for (const int32_t index : descriptor_indices) {
    if (index < 0 || index >= static_cast<int32_t>(descriptors.size())) {
      throw std::invalid_argument("plug descriptor index out of range");
    }
  }
  for (const int32_t index : descriptor_indices) {
    plugs_.push_back(std::make_unique<UPlug>(*this, PlugCount(), descriptors[index]));
  }
}

UPlug* ug_base::AddPlug(int32_t direction, int32_t datatype, int32_t plug_flags) {
  return plugs_
      .emplace_back(std::make_unique<UPlug>(*this, PlugCount(), direction, datatype, plug_flags))
      .get();
}

UPlug* ug_base::plug(int32_t index) const {
  if (index < 0 || index >= PlugCount()) throw std::invalid_argument("plug number out of range");
  return plugs_[index].get();
}

int32_t ug_base::EngineBlockSize() const { return master_->EngineBlockSize(); }

void ug_base::SetUpBuffers() {
  if (master_ == nullptr) throw std::logic_error("a generator needs its engine before buffers");
  audio_inputs_ = audio_outputs_ = 0;
  for (const auto& plug : plugs_) {
    plug->SetUpStorage(EngineBlockSize());
    if (!plug->IsAudio()) continue;
    if (plug->Direction() == DR_OUT) ++audio_outputs_;
    if (plug->Direction() == DR_IN) ++audio_inputs_;
  }
}

void ug_base::Open() {
  for (const auto& plug : plugs_) {
    const USampBlock* block = plug->Direction() == DR_OUT ? plug->Block() : nullptr;
    if (block != nullptr && block->CellSize() != EngineBlockSize()) {
      throw std::logic_error("sample blocks were set up for another engine block size");
    }
  }
  sleeping_ = false;
  ResetStaticCountdown();
  master_->Activate(this);
  for (const auto& plug : plugs_) {
    if (plug->BufferMember() != nullptr) *plug->BufferMember() = plug->Data();
  }
  BindDefaultInputs();
  // Each input learns its sources' state (at least static, so that a first
  // value is computed) and current value.
  for (const auto& plug : plugs_) {
    if (!plug->IsInput()) continue;
    for (connector* link : plug->Connectors()) {
      const UPlug& source = *link->Source();
      QueueStatusChange(clock_, link, std::max<int32_t>(source.State(), ST_STATIC));
      plug->CopyValueFrom(source);
    }
  }
  flags_ |= UGF_OPEN;
}

void ug_base::Close() {
  flags_ &= ~UGF_OPEN;
  master_->Deactivate(this);
}

void ug_base::Wake() { master_->Wake(this); }

void ug_base::Sleep() {
  sleeping_ = true;
  master_->Deactivate(this);
}

void ug_base::Suspend() {
  if ((flags_ & UGF_NEVER_SUSPEND) != 0) return;
  master_->Deactivate(this);
  flags_ |= UGF_SUSPENDED;
}

void ug_base::Resume() {
  if ((flags_ & UGF_SUSPENDED) == 0) return;
  flags_ &= ~UGF_SUSPENDED;
  if (!sleeping_) {
    master_->Activate(this);
  } else if (HasEvents()) {
    Wake();
  }
  if (static_countdown_ > 0) ResetStaticCountdown();
}

std::unique_ptr<ug_base> ug_base::Clone() {
  std::unique_ptr<ug_base> clone = CreateInstance();
  clone->next_clone_ = next_clone_;
  next_clone_ = clone.get();
  clone->AdoptTargetId(TargetId());
  clone->sort_order_ = sort_order_;
  clone->container_ = container_;
  clone->patch_context_ = patch_context_;
  clone->title_ = title_;
  clone->refresh_mark_ = refresh_mark_;
  clone->SetMaster(master_);

  // Its own descriptors, less panel-side plugs (unless patch-stored) and the
  // plugs clones skip; then copies of the model's further plugs.
  std::vector<InterfaceObject> descriptors;
  clone->ListPlugs(descriptors);
  for (const InterfaceObject& descriptor : descriptors) {
    const bool panel_only =
        (descriptor.flags & kPlugPanelSide) != 0 && (descriptor.flags & kPlugPatchStored) == 0;
    if (panel_only || (descriptor.flags & (kPlugSkippedByClones | kPlugAutoDuplicate)) != 0) {
      continue;
    }
    clone->plugs_.push_back(std::make_unique<UPlug>(*clone, clone->PlugCount(), descriptor));
  }
  for (int32_t i = clone->PlugCount(); i < PlugCount(); ++i) {
    const UPlug& model = *plugs_[i];
    clone->AddPlug(model.Direction(), model.Datatype(), model.Flags());
  }
  clone->SetUpBuffers();
  clone->flags_ = (flags_ & ~(UGF_SUSPENDED | UGF_OPEN)) | UGF_CLONE;
  return clone;
}

bool ug_base::RequestMessageBox(std::string_view text) {
  return master_ != nullptr && master_->PostMessageBox(title_, text);
}

bool ug_base::RequestRefresh() {
  if (master_ == nullptr || refresh_mark_->exchange(true, std::memory_order_acq_rel)) return false;
  MessageWriter no_payload;  // empty; its storage is left as it is
  if (master_->PostToEditor(TargetId(), kMsgRefresh, no_payload)) return true;
  ClearRefreshMark();
  return false;
}

bool ug_base::RequestPrint(std::string_view line) {
  if (master_ == nullptr) return false;
  MessageWriter payload;
  payload.WriteString(line);
  return master_->PostToEditor(TargetId(), kMsgPrint, payload);
}

void ug_base::NotifySelf(int32_t kind, int32_t value) {
  if (master_ != nullptr && master_->IsRunning()) {
    master_->Notify(*this, kind, value);
  } else {
    OnNotify(kind, value);
  }
}

void ug_base::OnMessage(uint32_t message_id, MessageReader& payload) {
  NotifyMessage notify;
  if (message_id == NotifyMessage::kId && payload.Read(notify)) ReceiveNotify(notify.a, notify.b);
}

void ug_base::ReceiveNotify(int32_t kind, int32_t value) {
  if (master_->IsRunning()) {
    QueueEvent(master_->SampleClock(), UET_UI_NOTIFY, kind, nullptr, value, true);
  } else {
    OnNotify(kind, value);
  }
}

int32_t ug_base::BlockPosition() const {
  return static_cast<int32_t>(clock_ - master_->CellStart());
}

void ug_base::BindDefaultInputs() {
  std::vector<InterfaceObject> descriptors;
  ListPlugs(descriptors);
  for (const InterfaceObject& descriptor : descriptors) {
    if (descriptor.direction != DR_IN || descriptor.datatype != DT_FSAMPLE) continue;
    float** member = descriptor.buffer_member;
    if (member == nullptr || *member != nullptr) continue;
    auto made = std::find_if(default_blocks_.begin(), default_blocks_.end(),
                             [&](const auto& entry) { return entry.first == member; });
    if (made == default_blocks_.end()) {
      auto block = std::make_unique<USampBlock>(EngineBlockSize());
      block->Fill(static_cast<float>(ParseDouble(descriptor.default_text).value_or(0.0) * 0.1));
      made = default_blocks_.insert(default_blocks_.end(), {member, std::move(block)});
    }
    *member = made->second->Data();
  }
}

}  // namespace ov
