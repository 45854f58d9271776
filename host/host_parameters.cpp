#include "host/host_parameters.h"

#include <algorithm>
#include <span>
#include <utility>

#include "document/container.h"
#include "document/generic_parameter.h"
#include "document/patch_manager.h"
#include "engine/audio_master.h"
#include "engine/control_engine_half.h"
#include "engine/message_queue.h"
#include "host/audio_effect.h"
#include "patches/patch_value.h"

namespace ov {

void vst_parameter::set_pending(float value) {
  if (!takes_host_values()) return;
  pending_value_.store(value, std::memory_order_relaxed);
  pending_.store(true, std::memory_order_release);
}

std::optional<float> vst_parameter::take_pending() {
  if (!pending_.exchange(false, std::memory_order_acquire)) return std::nullopt;
  return pending_value_.load(std::memory_order_relaxed);
}

float vst_parameter::host_value() const {
  if (pending_.load(std::memory_order_acquire)) return pending_value_.load(std::memory_order_relaxed);
  return get();
}

param_info_new::param_info_new(PatchParameter& parameter)
    : parameter_(parameter), takes_values_(parameter.TakesNormalised()) {}

param_info_new::~param_info_new() {
  if (plugin_ != nullptr) parameter_.on_value_changed = nullptr;
}

std::string param_info_new::name() const { return parameter_.name(); }

std::string param_info_new::value_text() const { return parameter_.ValueText(); }

void param_info_new::set(float value) {
  from_host_ = true;
  parameter_.SetNormalised(value);
  from_host_ = false;
  // What the parameter now holds: a set that changed nothing (an item
  // already chosen, a text) leaves the value the host reads as it was.
  cached_.store(parameter_.GetNormalised(), std::memory_order_relaxed);
}

bool param_info_new::set_queued(float value, OvAudioMaster& master) {
  if (!takes_values_) return true;
  const uint32_t handle = handle_.load(std::memory_order_acquire);
  if (handle == 0) return false;
  cached_.store(value, std::memory_order_relaxed);
  // The engine answers with "ppc" flag 1, which the host does not hear of.
  master.PostAutomation(handle, kMsgPpca, std::as_bytes(std::span<const float, 1>(&value, 1)));
  return true;
}

void param_info_new::attach(AudioEffect& plugin, int32_t index) {
  plugin_ = &plugin;
  index_ = index;
  parameter_.on_value_changed = [this](PatchParameter&, bool) { OnValueChanged(); };
  cached_.store(parameter_.GetNormalised(), std::memory_order_relaxed);
}

void param_info_new::on_engine_started() {
  handle_.store(parameter_.Handle(), std::memory_order_release);
}

void param_info_new::OnValueChanged() {
  const float value = parameter_.GetNormalised();
  if (value == get()) return;
  cached_.store(value, std::memory_order_relaxed);
  // Patch changes and host automation coming back from the engine are not
  // news to the host, nor is what the host set itself.
  if (parameter_.busy() || from_host_) return;
  plugin_->ReportAutomation(index_, value);
}

param_info::param_info(generic_parameter& parameter) : parameter_(&parameter) {}

param_info::~param_info() {
  if (parameter_ != nullptr) parameter_->Watchers().RemoveListener(this);
}

std::string param_info::name() const { return parameter_ != nullptr ? parameter_->Name() : ""; }

std::string param_info::value_text() const {
  return parameter_ != nullptr ? parameter_->TextForNormalised(get()) : "";
}

std::string param_info::label() const { return parameter_ != nullptr ? parameter_->Label() : ""; }

bool param_info::automatable() const { return parameter_ != nullptr && parameter_->Automatable(); }

bool param_info::display_only() const { return parameter_ != nullptr && parameter_->DisplayOnly(); }

void param_info::set(float value) {
  cached_.store(value, std::memory_order_relaxed);
  // Whatever waited for the engine is older than this.
  dirty_.store(false, std::memory_order_relaxed);
  if (parameter_ == nullptr) return;
  from_host_ = true;
  parameter_->SetNormalised(value);
  from_host_ = false;
}

bool param_info::set_queued(float value, OvAudioMaster& master) {
  // Without an engine half only the editor side can take the value.
  if (engine_half_.load(std::memory_order_acquire) == nullptr) return false;
  cached_.store(value, std::memory_order_relaxed);
  dirty_.store(true, std::memory_order_release);
  master.RaiseHostParametersPending();
  return true;
}

void param_info::apply_queued() {
  if (!dirty_.exchange(false, std::memory_order_acquire)) return;
  if (ControlEngineHalf* half = engine_half_.load(std::memory_order_acquire)) {
    half->SetNormalisedFromHost(cached_.load(std::memory_order_relaxed));
  }
}

void param_info::attach(AudioEffect& plugin, int32_t index) {
  plugin_ = &plugin;
  index_ = index;
  if (parameter_ == nullptr) return;
  parameter_->Watchers().AddListener(this);
  cached_.store(parameter_->GetNormalised(), std::memory_order_relaxed);
}

void param_info::on_engine_started() {
  engine_half_.store(parameter_ != nullptr ? parameter_->EngineHalf() : nullptr,
                     std::memory_order_release);
}

void param_info::OnNotify(const Notification& notification) {
  if (notification.code == kNotifyPlugDestroyed) {
    parameter_->Watchers().RemoveListener(this);
    parameter_ = nullptr;
    engine_half_.store(nullptr, std::memory_order_release);
    return;
  }
  if (notification.code != kNotifyValueChanged || parameter_ == nullptr) return;
  const float value = parameter_->GetNormalised();
  if (value == get()) return;
  cached_.store(value, std::memory_order_relaxed);
  if (plugin_ == nullptr) return;
  // Readouts always tell the host; other parameters only of changes made on
  // the panel or by MIDI, not of the host's own sets nor of patch changes.
  const bool report = parameter_->DisplayOnly() || (notification.number != kValueChangedByPatch &&
                                                    !from_host_ && parameter_->Automatable());
  if (report) plugin_->ReportAutomation(index_, value);
}

std::vector<PatchParameter*> HostParameterOrder(CPatchManager* manager) {
  std::vector<PatchParameter*> ordered;
  if (manager != nullptr) {
    for (const auto& [id, parameter] : manager->parameters()) {
      if (!parameter->hidden()) ordered.push_back(parameter.get());
    }
  }
  std::ranges::stable_sort(ordered, [](const PatchParameter* a, const PatchParameter* b) {
    return a->name() < b->name();
  });
  return ordered;
}

namespace {

// Settable before display-only, then by name byte-wise; a stable sort keeps
// the collection order of equal keys.
template <typename T, typename Key>
void SortForHosts(std::vector<T>& items, Key key) {
  std::ranges::stable_sort(items, [&](const T& a, const T& b) {
    const auto [a_display, a_name] = key(a);
    const auto [b_display, b_name] = key(b);
    if (a_display != b_display) return a_display < b_display;
    return a_name < b_name;
  });
}

}  // namespace

std::vector<HostGeneric> HostGenericOrder(const CContainer& top) {
  std::vector<HostGeneric> ordered;
  for (generic_parameter* parameter : CollectHostGenericParameters(top)) {
    ordered.push_back({parameter, static_cast<int32_t>(ordered.size())});
  }
  SortForHosts(ordered, [](const HostGeneric& generic) {
    return std::pair(generic.parameter->DisplayOnly(), generic.parameter->Name());
  });
  return ordered;
}

std::vector<std::unique_ptr<vst_parameter>> BuildHostParameters(CPatchManager* manager,
                                                                const CContainer* top) {
  std::vector<std::unique_ptr<vst_parameter>> collected;
  if (manager != nullptr) {
    for (const auto& [id, parameter] : manager->parameters()) {
      if (!parameter->hidden()) collected.push_back(std::make_unique<param_info_new>(*parameter));
    }
  }
  if (top != nullptr) {
    for (generic_parameter* parameter : CollectHostGenericParameters(*top)) {
      collected.push_back(std::make_unique<param_info>(*parameter));
    }
  }
  SortForHosts(collected, [](const std::unique_ptr<vst_parameter>& parameter) {
    return std::pair(parameter->display_only(), parameter->name());
  });
  return collected;
}

}  // namespace ov
