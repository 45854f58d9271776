#include "engine/polyphony.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

#include "engine/ug_adder.h"
#include "engine/ug_container.h"
#include "engine/ug_notesource.h"
#include "engine/voice_monitor.h"

namespace ov {
namespace {

bool Has(const ug_base& generator, uint32_t flag) { return (generator.Flags() & flag) != 0; }
void Give(ug_base& generator, uint32_t flag) { generator.SetFlags(generator.Flags() | flag); }

// A generator's neighbours along its outputs or inputs.
template <typename Visit>
void ForEachLink(const ug_base& generator, bool outputs, Visit visit) {
  for (int32_t i = 0; i < generator.PlugCount(); ++i) {
    const UPlug& plug = *generator.plug(i);
    if (plug.IsInput() == outputs) continue;
    for (connector* link : plug.Connectors()) visit(*link);
  }
}

// Applies the group rule to one generator; true when the spread goes on.
bool TakeGroup(ug_base& generator, int32_t group) {
  const int32_t had = generator.VoiceGroup();
  if (had == 0 || had == group || Has(generator, UGF_STOPS_MARKING)) return false;
  generator.SetVoiceGroup(had == -1 ? group : 0);
  return true;
}

}  // namespace

void MarkDownstream(ug_base& note_source) {
  std::vector<ug_base*> pending{&note_source};
  while (!pending.empty()) {
    ug_base& generator = *pending.back();
    pending.pop_back();
    if (Has(generator, UGF_DOWNSTREAM_MARK) || Has(generator, UGF_STOPS_MARKING)) continue;
    Give(generator, UGF_DOWNSTREAM_MARK);
    ForEachLink(generator, true, [&](connector& link) {
      UPlug& input = *link.Destination();
      input.SetFlags(input.Flags() | kPlugFlagVoiceReached);
      pending.push_back(&input.Owner());
    });
    if (ug_base* partner = generator.DownstreamPartner()) pending.push_back(partner);
  }
}

void MarkUpstream(ug_base& start) {
  std::vector<ug_base*> pending{&start};
  while (!pending.empty()) {
    ug_base& generator = *pending.back();
    pending.pop_back();
    if (!Has(generator, UGF_DOWNSTREAM_MARK) || Has(generator, UGF_UPSTREAM_MARK)) continue;
    Give(generator, UGF_UPSTREAM_MARK);
    ForEachLink(generator, false,
                [&](connector& link) { pending.push_back(&link.Source()->Owner()); });
    if (ug_base* partner = generator.UpstreamPartner()) pending.push_back(partner);
  }
}

void SpreadGroupDownstream(ug_base& start, int32_t group, const ug_container* within) {
  std::vector<ug_base*> pending{&start};
  while (!pending.empty()) {
    ug_base& generator = *pending.back();
    pending.pop_back();
    if (!TakeGroup(generator, group)) continue;
    ForEachLink(generator, true, [&](connector& link) {
      ug_base& next = link.Destination()->Owner();
      if (next.Container() == within) pending.push_back(&next);
    });
    ug_base* partner = generator.DownstreamPartner();
    if (partner != nullptr && partner->Container() == within) pending.push_back(partner);
  }
}

void SpreadGroupUpstream(ug_base& start, int32_t group) {
  std::vector<ug_base*> pending;
  const auto push_sources = [&](const ug_base& generator) {
    ForEachLink(generator, false, [&](connector& link) {
      if (link.Destination()->Datatype() != DT_MIDI) pending.push_back(&link.Source()->Owner());
    });
    if (ug_base* partner = generator.UpstreamPartner()) pending.push_back(partner);
  };
  push_sources(start);
  while (!pending.empty()) {
    ug_base& generator = *pending.back();
    pending.pop_back();
    if (TakeGroup(generator, group)) push_sources(generator);
  }
}

// --- The container's voices.

void ug_container::InsertVoiceAdder(UPlug& output, connector& link) {
  UPlug& destination = *link.Destination();
  link.Disconnect();
  ug_base& adder = AddAdderFor(destination.Datatype());
  Give(adder, UGF_STOPS_MARKING);
  if (Has(destination.Owner(), UGF_VOICE_NEUTRAL)) Give(adder, UGF_VOICE_NEUTRAL);
  UPlug& adder_input = *adder.plug(ug_adder::kInputPlug);
  connect(&output, &adder_input);
  connect(adder.plug(ug_adder::kOutputPlug), &destination);
  // Every voice's copy of `output` connects here.
  destination.SetRedirect(&adder_input);
}

void ug_container::SetUpPolyphony() {
  Voice& model = voice(0);
  ug_notesource* source = model.note_source;
  if (source == nullptr) return;
  MarkDownstream(*source);
  if (!source->IsPolyphonic()) {
    SetUpVoiceGroups(*source);
    return;
  }
  // The list grows below; walk the generators as they were.
  const std::vector<ug_base*> generators = model.generators;
  for (ug_base* generator : generators) {
    if (generator->HasVoiceDependentInput()) MarkUpstream(*generator);
  }
  for (ug_base* generator : generators) {
    if (Has(*generator, UGF_DOWNSTREAM_MARK) && Has(*generator, UGF_UPSTREAM_MARK)) {
      Give(*generator, UGF_PER_VOICE);
    }
  }
  const auto per_voice = [](const ug_base& generator) { return Has(generator, UGF_PER_VOICE); };

  // Where a voice's signal meets a shared input, an adder sums the voices.
  for (ug_base* generator : generators) {
    if (!per_voice(*generator)) continue;
    for (int32_t i = 0; i < generator->PlugCount(); ++i) {
      UPlug& output = *generator->plug(i);
      if (output.IsInput() || (!output.IsAudio() && output.Datatype() != DT_MIDI)) continue;
      const std::vector<connector*> links = output.Connectors();
      for (connector* link : links) {
        const UPlug& destination = *link->Destination();
        if (per_voice(destination.Owner()) || (destination.Flags() & kPlugFlagCollects)) continue;
        InsertVoiceAdder(output, *link);
      }
    }
  }

  // One monitor per voice watches the audio that leaves the voice.
  ug_voice_monitor* monitor = nullptr;
  for (ug_base* generator : generators) {
    if (!per_voice(*generator)) continue;
    for (int32_t i = 0; i < generator->PlugCount(); ++i) {
      UPlug& output = *generator->plug(i);
      if (output.IsInput() || !output.IsAudio()) continue;
      const std::vector<connector*> links = output.Connectors();
      for (const connector* link : links) {
        const ug_base& next = link->Destination()->Owner();
        if (per_voice(next) || Has(next, UGF_VOICE_NEUTRAL) || &next == monitor) continue;
        if (monitor == nullptr) {
          monitor = &Add(std::make_unique<ug_voice_monitor>());
          Give(*monitor, UGF_PER_VOICE);
        }
        connect(&output, monitor->plug(ug_adder::kInputPlug));
      }
    }
  }
}

void ug_container::SetUpVoiceGroups(ug_notesource& source) {
  source.SetVoiceGroup(0);
  const int32_t groups = source.AssignVoiceGroups();
  Voice& model = voice(0);
  std::vector<ug_base*> all = model.generators;
  for (ug_base* generator : all) {
    if (generator->VoiceGroup() > 0) SpreadGroupUpstream(*generator, generator->VoiceGroup());
  }
  for (int32_t group = 1; group <= groups; ++group) {
    auto& made = AppendVoice();
    made.note_source = &source;
    made.key = static_cast<int16_t>(group);
  }
  std::vector<ug_base*> staying;
  for (ug_base* generator : all) {
    const int32_t group = generator->VoiceGroup();
    if (group > 0 && group < VoiceCount()) {
      Give(*generator, UGF_PER_VOICE);
      voice(group).generators.push_back(generator);
    } else {
      staying.push_back(generator);
    }
  }
  model.generators = std::move(staying);
}

void ug_container::CreateVoices() {
  Voice& model = voice(0);
  for (int32_t v = 0; v < VoiceCount(); ++v) {
    auto& generators = voice(v).generators;
    std::stable_sort(generators.begin(), generators.end(), [](const ug_base* a, const ug_base* b) {
      return a->SortOrder() < b->SortOrder();
    });
    // A generator every voice shares belongs to none of them, so no voice's
    // note source treats it as its own (a retrigger would silence it).
    for (ug_base* generator : generators) {
      generator->SetVoiceGroup(v > 0 || Has(*generator, UGF_PER_VOICE) ? v : -1);
    }
  }
  if (model.note_source == nullptr || !model.note_source->IsPolyphonic()) return;
  const std::vector<ug_base*> models = model.generators;
  for (int32_t v = 1; v < Polyphony(); ++v) {
    Voice& made = AppendVoice();
    std::unordered_map<const ug_base*, ug_base*> clones;
    for (ug_base* original : models) {
      if (!Has(*original, UGF_PER_VOICE)) continue;
      std::unique_ptr<ug_base> clone = original->Clone();
      Give(*clone, UGF_PER_VOICE);
      clone->SetVoiceGroup(v);
      if (auto* source = dynamic_cast<ug_notesource*>(clone.get())) {
        made.note_source = source;
        source->SetVoice(v);
      }
      clones[original] = clone.get();
      made.generators.push_back(clone.get());
      AdoptClone(std::move(clone));
    }
    for (const auto& [original, clone] : clones) ConnectClone(*original, *clone, clones);
    const auto copy_of = [&](const ug_base* original) -> ug_base* {
      const auto found = clones.find(original);
      return found != clones.end() ? found->second : nullptr;
    };
    for (const auto& [original, clone] : clones) clone->OnVoiceCopied(copy_of);
  }
}

void ug_container::ConnectClone(const ug_base& original, ug_base& clone,
                                const std::unordered_map<const ug_base*, ug_base*>& clones) {
  const auto copy_of = [&](UPlug& plug) -> UPlug* {
    const auto found = clones.find(&plug.Owner());
    if (found == clones.end()) return &plug;
    if (plug.Number() >= found->second->PlugCount()) return nullptr;
    return found->second->plug(plug.Number());
  };
  const int32_t count = std::min(original.PlugCount(), clone.PlugCount());
  for (int32_t i = 0; i < count; ++i) {
    UPlug& plug = *original.plug(i);
    const std::vector<connector*> links = plug.Connectors();
    for (const connector* link : links) {
      if (plug.IsInput()) {
        if (UPlug* source = copy_of(*link->Source())) connect(source, clone.plug(i));
      } else if (!clones.contains(&link->Destination()->Owner())) {
        // Per-voice destinations connect themselves from their input side.
        connect(clone.plug(i), link->Destination());
      }
    }
  }
}

}  // namespace ov
