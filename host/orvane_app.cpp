#include "host/orvane_app.h"

#include "document/document.h"
#include "engine/audio_master.h"
#include "host/audio_effectx.h"
#include "host/embedded_files.h"

namespace ov {

ProjectHoldings::ProjectHoldings() = default;
ProjectHoldings::ProjectHoldings(ProjectHoldings&&) noexcept = default;
ProjectHoldings& ProjectHoldings::operator=(ProjectHoldings&&) noexcept = default;
ProjectHoldings::~ProjectHoldings() = default;

ProjectHoldings ProjectSource::TakeHoldings() { return {}; }

COrvaneAppBase::COrvaneAppBase() = default;

COrvaneAppBase::~COrvaneAppBase() { StopEngine(); }

bool COrvaneAppBase::Initialise(ProjectSource& source) {
  facts_ = source.Load(messages_);
  if (!facts_) return false;
  holdings_ = source.TakeHoldings();
  return true;
}

void COrvaneAppBase::StartEngine(int32_t host_block_size) {
  StopEngine();
  master_ = std::make_unique<OvAudioMaster>(*this);
  master_->SetSampleRate(sample_rate_);
  master_->SetEngineBlockSize(OvAudioMaster::ChooseEngineBlockSize(host_block_size));
  // The generator graph is built from the project document; until a project
  // supplies one the engine runs with no generators and renders silence.
  master_->Start(nullptr);
}

void COrvaneAppBase::StopEngine() {
  if (!master_) return;
  master_->Stop();
  master_.reset();
}

uint32_t COrvaneAppBase::NewTargetId() { return next_target_id_.fetch_add(1); }

void COrvaneAppBase::PostUserMessage(std::string_view text) {
  messages_.Post(text, MessageStyle::kWarning);
}

const vst2::VstTimeInfo* COrvaneAppVST::HostTimeInfo(int32_t filter) {
  return plugin_.getTimeInfo(filter);
}

}  // namespace ov
