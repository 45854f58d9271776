#include "engine/ug_container.h"

#include <stdexcept>

#include "engine/audio_master.h"
#include "engine/ug_adder.h"

namespace ov {

std::unique_ptr<ug_base> ug_io_mod::CreateInstance() const { return std::make_unique<ug_io_mod>(); }

UPlug* ug_io_mod::AddConstantSource(int32_t datatype) {
  UPlug* source = AddPlug(DR_OUT, datatype);
  source->SetUpStorage(Master()->EngineBlockSize());
  return source;
}

ug_container::~ug_container() {
  // Flatten the tree below before anything is destroyed, so no destructor
  // recurses into a nested container.
  std::vector<std::unique_ptr<ug_base>> doomed = std::move(children_);
  for (std::size_t i = 0; i < doomed.size(); ++i) {
    if (auto* inner = dynamic_cast<ug_container*>(doomed[i].get())) {
      for (auto& child : inner->children_) doomed.push_back(std::move(child));
      inner->children_.clear();
    }
  }
  // Leaves first, then their containers: plugs unlink from live neighbours.
  while (!doomed.empty()) doomed.pop_back();
}

std::unique_ptr<ug_base> ug_container::CreateInstance() const {
  return std::make_unique<ug_container>();
}

ug_base& ug_container::AddChild(std::unique_ptr<ug_base> child) {
  child->container_ = this;
  child->SetMaster(Master());
  ug_base& added = *children_.emplace_back(std::move(child));
  AddToModelVoice(added);
  return added;
}

ug_io_mod& ug_container::IoModule() {
  if (io_module_ == nullptr) {
    io_module_ = &static_cast<ug_io_mod&>(AddChild(std::make_unique<ug_io_mod>()));
  }
  return *io_module_;
}

void ug_container::connect(UPlug* source, UPlug* destination) {
  if (source == nullptr || destination == nullptr) {
    throw std::invalid_argument("connect needs two plugs");
  }
  while (destination->Redirect() != nullptr) destination = destination->Redirect();
  while (source->Redirect() != nullptr) source = source->Redirect();

  const bool collects = (destination->Flags() & kPlugFlagCollects) != 0;
  const bool adder_kind =
      destination->Datatype() == DT_FSAMPLE || destination->Datatype() == DT_MIDI;
  if (destination->Connectors().empty() || collects || !adder_kind) {
    // Other control inputs take each source's value as its status changes
    // arrive: the latest wins.
    Link(*source, *destination);
  } else {
    InsertAdder(*source, *destination);
  }
}

void ug_container::Link(UPlug& source, UPlug& destination) {
  // Each end's storage is read as its own kind below.
  if (source.Datatype() != destination.Datatype()) {
    throw std::invalid_argument("plugs of different data types cannot be joined");
  }
  if (destination.IsAudio() && source.Data() == nullptr) {
    throw std::invalid_argument("an audio input is joined to a source that carries no audio");
  }
  connector::Connect(source, destination);
  const bool collects = (destination.Flags() & kPlugFlagCollects) != 0;
  if (!collects && destination.HasValue() && source.HasValue()) {
    switch (destination.Datatype()) {
      case DT_FSAMPLE:
        destination.SetSourceBlock(source.Block());
        break;
      case DT_MIDI:
        destination.MidiInput().plug = &destination;
        source.MidiOutput().plug = &source;
        break;
      default:
        destination.CopyValueFrom(source);  // an integer's arrives with its status
        break;
    }
  }
  // Its first value must reach the input.
  if (destination.Datatype() != DT_MIDI && destination.Direction() != DR_PARAMETER) {
    source.SetState(std::max<int32_t>(source.State(), ST_STATIC));
  }
}

ug_base& ug_container::AddAdderFor(int32_t datatype) {
  if (datatype == DT_FSAMPLE) return Add(std::make_unique<ug_adder>());
  return Add(std::make_unique<ug_adder_midi>());
}

void ug_container::InsertAdder(UPlug& source, UPlug& destination) {
  connector* existing = destination.Connectors().front();
  UPlug& previous = *existing->Source();
  existing->Disconnect();

  ug_base& adder = AddAdderFor(destination.Datatype());
  UPlug& adder_input = *adder.plug(ug_adder::kInputPlug);
  Link(source, adder_input);
  Link(previous, adder_input);
  Link(*adder.plug(ug_adder::kOutputPlug), destination);
  destination.SetRedirect(&adder_input);
}

}  // namespace ov
