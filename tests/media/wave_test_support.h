// The wave module tests' own WAVE writer, a folder of data files, and a
// catcher for the message boxes modules ask for.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/audio_master.h"
#include "engine/data_files.h"
#include "engine/message_queue.h"
#include "platform/byte_order.h"
#include "tests/media/media_test_support.h"

namespace ov::testing {

// A WAVE file built chunk by chunk, each chunk padded to an even size.
struct WaveBuilder {
  std::vector<uint8_t> chunks;

  WaveBuilder& Chunk(const char* id, const std::vector<uint8_t>& body, bool pad = true) {
    chunks.insert(chunks.end(), id, id + 4);
    AppendLe32(chunks, static_cast<uint32_t>(body.size()));
    chunks.insert(chunks.end(), body.begin(), body.end());
    if (pad && body.size() % 2 != 0) chunks.push_back(0);
    return *this;
  }
  WaveBuilder& Format(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits) {
    std::vector<uint8_t> fmt;
    const auto align = static_cast<uint16_t>(channels * bits / 8);
    AppendLe16(fmt, tag);
    AppendLe16(fmt, channels);
    AppendLe32(fmt, rate);
    AppendLe32(fmt, rate * align);
    AppendLe16(fmt, align);
    AppendLe16(fmt, bits);
    return Chunk("fmt ", fmt);
  }
  WaveBuilder& Data(const std::vector<uint8_t>& bytes) { return Chunk("data", bytes); }
  // A sampler chunk with one loop over frames [start, end).
  WaveBuilder& Loop(uint32_t start, uint32_t end) {
    std::vector<uint8_t> smpl(60, 0);
    smpl[28] = 1;  // one loop
    std::memcpy(&smpl[44], &start, 4);
    std::memcpy(&smpl[48], &end, 4);
    return Chunk("smpl", smpl);
  }
  std::vector<uint8_t> Bytes() const {
    std::vector<uint8_t> file = {'R', 'I', 'F', 'F'};
    AppendLe32(file, static_cast<uint32_t>(chunks.size() + 4));
    file.insert(file.end(), {'W', 'A', 'V', 'E'});
    file.insert(file.end(), chunks.begin(), chunks.end());
    return file;
  }
};

inline std::vector<uint8_t> Pcm16(const std::vector<int16_t>& samples) {
  std::vector<uint8_t> bytes;
  for (int16_t s : samples) AppendLe16(bytes, static_cast<uint16_t>(s));
  return bytes;
}

inline std::vector<uint8_t> Mono16(uint32_t rate, const std::vector<int16_t>& samples) {
  return WaveBuilder().Format(1, 1, rate, 16).Data(Pcm16(samples)).Bytes();
}

// Names resolve inside one folder, as the library folder serves them.
class FolderFiles : public DataFiles {
 public:
  explicit FolderFiles(std::string folder) : folder_(std::move(folder)) {
    std::filesystem::create_directories(folder_);
  }
  const std::string& LibraryFolder() const override { return folder_; }
  std::string ResolveFilePath(std::string_view name, std::string_view extension) const override {
    std::string path(name);
    if (std::filesystem::path(path).extension().empty()) path += "." + std::string(extension);
    return path.starts_with("/") ? path : folder_ + path;
  }
  std::optional<DataFile> OpenDataFile(std::string_view name,
                                       std::string_view extension) const override {
    const std::string path = ResolveFilePath(name, extension);
    if (!std::filesystem::is_regular_file(path)) return std::nullopt;
    return DataFile{path, {}};
  }
  // Writes `bytes` as `name` in the folder; the path.
  std::string Put(const std::string& name, const std::vector<uint8_t>& bytes) const {
    const std::string path = folder_ + name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
  }

 private:
  std::string folder_;
};

// A folder of its own for the running test.
inline std::string TestFolder() {
  const std::string folder = TempPath("_files/");
  std::filesystem::remove_all(folder);
  return folder;
}

// Takes the "mbox" texts an engine posts to its editor side.
class MessageBoxes : public dsp_msg_target {
 public:
  explicit MessageBoxes(OvAudioMaster& master) { master.SetEditorBoundQueue(&queue_, kId); }
  void OnMessage(uint32_t message_id, MessageReader& payload) override {
    std::string text;
    text.reserve(2048);
    if (message_id == kMsgMbox && payload.ReadString(text)) texts_.push_back(text);
  }
  // Everything posted so far.
  const std::vector<std::string>& Texts() {
    queue_.Drain([this](uint32_t id) -> dsp_msg_target* { return id == kId ? this : nullptr; });
    return texts_;
  }

 private:
  static constexpr uint32_t kId = 7;
  MessageQueue queue_{1 << 16};
  std::vector<std::string> texts_;
};

}  // namespace ov::testing
