#include "host/fx_files.h"

#include <algorithm>

namespace ov {
namespace {

constexpr uint32_t kChunkMagic = 0x43636E4B;    // CcnK
constexpr uint32_t kBankMagic = 0x46424368;     // FBCh
constexpr uint32_t kProgramMagic = 0x46504368;  // FPCh
constexpr uint32_t kBlanks = 0x20202020;
constexpr uint32_t kGenericId = 0x4F566474;  // OVdt
constexpr std::size_t kProgramHeader = 60;
constexpr std::size_t kBankHeader = 160;
constexpr std::size_t kNameOffset = 28;
constexpr std::size_t kNameField = 28;
constexpr std::size_t kNameKept = 20;
constexpr int32_t kBankPrograms = 128;

void PutBig(std::vector<uint8_t>& bytes, std::size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

uint32_t GetBig(std::span<const uint8_t> bytes, std::size_t offset) {
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value = value << 8 | bytes[offset + i];
  return value;
}

}  // namespace

std::vector<uint8_t> WriteFxFile(FxKind kind, int32_t plugin_id, std::string_view program_name,
                                 std::span<const uint8_t> chunk) {
  const bool bank = kind == FxKind::kBank;
  const std::size_t header = bank ? kBankHeader : kProgramHeader;
  std::vector<uint8_t> bytes(header, 0);
  PutBig(bytes, 0, kChunkMagic);
  PutBig(bytes, 8, bank ? kBankMagic : kProgramMagic);
  PutBig(bytes, 12, 1);
  PutBig(bytes, 16, static_cast<uint32_t>(plugin_id));
  PutBig(bytes, 24, bank ? kBankPrograms : 1);
  if (!bank) {
    const std::size_t length = std::min(program_name.size(), kNameKept);
    std::copy_n(program_name.begin(), length, bytes.begin() + kNameOffset);
  }
  PutBig(bytes, header - 4, static_cast<uint32_t>(chunk.size()));
  bytes.insert(bytes.end(), chunk.begin(), chunk.end());
  return bytes;
}

std::optional<FxFile> ReadFxFile(std::span<const uint8_t> bytes, std::string* error) {
  const auto fail = [&](std::string text) {
    if (error != nullptr) *error = std::move(text);
    return std::nullopt;
  };
  if (bytes.size() < kProgramHeader) return fail("too short for a bank or program file");
  if (GetBig(bytes, 0) != kChunkMagic) return fail("not a bank or program file");
  FxFile file;
  const uint32_t format = GetBig(bytes, 8);
  if (format == kBankMagic) {
    file.kind = FxKind::kBank;
  } else if (format == kProgramMagic) {
    file.kind = FxKind::kProgram;
  } else {
    return fail("holds no state chunk (format '" + FourCharacterId(static_cast<int32_t>(format)) +
                "')");
  }
  const std::size_t header = file.kind == FxKind::kBank ? kBankHeader : kProgramHeader;
  if (bytes.size() < header) return fail("too short for its header");
  file.plugin_id = static_cast<int32_t>(GetBig(bytes, 16));
  if (file.kind == FxKind::kProgram) {
    const auto name = bytes.subspan(kNameOffset, kNameField);
    const auto end = std::find(name.begin(), name.end(), uint8_t{0});
    file.program_name.assign(name.begin(), end);
  }
  const uint32_t chunk_size = GetBig(bytes, header - 4);
  if (chunk_size > bytes.size() - header) {
    return fail("its chunk size of " + std::to_string(chunk_size) + " bytes exceeds the file");
  }
  const auto chunk = bytes.subspan(header, chunk_size);
  file.chunk.assign(chunk.begin(), chunk.end());
  return file;
}

bool FxFileIdAccepted(int32_t file_id, int32_t own_id) {
  const auto file = static_cast<uint32_t>(file_id);
  return file_id == own_id || file == kBlanks || file == kGenericId ||
         static_cast<uint32_t>(own_id) == kGenericId;
}

std::string FourCharacterId(int32_t id) {
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) {
    const char c = static_cast<char>((static_cast<uint32_t>(id) >> shift) & 0xFF);
    text += c >= 0x20 && c <= 0x7e ? c : '?';
  }
  return text;
}

}  // namespace ov
