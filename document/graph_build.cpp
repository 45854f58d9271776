#include "document/graph_build.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "document/connection.h"
#include "document/container.h"
#include "document/module.h"
#include "document/panel_feeds.h"
#include "document/patch_manager.h"
#include "document/plug.h"
#include "document/plug_kinds.h"
#include "document/vst_plugin_module.h"
#include "engine/audio_master.h"
#include "engine/ug_notesource.h"
#include "modules/feedback_delay.h"
#include "modules/midi_automator.h"
#include "modules/module_info.h"
#include "patches/dsp_patch_manager.h"
#include "patches/message_hub.h"
#include "platform/text.h"

namespace ov {

namespace {

constexpr int32_t kUnsorted = -1;
constexpr int32_t kVisiting = -2;

bool PanelSideOnly(int32_t flags) {
  return (flags & kPlugPanelSide) &&
         (flags & (kPlugPatchStored | kPlugPanelSide)) != (kPlugPatchStored | kPlugPanelSide);
}

bool PatchStored(int32_t flags) {
  return (flags & (kPlugPatchStored | kPlugPanelSide)) == (kPlugPatchStored | kPlugPanelSide);
}

int32_t TypeFlags(const CDocOb& object) {
  return object.module_type() != nullptr ? object.module_type()->ModuleFlags() : 0;
}

bool ConnectedToLiveModule(const CPlug2& plug) {
  return std::any_of(plug.connections().begin(), plug.connections().end(), [&](CLine2* line) {
    const CPlug2* other = line->OtherEnd(&plug);
    return other != nullptr && other->owner() != nullptr && !other->owner()->IsExcluded();
  });
}

// Whether every line into a container's plug comes from a panel face,
// directly or through the plugs of containers around it. Such a plug carries
// nothing in the engine: the panel reaches the inputs behind it through
// their patch parameters instead.
bool FedOnlyFromPanel(const CPlug2& container_plug) {
  bool reached_any = false;
  bool all_panel_side = true;
  ForEachPlugReached(container_plug, [&](CPlug2& reached) {
    reached_any = true;
    all_panel_side = all_panel_side && PanelSideOnly(reached.Flags());
  });
  return reached_any && all_panel_side;
}

// The engine plug a patch parameter of `plug` works through. A panel-side
// value that the engine drives (a patch memory showing the engine's value)
// has none of its own: its parameter watches the module's output registered
// as a patch parameter, so the engine's value, the host's and MIDI's all
// reach the panel through the one parameter.
const UPlug* ParameterEnginePlug(const GraphBuild& build, const CPlug2& plug) {
  if (const UPlug* own = build.EnginePlugOf(plug)) return own;
  if (plug.owner() == nullptr) return nullptr;
  for (const auto& other : plug.owner()->plugs()) {
    if (other->Direction() != DR_OUT || (other->Flags() & kPlugPatchParameter) == 0 ||
        other->Datatype() != plug.Datatype()) {
      continue;
    }
    if (const UPlug* watched = build.EnginePlugOf(*other)) return watched;
  }
  return nullptr;
}

bool CarriesOnlyPanelValues(const CPlug2& plug) {
  return dynamic_cast<const CPlugIO2*>(&plug) != nullptr && plug.Partner() != nullptr &&
         FedOnlyFromPanel(*plug.Partner());
}

// Whether the build will connect a source to the input: a live module's
// engine plug at the other end. A panel-side output has none, nor has a
// container plug that only panel faces feed.
bool FedByLiveEnginePlug(const CPlug2& plug) {
  return std::any_of(plug.connections().begin(), plug.connections().end(), [&](CLine2* line) {
    const CPlug2* other = line->OtherEnd(&plug);
    return other != nullptr && other->owner() != nullptr && !other->owner()->IsExcluded() &&
           !PanelSideOnly(other->Flags()) && !CarriesOnlyPanelValues(*other);
  });
}

// The container's "Polyphony" setting, 1 to 200 voices; the list's own
// default when the document has none.
void ApplyPolyphony(const CContainer& container, ug_container& generator) {
  const CPlug2* plug = container.FindPlug("Polyphony");
  if (plug == nullptr) return;
  const std::optional<long long> voices = ParseInteger(plug->value_text());
  if (voices) generator.SetPolyphony(static_cast<int16_t>(std::clamp<long long>(*voices, 1, 200)));
}

bool HoldsLive(const CContainer& container, int32_t module_flag) {
  return std::any_of(container.children().begin(), container.children().end(), [&](const auto& c) {
    return dynamic_cast<const CUG*>(c.get()) != nullptr && (TypeFlags(*c) & module_flag) &&
           !c->IsExcluded();
  });
}

// Downstream (outputs) or upstream (inputs) generators, plugs last first,
// connectors in list order.
void Neighbours(const ug_base& generator, bool downstream, std::vector<ug_base*>& out) {
  out.clear();
  for (int32_t i = generator.PlugCount() - 1; i >= 0; --i) {
    const UPlug& plug = *generator.plug(i);
    if (plug.IsInput() == downstream) continue;
    for (const connector* link : plug.Connectors()) {
      out.push_back(downstream ? &link->Destination()->Owner() : &link->Source()->Owner());
    }
  }
}

// Connects in the destination's container, so an adder it needs is placed
// beside the destination.
void ConnectIn(ug_container& fallback, UPlug* source, UPlug* destination) {
  ug_container* owner = destination->Owner().Container();
  (owner != nullptr ? *owner : fallback).connect(source, destination);
}

}  // namespace

OvException::OvException(int32_t kind, ug_base* a, ug_base* b)
    : std::runtime_error(kind == kFeedback ? "feedback path" : "nested note source"),
      kind_(kind),
      a_(a),
      b_(b) {}

// One container whose children are being built.
struct GraphBuild::Frame {
  CContainer* container;
  ug_container* holder;
  ug_container* context;
  std::size_t next_child = 0;
};

GraphBuild::GraphBuild(OvAudioMaster& master) : master_(master) {}

void GraphBuild::Build(CContainer& root) {
  BuildGraph(root);
  CollapseContainerPlugs();
  SortAll();
  SetUpVoices();
}

void GraphBuild::SetUpVoices() {
  std::vector<ug_container*> containers;
  for (ug_base* generator : CollectGenerators()) {
    if (auto* container = dynamic_cast<ug_container*>(generator)) containers.push_back(container);
  }
  for (ug_container* container : containers) container->SetUpPolyphony();
  for (ug_container* container : containers) container->CreateVoices();
  const std::vector<ug_base*> all = CollectGenerators();
  for (ug_base* generator : all) generator->SetSortOrder(-1);
  SortAll();
  for (ug_base* generator : all) {
    const auto* source = dynamic_cast<ug_notesource*>(generator);
    if (source == nullptr || !source->IsModel()) continue;
    for (ug_base* copy = generator->NextClone(); copy != nullptr; copy = copy->NextClone()) {
      copy->SetSortOrder(generator->SortOrder() - 1);
    }
  }
}

void GraphBuild::BuildGraph(CContainer& root) {
  ug_base* made = MakeGenerator(root);
  root_.reset(dynamic_cast<ug_container*>(made));
  if (root_ == nullptr) {
    delete made;
    throw std::invalid_argument("the root container has no container generator");
  }
  root_->SetPatchContext(root_.get());
  ApplyPolyphony(root, *root_);

  // Iterative, so nesting depth is limited by memory, not the stack.
  std::vector<Frame> stack;
  stack.push_back({&root, root_.get(), root_.get()});
  while (!stack.empty()) {
    Frame& frame = stack.back();
    CContainer& container = *frame.container;
    if (frame.next_child == 0 && (stack.size() == 1 || container.HoldsPatchSelect() ||
                                  container.IgnoresProgramChange())) {
      auto* own = static_cast<ug_container*>(generators_.at(&container));
      frame.context = own;
      own->SetPatchContext(own);
    }
    const auto& children = container.children();
    bool descended = false;
    // `descended` first: the push below may move the frames, `frame` with them.
    while (!descended && frame.next_child < children.size()) {
      CDocOb* child = children[frame.next_child++].get();
      auto* module = dynamic_cast<CUG*>(child);
      if (module == nullptr) continue;
      containers_[module] = &container;
      auto* inner = dynamic_cast<CContainer*>(module);
      if (inner == nullptr) {
        PlaceModule(*module, *frame.holder, frame.context);
        continue;
      }
      ug_base* made_inner = MakeGenerator(*inner);
      if (made_inner == nullptr) continue;
      auto* inner_generator = dynamic_cast<ug_container*>(made_inner);
      frame.holder->AddChild(std::unique_ptr<ug_base>(made_inner));
      made_inner->SetPatchContext(frame.context);
      if (inner_generator == nullptr)
        throw std::invalid_argument("a container without a container generator");
      ApplyPolyphony(*inner, *inner_generator);
      const bool flattened = !HoldsLive(*inner, kModuleKeepsContainer);
      stack.push_back({inner, flattened ? frame.holder : inner_generator, frame.context});
      descended = true;
    }
    if (descended) continue;
    ConnectChildren(container);
    StartPatchManager(container);
    stack.pop_back();
    if (stack.empty()) break;
    // Back in the parent: finish the container just built.
    ApplyDocumentValues(container);
    CheckNoteSources(container, stack);
  }
}

GraphBuild::~GraphBuild() = default;

ug_base* GraphBuild::GeneratorOf(const CUG& module) const {
  const auto found = generators_.find(&module);
  return found != generators_.end() ? found->second : nullptr;
}

UPlug* GraphBuild::EnginePlugOf(const CPlug2& plug) const {
  const auto found = engine_plugs_.find(&plug);
  return found != engine_plugs_.end() ? found->second : nullptr;
}

CUG* GraphBuild::ModuleOf(const ug_base& generator) const {
  const auto found = modules_.find(&generator);
  return found != modules_.end() ? found->second : nullptr;
}

namespace {

bool RepeatedPlug(int32_t flags) {
  return (flags & (kPlugSkippedByClones | kPlugAutoDuplicate)) != 0;
}

std::string PlugLabel(const std::string& name, int32_t index) {
  const std::string number = "index " + std::to_string(index);
  return name.empty() ? "the plug with " + number : "plug \"" + name + "\" (" + number + ")";
}

}  // namespace

ug_base* GraphBuild::MakeGenerator(CUG& module) {
  const Module_Info* type = module.module_type();
  if (type == nullptr || module.IsExcluded()) return nullptr;
  std::unique_ptr<ug_base> generator;
  try {
    generator = type->CreateGenerator();
    if (generator == nullptr) return nullptr;
    generator->SetMaster(&master_);
    MakePlugs(module, *generator);
    // A hosted plug-in's engine half runs the library its module loaded.
    if (auto* hosted = dynamic_cast<Ctl_VST_Plugin*>(&module)) hosted->OnGeneratorMade(*generator);
    if (module.engine_selection_mark()) {
      generator->SetFlags(generator->Flags() | UGF_FROM_DOCUMENT);
    }
    generator->SetUpBuffers();
  } catch (const std::exception& error) {
    // One module that cannot be made leaves a gap, not a silent engine.
    for (const auto& plug : module.plugs()) engine_plugs_.erase(plug.get());
    defaults_.erase(&module);
    master_.Host().PostUserMessage("The module \"" + module.title() + "\" (" + module.type_key() +
                                   ") could not be built (" + error.what() + "); it was left out.");
    return nullptr;
  }

  generator->SetTitle(module.title());
  ug_base* made = generator.release();
  generators_[&module] = made;
  modules_[made] = &module;
  // Registered now, so messages sent while the graph is built (patch
  // parameters starting) can name it.
  master_.RegisterTarget(*made, master_.Host().NewTargetId());
  if (hub_ != nullptr) hub_->AttachModule(module, *made);
  return made;
}

void GraphBuild::MakePlugs(CUG& module, ug_base& generator) {
  std::vector<InterfaceObject> descriptors;
  generator.ListPlugs(descriptors);
  const auto count = static_cast<int32_t>(descriptors.size());

  // Document plugs find their descriptor by index. Generators address their
  // plugs by descriptor position, so every descriptor gets its plug even when
  // the document lost it or numbered it wrong; nothing is renumbered.
  std::vector<const CPlug2*> by_index(descriptors.size(), nullptr);
  std::vector<const CPlug2*> repeated;
  std::vector<std::string> problems;
  for (const auto& plug : module.plugs()) {
    const int32_t flags = plug->Flags();
    if (PanelSideOnly(flags)) continue;
    if (RepeatedPlug(flags)) {
      if (!plug->IsUnusedSpare()) repeated.push_back(plug.get());
      continue;
    }
    const int32_t index = plug->index();
    if (index < 0 || index >= count) {
      problems.push_back(PlugLabel(plug->Name(), index) + " is not one of its type's: left out");
    } else if (by_index[index] != nullptr) {
      problems.push_back(PlugLabel(plug->Name(), index) +
                         " is there twice: the second is left out");
    } else {
      by_index[index] = plug.get();
    }
  }

  std::vector<int32_t> made;
  for (int32_t i = 0; i < count; ++i) {
    const InterfaceObject& descriptor = descriptors[i];
    if (PanelSideOnly(descriptor.flags) || RepeatedPlug(descriptor.flags)) continue;
    made.push_back(i);
  }
  const int32_t first = generator.PlugCount();
  generator.CreatePlugs(made);
  for (std::size_t n = 0; n < made.size(); ++n) {
    UPlug* engine_plug = generator.plug(first + static_cast<int32_t>(n));
    const InterfaceObject& descriptor = descriptors[made[n]];
    if (const CPlug2* plug = by_index[made[n]]) {
      engine_plugs_[plug] = engine_plug;
      continue;
    }
    problems.push_back(PlugLabel(descriptor.name, made[n]) + " is missing: it takes its default");
    const bool settable = descriptor.direction == DR_OUT
                              ? (descriptor.flags & kPlugSettableOutput) != 0
                              : descriptor.direction != DR_CONTAINER_IO;
    if (settable) defaults_[&module].emplace_back(engine_plug, descriptor.default_text);
  }
  for (const CPlug2* plug : repeated) {
    engine_plugs_[plug] = generator.AddPlug(plug->Direction(), plug->Datatype());
  }

  for (const auto& plug : module.plugs()) {
    const auto engine_plug = engine_plugs_.find(plug.get());
    if (engine_plug == engine_plugs_.end() || plug->Datatype() != DT_ENUM ||
        plug->Direction() != DR_OUT) {
      continue;
    }
    std::string items = plug->Descriptor().list_text;
    if (const CPlug2* other = plug->FirstConnectedPlug(); items.empty() && other != nullptr) {
      items = other->Descriptor().list_text;
    }
    generator.OnItemList(engine_plug->second->Number(), items);
  }

  if (problems.empty()) return;
  std::string message = "The module \"" + module.title() + "\" (" + module.type_key() + "): ";
  for (std::size_t i = 0; i < problems.size(); ++i) {
    message += (i == 0 ? "" : "; ") + problems[i];
  }
  master_.Host().PostUserMessage(message + ".");
}

void GraphBuild::StartPatchManager(const CContainer& container) {
  CPatchManager* manager = container.patch_manager();
  if (hub_ == nullptr || manager == nullptr) return;
  ControllerReceiver& engine_side = manager->StartEngineSide(
      *hub_, master_, [this](const CPlug2& plug) -> std::optional<EnginePlugRef> {
        const ug_base* generator = plug.owner() != nullptr ? GeneratorOf(*plug.owner()) : nullptr;
        const UPlug* engine_plug = ParameterEnginePlug(*this, plug);
        if (generator == nullptr || engine_plug == nullptr) return std::nullopt;
        return EnginePlugRef{generator->TargetId(), engine_plug->Number()};
      });
  // Controllers reach the manager through the patch context it is in.
  const ug_base* owner = GeneratorOf(container);
  if (owner != nullptr && owner->PatchContext() != nullptr) {
    owner->PatchContext()->AddControllerReceiver(engine_side);
  }
}

void GraphBuild::PlaceModule(CUG& module, ug_container& holder, ug_container* context) {
  ug_base* made = MakeGenerator(module);
  if (made == nullptr) return;
  holder.AddChild(std::unique_ptr<ug_base>(made));
  if (TypeFlags(module) & kModuleInputOutput) {
    for (const auto& plug : module.plugs()) {
      const CPlug2* partner = plug->Partner();
      UPlug* inner = EnginePlugOf(*plug);
      UPlug* outer = partner != nullptr ? EnginePlugOf(*partner) : nullptr;
      if (PanelSideOnly(plug->Flags()) || inner == nullptr || outer == nullptr) continue;
      twins_[inner] = outer;
      twins_[outer] = inner;
    }
  }
  made->SetPatchContext(context);
  ApplyDocumentValues(module);
  if (auto* automator = dynamic_cast<ug_midi_automator*>(made)) {
    PlaceAutomatorOutput(*automator, module, holder, context);
  }
  if (auto* delay = dynamic_cast<ug_feedback_delay*>(made)) {
    PlaceFeedbackDelayOutput(*delay, module, holder, context);
  }
}

void GraphBuild::PlaceFeedbackDelayOutput(ug_feedback_delay& delay, CUG& module,
                                          ug_container& holder, ug_container* context) {
  auto& placed = holder.Add(std::make_unique<ug_feedback_delay_out>());
  delay.SetPartner(&placed);
  placed.SetPatchContext(context);
  placed.SetTitle(module.title());
  modules_[&placed] = &module;
  // Connections drawn from the module's outputs start at the output half.
  for (const auto& plug : module.plugs()) {
    const int32_t index = plug->index();
    if (index != ug_feedback_delay::kAudioOut && index != ug_feedback_delay::kDelayTimeOut)
      continue;
    if (UPlug* drawn = EnginePlugOf(*plug)) drawn->SetRedirect(placed.plug(index));
  }
}

void GraphBuild::PlaceAutomatorOutput(ug_midi_automator& automator, const CUG& module,
                                      ug_container& holder, ug_container* context) {
  auto& placed = holder.Add(std::make_unique<ug_midi_automator_out>());
  placed.SetAutomator(&automator);
  placed.SetPatchContext(context);
  // Connections drawn from the automator's "MIDI Out" start at the output's.
  for (const auto& plug : module.plugs()) {
    if (plug->index() != ug_midi_automator::kMidiOutPlug) continue;
    if (UPlug* drawn = EnginePlugOf(*plug)) {
      drawn->SetRedirect(placed.plug(ug_midi_automator_out::kMidiOutPlug));
    }
  }
  if (context != nullptr) context->SetAutomationOutput(&placed);
}

void GraphBuild::ApplyDocumentValues(CUG& module) {
  if (const auto missing = defaults_.find(&module); missing != defaults_.end()) {
    for (const auto& [engine_plug, text] : missing->second) engine_plug->SetValueFromText(text);
  }
  for (const auto& plug : module.plugs()) {
    UPlug* engine_plug = EnginePlugOf(*plug);
    if (engine_plug == nullptr || dynamic_cast<const CPlugIO2*>(plug.get()) != nullptr) continue;
    const int32_t direction = plug->Direction();
    const bool wanted = direction == DR_OUT
                            ? (plug->Flags() & kPlugSettableOutput) != 0
                            : PatchStored(plug->Flags()) || !FedByLiveEnginePlug(*plug);
    if (wanted) engine_plug->SetValueFromText(plug->value_text());
  }
}

void GraphBuild::ConnectChildren(const CContainer& container) {
  for (const auto& child : container.children()) {
    const auto* module = dynamic_cast<const CUG*>(child.get());
    if (module == nullptr || GeneratorOf(*module) == nullptr) continue;
    for (const auto& plug : module->plugs()) {
      if (plug->Direction() != DR_OUT || PanelSideOnly(plug->Flags()) ||
          CarriesOnlyPanelValues(*plug)) {
        continue;
      }
      for (const CLine2* line : plug->connections()) {
        const CPlug2* to = line->to();
        if (line->from() != plug.get() || to == nullptr) continue;
        UPlug* source = EnginePlugOf(*plug);
        UPlug* destination = EnginePlugOf(*to);
        if (source == nullptr || destination == nullptr) continue;
        const CPlug2* partner = to->Partner();
        if (partner != nullptr && !ConnectedToLiveModule(*partner)) continue;
        ConnectIn(*root_, source, destination);
      }
    }
  }
}

void GraphBuild::CheckNoteSources(const CContainer& inner, const std::vector<Frame>& above) const {
  if (!HoldsLive(inner, kModuleNoteSource)) return;
  for (const Frame& outer : above) {
    if (HoldsLive(*outer.container, kModuleNoteSource)) {
      throw OvException(OvException::kNestedNoteSource, nullptr, nullptr);
    }
  }
}

std::vector<ug_base*> GraphBuild::CollectGenerators() const {
  // Post-order: a container's inner generators come before the container.
  std::vector<ug_base*> collected;
  std::vector<std::pair<ug_base*, std::size_t>> stack{{root_.get(), 0}};
  while (!stack.empty()) {
    auto& [generator, next] = stack.back();
    const auto children = generator->Children();
    if (next < children.size()) {
      ug_base* child = children[next++].get();
      stack.emplace_back(child, 0);
      continue;
    }
    collected.push_back(generator);
    stack.pop_back();
  }
  return collected;
}

void GraphBuild::RedirectTo(UPlug& plug, UPlug& target) {
  // No chain has a loop yet, so this walk ends.
  for (const UPlug* walk = &target; walk != nullptr; walk = walk->Redirect()) {
    if (walk == &plug) throw OvException(OvException::kFeedback, &plug.Owner(), &target.Owner());
  }
  plug.SetRedirect(&target);
}

void GraphBuild::CollapseContainerPlugs() {
  for (ug_base* generator : CollectGenerators()) {
    if (dynamic_cast<ug_container*>(generator) == nullptr) continue;
    for (int32_t i = generator->PlugCount() - 1; i >= 0; --i) {
      UPlug* outer = generator->plug(i);
      const auto found = twins_.find(outer);
      if (found == twins_.end() || found->second->Connectors().empty()) continue;
      UPlug* inner = found->second;
      if (outer->Direction() == DR_OUT) {
        connector* first = inner->Connectors().front();
        UPlug* source = first->Source();
        RedirectTo(*outer, *source);
        first->Disconnect();
        while (!outer->Connectors().empty()) {
          connector* link = outer->Connectors().front();
          UPlug* destination = link->Destination();
          link->Disconnect();
          ConnectIn(*root_, source, destination);
        }
      }
      if (outer->IsInput() && !outer->Connectors().empty()) {
        connector* first = outer->Connectors().front();
        UPlug* source = first->Source();
        RedirectTo(*inner, *source);
        first->Disconnect();
        while (!inner->Connectors().empty()) {
          connector* link = inner->Connectors().front();
          UPlug* destination = link->Destination();
          link->Disconnect();
          ConnectIn(*root_, source, destination);
        }
      }
    }
  }
}

void GraphBuild::SortAll() {
  const std::vector<ug_base*> all = CollectGenerators();
  std::vector<ug_base*> neighbours;
  std::vector<ug_base*> marked;
  std::vector<ug_base*> queue;
  std::vector<ug_base*> noted;
  // A frame of the depth-first walk: its downstream generators, the next to
  // ask, and the largest answer so far.
  struct Walk {
    ug_base* generator;
    std::vector<ug_base*> downstream;
    std::size_t next;
    int32_t largest;
  };
  std::vector<Walk> walk;

  std::size_t first = 0;
  for (;;) {
    while (first < all.size() && all[first]->SortOrder() >= 0) ++first;
    if (first == all.size()) return;

    // Find a start: walk downstream through unsorted generators.
    ug_base* start = all[first];
    marked.clear();
    for (;;) {
      Neighbours(*start, true, neighbours);
      const auto next = std::find_if(neighbours.begin(), neighbours.end(),
                                     [](ug_base* g) { return g->SortOrder() == kUnsorted; });
      if (next == neighbours.end()) break;
      start->SetSortOrder(kVisiting);
      marked.push_back(start);
      start = *next;
    }
    for (ug_base* g : marked) g->SetSortOrder(kUnsorted);

    // The start's order: one more than the longest way down.
    marked.clear();
    int32_t answer = 0;
    start->SetSortOrder(kVisiting);
    marked.push_back(start);
    walk.push_back({start, {}, 0, -1});
    Neighbours(*start, true, walk.back().downstream);
    while (!walk.empty()) {
      Walk& top = walk.back();
      if (top.next < top.downstream.size()) {
        ug_base* down = top.downstream[top.next++];
        if (down->SortOrder() == kVisiting || down->SortOrder() >= 0) {
          top.largest = std::max(top.largest, down->SortOrder());
          continue;
        }
        down->SetSortOrder(kVisiting);
        marked.push_back(down);
        walk.push_back({down, {}, 0, -1});
        Neighbours(*down, true, walk.back().downstream);
        continue;
      }
      answer = top.downstream.empty() ? 0 : 1 + top.largest;
      walk.pop_back();
      if (!walk.empty()) walk.back().largest = std::max(walk.back().largest, answer);
    }
    for (ug_base* g : marked) g->SetSortOrder(kUnsorted);
    start->SetSortOrder(answer + ((start->Flags() & UGF_SORT_BOOST) ? 200 : 0));

    // Upstream of the start.
    queue.clear();
    for (int32_t i = start->PlugCount() - 1; i >= 0; --i) {
      const UPlug& plug = *start->plug(i);
      if (!plug.IsInput()) continue;
      for (const connector* link : plug.Connectors()) {
        ug_base* up = &link->Source()->Owner();
        if (up == start) throw OvException(OvException::kFeedback, start, start);
        if (up->SortOrder() == kUnsorted) {
          up->SetSortOrder(kVisiting);
          queue.push_back(up);
        } else if (up->SortOrder() >= 0 && up->SortOrder() < start->SortOrder()) {
          throw OvException(OvException::kFeedback, start, up);
        }
      }
    }

    for (std::size_t q = 0; q < queue.size(); ++q) {
      ug_base* u = queue[q];
      noted.clear();
      bool waits = false;
      int32_t largest_down = 0;
      int32_t lowest_up = INT32_MAX;
      ug_base* last_seen = nullptr;
      for (int32_t i = u->PlugCount() - 1; i >= 0 && !waits; --i) {
        const UPlug& plug = *u->plug(i);
        for (const connector* link : plug.Connectors()) {
          if (!plug.IsInput()) {
            const int32_t order = link->Destination()->Owner().SortOrder();
            if (order < 0) {
              waits = true;
              break;
            }
            largest_down = std::max(largest_down, order);
            continue;
          }
          ug_base* up = &link->Source()->Owner();
          if (up == u) {
            last_seen = u;
          } else if (up->SortOrder() == kUnsorted) {
            noted.push_back(up);
          } else if (up->SortOrder() >= 0) {
            lowest_up = std::min(lowest_up, up->SortOrder());
            last_seen = up;
          }
        }
      }
      if (waits) {
        u->SetSortOrder(kUnsorted);
        continue;
      }
      for (ug_base* up : noted) {
        if (up->SortOrder() != kUnsorted) continue;
        up->SetSortOrder(kVisiting);
        queue.push_back(up);
      }
      u->SetSortOrder(largest_down + ((u->Flags() & UGF_SORT_BOOST) ? 204 : 4));
      if (lowest_up < u->SortOrder()) throw OvException(OvException::kFeedback, u, last_seen);
    }
  }
}

std::string GraphBuild::FailureMessage(const OvException& failure) const {
  if (failure.kind() == OvException::kNestedNoteSource) {
    return "ERROR: You have more than one 'MidiToCv', 'Soundfont Player', or 'Drum Trigger' in "
           "same container (or in a sub-container).";
  }
  // A generator the engine made itself speaks for the nearest module above.
  const auto module_for = [this](const ug_base* generator) -> CUG* {
    for (int level = 0; generator != nullptr && level <= 4; ++level) {
      if (CUG* module = ModuleOf(*generator)) return module;
      generator = generator->Container();
    }
    return nullptr;
  };
  CUG* a = module_for(failure.a());
  CUG* b = module_for(failure.b());
  if (a == nullptr || b == nullptr) return "This patch contains a FEEDBACK path, Please remove.";
  const char* highlighted = b->HighlightLinesTo(*a) ? " (highlighed in red)" : "";
  const auto container_name = [this](const CUG& module) {
    const auto found = containers_.find(&module);
    return found != containers_.end() ? found->second->title() : std::string();
  };
  const std::string texts[] = {container_name(*a), a->title(), container_name(*b), b->title()};
  std::string message = "This patch contains a FEEDBACK path";
  message += highlighted;
  message += ", Please remove.\n ";
  message += texts[0] + "." + texts[1] + " -> " + texts[2] + "." + texts[3];
  return message;
}

}  // namespace ov
