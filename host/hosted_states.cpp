#include "host/hosted_states.h"

#include <cstring>

#include "document/container.h"
#include "document/document.h"
#include "document/vst_plugin_module.h"

namespace ov {
namespace {

constexpr uint32_t kTag = 0x68567650;  // 'OvVh' read little-endian
constexpr std::size_t kFooterBytes = 8;

void Collect(const CContainer& container, std::vector<Ctl_VST_Plugin*>& found) {
  for (const auto& child : container.children()) {
    if (auto* hosted = dynamic_cast<Ctl_VST_Plugin*>(child.get())) found.push_back(hosted);
    if (const auto* inner = dynamic_cast<const CContainer*>(child.get())) Collect(*inner, found);
  }
}

std::vector<Ctl_VST_Plugin*> HostedModules(const COrvaneDocBase& document) {
  std::vector<Ctl_VST_Plugin*> found;
  if (document.root() != nullptr) Collect(*document.root(), found);
  return found;
}

void PutUInt32(std::vector<uint8_t>& bytes, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<uint8_t>(value >> shift));
}

uint32_t GetUInt32(std::span<const uint8_t> bytes, std::size_t at) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | bytes[at + static_cast<std::size_t>(i)];
  return value;
}

}  // namespace

void AppendHostedStates(COrvaneDocBase& document, std::vector<uint8_t>& chunk) {
  std::vector<std::vector<uint8_t>> states;
  for (Ctl_VST_Plugin* hosted : HostedModules(document)) {
    if (hosted->wrapper().Loaded()) states.push_back(hosted->LiveState());
  }
  if (states.empty()) return;
  const std::size_t start = chunk.size();
  PutUInt32(chunk, static_cast<uint32_t>(states.size()));
  for (const auto& state : states) {
    PutUInt32(chunk, static_cast<uint32_t>(state.size()));
    chunk.insert(chunk.end(), state.begin(), state.end());
  }
  PutUInt32(chunk, static_cast<uint32_t>(chunk.size() - start));
  PutUInt32(chunk, kTag);
}

std::size_t HostedStatesStart(std::span<const uint8_t> chunk) {
  if (chunk.size() < kFooterBytes + 4 || GetUInt32(chunk, chunk.size() - 4) != kTag) {
    return chunk.size();
  }
  const uint32_t length = GetUInt32(chunk, chunk.size() - kFooterBytes);
  if (length < 4 || length > chunk.size() - kFooterBytes) return chunk.size();
  // The entries must fill the section exactly: an older chunk that merely
  // ends in the tag's bytes is read whole.
  const std::size_t start = chunk.size() - kFooterBytes - length;
  const std::size_t end = chunk.size() - kFooterBytes;
  const uint32_t count = GetUInt32(chunk, start);
  std::size_t at = start + 4;
  for (uint32_t i = 0; i < count; ++i) {
    if (end - at < 4) return chunk.size();
    const uint32_t size = GetUInt32(chunk, at);
    at += 4;
    if (size > end - at) return chunk.size();
    at += size;
  }
  return at == end ? start : chunk.size();
}

void RestoreHostedStates(COrvaneDocBase& document, std::span<const uint8_t> chunk,
                         std::vector<std::string>* problems) {
  const std::size_t start = HostedStatesStart(chunk);
  if (start == chunk.size()) return;
  const std::span<const uint8_t> section = chunk.subspan(start, chunk.size() - kFooterBytes - start);
  const uint32_t count = GetUInt32(section, 0);
  std::size_t at = 4;
  std::vector<Ctl_VST_Plugin*> loaded;
  for (Ctl_VST_Plugin* hosted : HostedModules(document)) {
    if (hosted->wrapper().Loaded()) loaded.push_back(hosted);
  }
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t size = GetUInt32(section, at);  // checked by HostedStatesStart
    at += 4;
    std::string problem;
    if (i < loaded.size() && !loaded[i]->RestoreLiveState(section.subspan(at, size), &problem)) {
      if (problems) problems->push_back(problem);
    }
    at += size;
  }
}

}  // namespace ov
