#include "engine/uplug.h"

#include <algorithm>
#include <bit>
#include <stdexcept>

#include "engine/audio_master.h"
#include "engine/saturating_cast.h"
#include "engine/ug_base.h"
#include "engine/ug_container.h"
#include "platform/text.h"

namespace ov {

connector* connector::Connect(UPlug& source, UPlug& destination) {
  auto* link = new connector(source, destination);
  source.connectors_.push_back(link);
  destination.connectors_.push_back(link);
  return link;
}

void connector::Disconnect() {
  for (UPlug* end : {source_, destination_}) std::erase(end->connectors_, this);
  delete this;
}

UPlug::UPlug(ug_base& owner, int32_t number, const InterfaceObject& descriptor)
    : UPlug(owner, number, descriptor.direction, descriptor.datatype,
            FlagsFromDescriptor(descriptor.flags)) {
  value_ = descriptor.value_member;
  buffer_member_ = descriptor.buffer_member;
}

UPlug::UPlug(ug_base& owner, int32_t number, int32_t direction, int32_t datatype, int32_t flags)
    : owner_(&owner), number_(number), direction_(direction), datatype_(datatype), flags_(flags) {}

UPlug::~UPlug() {
  while (!connectors_.empty()) connectors_.back()->Disconnect();
}

int32_t UPlug::FlagsFromDescriptor(int32_t descriptor_flags) {
  int32_t flags = 0;
  if ((descriptor_flags & kPlugLinearInput) == 0) flags |= kPlugFlagNonLinear;
  if ((descriptor_flags & kPlugCollectsConnections) != 0) flags |= kPlugFlagCollects;
  if ((descriptor_flags & (kPlugPatchStored | kPlugPatchParameter)) != 0) {
    flags |= kPlugFlagPatchBound;
  }
  return flags;
}

void UPlug::SetUpStorage(int32_t cell_size) {
  if ((flags_ & kPlugFlagOwnsStorage) != 0) return;  // already set up
  switch (datatype_) {
    case DT_FSAMPLE:
      if (direction_ == DR_OUT) {
        block_ = std::make_unique<USampBlock>(cell_size);
        value_ = block_.get();
        flags_ |= kPlugFlagOwnsStorage;
      } else {
        value_ = &source_block_;
      }
      return;
    case DT_TEXT:
      if (value_ == nullptr) {
        text_ = std::make_unique<std::string>();
        value_ = text_.get();
        flags_ |= kPlugFlagOwnsStorage;
      }
      Ref<std::string>().reserve(kTextCapacity);
      return;
    default:
      break;
  }
  if (value_ != nullptr) return;  // the module's member
  flags_ |= kPlugFlagOwnsStorage;
  switch (datatype_) {
    case DT_MIDI:
      if (direction_ == DR_OUT) {
        value_ = &midi_output_;
      } else {
        value_ = &midi_input_;
      }
      break;
    case DT_DOUBLE:
      value_ = &double_;
      break;
    default:  // enum, bool, float, integer: the value lives in the plug
      value_ = &scalar_;
      break;
  }
}

USampBlock* UPlug::Block() const {
  if (datatype_ != DT_FSAMPLE) return nullptr;
  if (direction_ == DR_OUT) return block_.get();
  return (flags_ & kPlugFlagCollects) != 0 ? nullptr : source_block_;
}

float* UPlug::Data() const {
  USampBlock* block = Block();
  return block != nullptr ? block->Data() : nullptr;
}

const float* UPlug::Samples() const {
  return buffer_member_ != nullptr && *buffer_member_ != nullptr ? *buffer_member_ : Data();
}

float UPlug::ValueAtClock() const {
  const float* samples = Samples();
  return samples != nullptr ? owner_->SampleNow(samples) : 0.0f;
}

int32_t UPlug::Snapshot() const {
  if (value_ == nullptr) return 0;
  switch (datatype_) {
    case DT_ENUM:
      return Ref<int16_t>();
    case DT_BOOL:
      return Ref<bool>() ? 1 : 0;
    case DT_FLOAT:
      return std::bit_cast<int32_t>(Ref<float>());
    case DT_INT:
      return Ref<int32_t>();
    default:
      return 0;
  }
}

void UPlug::ApplySnapshot(int32_t word) {
  if (value_ == nullptr) return;
  switch (datatype_) {
    case DT_ENUM:
      Ref<int16_t>() = static_cast<int16_t>(word);
      break;
    case DT_BOOL:
      Ref<bool>() = word != 0;
      break;
    case DT_FLOAT:
      Ref<float>() = std::bit_cast<float>(word);
      break;
    case DT_INT:
      Ref<int32_t>() = word;
      break;
    default:
      break;
  }
}

void UPlug::CopyValueFrom(const UPlug& source) {
  if (value_ == nullptr || source.value_ == nullptr || source.datatype_ != datatype_) return;
  switch (datatype_) {
    case DT_TEXT:
      SetTextValue(source.Ref<std::string>());
      break;
    case DT_DOUBLE:
      Ref<double>() = source.Ref<double>();
      break;
    default:
      ApplySnapshot(source.Snapshot());
      break;
  }
}

void UPlug::SetTextValue(std::string_view text) {
  if (value_ == nullptr || datatype_ != DT_TEXT) return;
  // Within the reserved capacity, so the audio thread never allocates.
  std::string& stored = Ref<std::string>();
  stored.assign(text.substr(0, std::min(text.size(), stored.capacity())));
}

void UPlug::Transmit(uint32_t time, int32_t state) {
  if (state == state_ && state != ST_STATIC) return;
  if (datatype_ == DT_FSAMPLE && state == ST_STATIC && has_static_time_ &&
      time == last_static_time_ && state_ < ST_RUN) {
    return;  // one static per sample time
  }
  state_ = state;
  for (connector* link : connectors_) {
    link->Destination()->Owner().QueueStatusChange(time, link, state);
  }
  has_static_time_ = state == ST_STATIC;
  if (state == ST_STATIC) {
    last_static_time_ = time;
    state_ = ST_STOP;
  }
}

void UPlug::SetValueFromText(std::string_view text) {
  if (datatype_ == DT_MIDI) return;
  if (direction_ == DR_OUT) {
    if (datatype_ == DT_TEXT) {
      StoreText(text);
    } else if (datatype_ == DT_ENUM || datatype_ == DT_BOOL || datatype_ == DT_INT) {
      const std::optional<long long> integer = ParseInteger(text);
      StoreNumber(integer ? static_cast<double>(*integer) : ParseDouble(text).value_or(0.0));
    } else {
      StoreNumber(ParseDouble(text).value_or(0.0));
    }
    flags_ |= kPlugFlagStaticPending;
    owner_->NotifySelf(ug_base::kNotifyStaticPending, 0);
    return;
  }
  if (!IsInput()) return;
  if (!connectors_.empty()) {
    connectors_.front()->Source()->SetValueFromText(text);
    return;
  }
  ug_container* container = owner_->Container();
  if (container == nullptr) throw std::logic_error("an unconnected input needs a container");
  UPlug* constant = container->IoModule().AddConstantSource(datatype_);
  constant->SetValueFromText(text);
  container->connect(constant, this);
}

void UPlug::StoreText(std::string_view text) {
  if (value_ != nullptr) Ref<std::string>().assign(text);
}

void UPlug::StoreNumber(double value) {
  if (datatype_ == DT_FSAMPLE) {
    if (block_ != nullptr) block_->Fill(static_cast<float>(value * 0.1));  // volts
    return;
  }
  if (value_ == nullptr) return;
  switch (datatype_) {
    case DT_ENUM:
      Ref<int16_t>() = SaturatingCast<int16_t>(value);
      break;
    case DT_BOOL:
      Ref<bool>() = value != 0.0;
      break;
    case DT_INT:
      Ref<int32_t>() = SaturatingCast<int32_t>(value);
      break;
    case DT_FLOAT:
      Ref<float>() = static_cast<float>(value);
      break;
    case DT_DOUBLE:
      Ref<double>() = value;
      break;
    default:
      break;
  }
}

}  // namespace ov
