#include "media/midi_recorder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>

#include "engine/audio_master.h"
#include "engine/midi_word.h"
#include "platform/byte_order.h"
#include "media/recording_target.h"
#include "media/smf_chunks.h"
#include "media/smf_format.h"
#include "modules/descriptors/plug_tables.h"

namespace ov {
namespace {

constexpr char kWriteError[] = "Error writing file";
constexpr uint32_t kMaxDelta = 0x0FFFFFFF;  // the largest 4-byte quantity
constexpr uint8_t kEndOfTrack[] = {0x00, smf::kMetaEvent, smf::kMetaEndOfTrack, 0x00};

}  // namespace

ug_midi_recorder::ug_midi_recorder() : ug_midi_device(kMidiIn, kChannel) {
  file_name_.reserve(UPlug::kTextCapacity);
}

ug_midi_recorder::~ug_midi_recorder() {
  if (registered_) MediaFileThread::Instance().Unregister(*this);
}

std::unique_ptr<ug_base> ug_midi_recorder::CreateInstance() const {
  return std::make_unique<ug_midi_recorder>();
}

void ug_midi_recorder::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kMidiRecorderPlugs, {file_name_, {}, channel_}, descriptors);
}

void ug_midi_recorder::Open() {
  ug_midi_device::Open();
  recording_ = false;
  last_ms_ = 0;
  dropped_ = 0;
  failure_reported_ = false;
  bytes_written_ = 0;
  write_failed_ = false;
  std::optional<RecordingTake> take = CreateTake(*this, file_name_, "mid");
  if (!take) return;
  file_ = std::move(take->file);
  path_ = take->path;
  // A valid empty take from the start.
  if (!WriteHeaderAndEnd()) {
    file_.Close();
    Fail();
    return;
  }
  ring_ = std::make_unique<ByteRing>(kRingBytes);
  MediaFileThread::Instance().Register(*this);
  registered_ = true;
  recording_ = true;
}

void ug_midi_recorder::Fail() {
  if (failure_reported_) return;
  failure_reported_ = true;
  RequestMessageBox(kWriteError);
  Master()->RequestStop();
}

void ug_midi_recorder::OnMidi(uint32_t time, uint32_t word) {
  if (!recording_) return;
  if (write_failed_.load(std::memory_order_relaxed)) {
    Fail();
    recording_ = false;
    return;
  }
  uint32_t command = midi::Command(word);
  if (command < midi::kNoteOff || command >= midi::kSystem) return;
  // Data bytes keep 7 bits: a reader takes a set top bit for a status.
  const uint8_t first = (word >> 8) & 0x7F;
  const uint8_t second = (word >> 16) & 0x7F;
  if (command == midi::kNoteOn && second == 0) command = midi::kNoteOff;
  const auto ms = static_cast<uint64_t>(std::floor(time * 1000.0 / Master()->SampleRate()));
  const uint64_t delta = ms > last_ms_ ? std::min<uint64_t>(ms - last_ms_, kMaxDelta) : 0;
  std::array<uint8_t, smf::kMaxQuantityBytes + 3> bytes;
  int size = smf::WriteQuantity(static_cast<uint32_t>(delta), bytes.data());
  bytes[size++] = static_cast<uint8_t>(command);  // every message on channel 1
  bytes[size++] = first;
  if (command != midi::kProgramChange && command != midi::kChannelPressure) bytes[size++] = second;
  const auto message = std::as_bytes(std::span(bytes.data(), static_cast<std::size_t>(size)));
  if (!MediaFileThread::WaitForRoom(*ring_, static_cast<uint32_t>(size),
                                    Master()->Host().RendersOffline())) {
    ++dropped_;  // the disk has fallen far behind; the next delta covers the gap
    return;
  }
  ring_->Write(message);
  last_ms_ = ms;
}

bool ug_midi_recorder::ServeMedia() { return WriteQueued(); }

bool ug_midi_recorder::WriteQueued() {
  return MediaFileThread::DrainToFile(*ring_, file_, kHeaderBytes, bytes_written_, write_failed_,
                                      [this] { return WriteHeaderAndEnd(); });
}

bool ug_midi_recorder::WriteHeaderAndEnd() {
  const uint64_t track_bytes = bytes_written_ + sizeof kEndOfTrack;
  if (track_bytes > 0xFFFFFFFFu) return false;
  std::vector<uint8_t> header = {'M', 'T', 'h', 'd'};
  header.reserve(kHeaderBytes);
  AppendBe32(header, 8);  // the header's length, two bytes of padding included
  AppendBe16(header, 0);  // format 0
  AppendBe16(header, 1);  // one track
  // -25 frames per second, 40 ticks per frame: a tick is a millisecond.
  header.insert(header.end(), {0xE7, 0x28, 0x00, 0x00, 'M', 'T', 'r', 'k'});
  AppendBe32(header, static_cast<uint32_t>(track_bytes));
  return file_.WriteAt(kHeaderBytes + bytes_written_, kEndOfTrack) && file_.WriteAt(0, header);
}

void ug_midi_recorder::Close() {
  if (registered_) {
    MediaFileThread::Instance().Unregister(*this);
    registered_ = false;
  }
  if (file_.IsOpen()) {
    // Audio has stopped and the media thread let go: this thread owns both
    // ends of the ring and the file now.
    WriteQueued();
    if (write_failed_ || !WriteHeaderAndEnd() || !file_.Close()) Fail();
  }
  recording_ = false;
  if (dropped_ > 0) {
    char text[120];
    std::snprintf(text, sizeof text,
                  "%u MIDI messages were lost: the disk could not keep up with the recording",
                  dropped_);
    RequestMessageBox(text);
  }
  ring_.reset();
  ug_base::Close();
}

}  // namespace ov
