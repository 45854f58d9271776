#include "tools/host_session.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>

#include "media/midi_file.h"
#include "platform/text.h"

namespace ov {
namespace {

constexpr intptr_t kHostVersion = 2400;
constexpr intptr_t kProcessLevelUser = 1;
constexpr intptr_t kProcessLevelOffline = 4;
constexpr const char* kHostName = "Orvane";
constexpr const char* kHostCapabilities[] = {"sendVstEvents", "sendVstMidiEvent", "sendVstTimeInfo",
                                             "receiveVstEvents", "receiveVstMidiEvent"};

// Which session answers which plug-in. Plug-ins may call from threads of
// their own, so the table is locked.
std::mutex g_sessions_mutex;
std::map<const vst2::AEffect*, HostSession*> g_sessions;
// The session whose plug-in's entry point is running on this thread: plug-ins
// call back before the host knows their effect record.
thread_local HostSession* t_loading_session = nullptr;

HostSession* SessionFor(const vst2::AEffect* effect) {
  if (effect != nullptr) {
    std::lock_guard lock(g_sessions_mutex);
    const auto found = g_sessions.find(effect);
    if (found != g_sessions.end()) return found->second;
  }
  return t_loading_session;
}

}  // namespace

HostSession::HostSession(std::ostream& log) : log_(log) {}

HostSession::~HostSession() {
  std::lock_guard lock(g_sessions_mutex);
  g_sessions.erase(effect_);
}

vst2::AEffect* HostSession::CallEntry(vst2::EntryProc entry, HostSession* session) {
  t_loading_session = session;
  vst2::AEffect* effect = entry(&HostSession::Callback);
  t_loading_session = nullptr;
  return effect;
}

void HostSession::Attach(vst2::AEffect* effect) {
  std::lock_guard lock(g_sessions_mutex);
  effect_ = effect;
  g_sessions[effect] = this;
}

intptr_t HostSession::Callback(vst2::AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                               void* ptr, float opt) {
  // The version is asked before anything else, sometimes with no effect record.
  if (opcode == vst2::audioMasterVersion) return kHostVersion;
  HostSession* session = SessionFor(effect);
  return session != nullptr ? session->Answer(opcode, index, value, ptr, opt) : 0;
}

intptr_t HostSession::Answer(int32_t opcode, int32_t index, intptr_t /*value*/, void* ptr,
                             float opt) {
  switch (opcode) {
    case vst2::audioMasterAutomate:
      log_ << "automation: parameter " << index << " = " << FormatDouble(opt) << "\n";
      return 0;
    case vst2::audioMasterWantMidi:
      return 1;
    case vst2::audioMasterGetTime:
      return reinterpret_cast<intptr_t>(Time());
    case vst2::audioMasterProcessEvents:
      CollectMidi(static_cast<const vst2::VstEvents*>(ptr));
      return 1;
    case vst2::audioMasterGetSampleRate:
      return static_cast<intptr_t>(sample_rate_);
    case vst2::audioMasterGetBlockSize:
      return block_size_;
    case vst2::audioMasterGetCurrentProcessLevel:
      return rendering_ ? kProcessLevelOffline : kProcessLevelUser;
    case vst2::audioMasterGetVendorString:
    case vst2::audioMasterGetProductString:
      if (ptr == nullptr) return 0;
      CopyBounded(static_cast<char*>(ptr), vst2::kMaxVendorStrLen, kHostName);
      return 1;
    case vst2::audioMasterCanDo:
      if (ptr == nullptr) return 0;
      for (const char* capability : kHostCapabilities) {
        if (std::strcmp(static_cast<const char*>(ptr), capability) == 0) return 1;
      }
      return 0;
    default:
      return 0;
  }
}

const vst2::VstTimeInfo* HostSession::Time() {
  time_ = {};
  time_.samplePos = static_cast<double>(block_start_);
  time_.sampleRate = sample_rate_;
  time_.tempo = tempo_bpm_;
  time_.ppqPos = block_start_ / sample_rate_ * tempo_bpm_ / 60.0;
  time_.barStartPos = std::floor(time_.ppqPos / 4.0) * 4.0;  // always 4/4
  time_.timeSigNumerator = 4;
  time_.timeSigDenominator = 4;
  time_.flags =
      vst2::kVstPpqPosValid | vst2::kVstTempoValid | vst2::kVstBarsValid | vst2::kVstTimeSigValid;
  if (rendering_) {
    time_.flags |= vst2::kVstTransportPlaying;
    if (!transport_reported_) time_.flags |= vst2::kVstTransportChanged;
    transport_reported_ = true;
  }
  return &time_;
}

void HostSession::CollectMidi(const vst2::VstEvents* events) {
  if (events == nullptr) return;
  // The pointer array runs past its declared two entries.
  const vst2::VstEvent* const* pointers = events->events;
  for (int32_t i = 0; i < events->numEvents; ++i) {
    const vst2::VstEvent* event = pointers[i];
    if (event == nullptr || event->type != vst2::kVstMidiType) continue;
    const auto* midi = reinterpret_cast<const vst2::VstMidiEvent*>(event);
    ScheduledMidi sent;
    std::memcpy(sent.bytes, midi->midiData, sizeof sent.bytes);
    // Only channel messages are kept; they are what a MIDI file can replay.
    if (ChannelMessageSize(sent.bytes[0]) == 0) continue;
    sent.frame = block_start_ + std::max(0, midi->deltaFrames);
    midi_output_.push_back(sent);
  }
}

}  // namespace ov
