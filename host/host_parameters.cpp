#include "host/host_parameters.h"

#include <algorithm>
#include <span>
#include <utility>

#include "document/patch_manager.h"
#include "engine/audio_master.h"
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

void param_info_new::set_queued(float value, OvAudioMaster& master) {
  if (!takes_values_) return;
  cached_.store(value, std::memory_order_relaxed);
  const uint32_t handle = handle_.load(std::memory_order_acquire);
  if (handle == 0) return;
  // The engine answers with "ppc" flag 1, which the host does not hear of.
  master.PostAutomation(handle, kMsgPpca, std::as_bytes(std::span<const float, 1>(&value, 1)));
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

std::vector<std::unique_ptr<vst_parameter>> BuildHostParameters(CPatchManager* manager) {
  std::vector<std::unique_ptr<vst_parameter>> collected;
  for (PatchParameter* parameter : HostParameterOrder(manager)) {
    collected.push_back(std::make_unique<param_info_new>(*parameter));
  }
  // Settable before display-only; within each, the order above.
  std::ranges::stable_sort(collected, [](const auto& a, const auto& b) {
    return a->display_only() < b->display_only();
  });
  return collected;
}

}  // namespace ov
