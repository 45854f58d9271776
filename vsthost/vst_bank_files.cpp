#include "vsthost/vst_bank_files.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "host/fx_files.h"
#include "vsthost/vst_wrapper.h"

namespace ov {
namespace {

constexpr uint32_t kChunkMagic = 0x43636E4B;    // CcnK
constexpr uint32_t kValueBank = 0x4678426B;     // FxBk
constexpr uint32_t kValueProgram = 0x4678436B;  // FxCk
constexpr uint32_t kChunkBank = 0x46424368;     // FBCh
constexpr uint32_t kChunkProgram = 0x46504368;  // FPCh
constexpr std::size_t kBankHeader = 156;
constexpr std::size_t kProgramHeader = 56;
constexpr std::size_t kNameOffset = 28;
constexpr std::size_t kNameField = 28;
constexpr char kNotCompatible[] = "This file not compatible\n";

void PutBig(std::vector<uint8_t>& bytes, std::size_t offset, uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

uint32_t GetBig(std::span<const uint8_t> bytes, std::size_t offset) {
  uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) value = value << 8 | bytes[offset + i];
  return value;
}

// At most `room` bytes of `name`, never ending inside a UTF-8 character.
std::string_view FitName(std::string_view name, std::size_t room) {
  if (name.size() <= room) return name;
  std::size_t length = room;
  while (length > 0 && (static_cast<unsigned char>(name[length]) & 0xC0) == 0x80) --length;
  return name.substr(0, length);
}

void AppendProgram(std::vector<uint8_t>& bytes, int32_t unique_id, int32_t plugin_version,
                   const VstProgramValues& program) {
  const std::size_t at = bytes.size();
  bytes.resize(at + kProgramHeader + 4 * program.values.size(), 0);
  PutBig(bytes, at, kChunkMagic);
  PutBig(bytes, at + 4, static_cast<uint32_t>(kProgramHeader - 8 + 4 * program.values.size()));
  PutBig(bytes, at + 8, kValueProgram);
  PutBig(bytes, at + 12, 1);
  PutBig(bytes, at + 16, static_cast<uint32_t>(unique_id));
  PutBig(bytes, at + 20, static_cast<uint32_t>(plugin_version));
  PutBig(bytes, at + 24, static_cast<uint32_t>(program.values.size()));
  const std::string_view name = FitName(program.name, kNameField - 1);
  std::copy(name.begin(), name.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at + kNameOffset));
  for (std::size_t v = 0; v < program.values.size(); ++v) {
    PutBig(bytes, at + kProgramHeader + 4 * v, std::bit_cast<uint32_t>(program.values[v]));
  }
}

// One program record at `at`; `at` moves past it. Empty with `error` when
// it is damaged or of another plug-in.
std::optional<VstProgramValues> ReadProgram(std::span<const uint8_t> bytes, std::size_t& at,
                                            const VstFileShape& shape, std::string* error) {
  const auto fail = [&](std::string text) -> std::optional<VstProgramValues> {
    if (error != nullptr) *error = std::move(text);
    return std::nullopt;
  };
  if (bytes.size() - at < kProgramHeader) return fail("a program record is cut short");
  if (GetBig(bytes, at) != kChunkMagic || GetBig(bytes, at + 8) != kValueProgram) {
    return fail("not a program record of parameter values");
  }
  if (static_cast<int32_t>(GetBig(bytes, at + 16)) != shape.unique_id) return fail(kNotCompatible);
  const uint32_t count = GetBig(bytes, at + 24);
  if (count > (bytes.size() - at - kProgramHeader) / 4) {
    return fail("a program record holds more values than the file");
  }
  VstProgramValues program;
  const auto name = bytes.subspan(at + kNameOffset, kNameField);
  program.name.assign(name.begin(), std::find(name.begin(), name.end(), uint8_t{0}));
  const std::size_t kept = std::min<std::size_t>(count, static_cast<std::size_t>(shape.parameters));
  program.values.resize(kept);
  for (std::size_t v = 0; v < kept; ++v) {
    program.values[v] = std::bit_cast<float>(GetBig(bytes, at + kProgramHeader + 4 * v));
  }
  at += kProgramHeader + 4 * static_cast<std::size_t>(count);
  return program;
}

}  // namespace

std::vector<uint8_t> WriteVstValueFile(bool bank, int32_t unique_id, int32_t plugin_version,
                                       std::span<const VstProgramValues> programs) {
  std::vector<uint8_t> bytes;
  if (!bank) {
    if (!programs.empty()) AppendProgram(bytes, unique_id, plugin_version, programs.front());
    return bytes;
  }
  bytes.resize(kBankHeader, 0);
  PutBig(bytes, 0, kChunkMagic);
  PutBig(bytes, 8, kValueBank);
  PutBig(bytes, 12, 1);
  PutBig(bytes, 16, static_cast<uint32_t>(unique_id));
  PutBig(bytes, 20, static_cast<uint32_t>(plugin_version));
  PutBig(bytes, 24, static_cast<uint32_t>(programs.size()));
  for (const VstProgramValues& program : programs) {
    AppendProgram(bytes, unique_id, plugin_version, program);
  }
  PutBig(bytes, 4, static_cast<uint32_t>(bytes.size() - 8));
  return bytes;
}

std::optional<std::vector<VstProgramValues>> ReadVstValueFile(std::span<const uint8_t> bytes,
                                                               bool bank, const VstFileShape& shape,
                                                               std::string* error) {
  const auto fail = [&](std::string text) -> std::optional<std::vector<VstProgramValues>> {
    if (error != nullptr) *error = std::move(text);
    return std::nullopt;
  };
  std::vector<VstProgramValues> programs;
  std::size_t at = 0;
  std::size_t count = 1;
  if (bank) {
    if (bytes.size() < kBankHeader) return fail("too short for a bank file");
    if (GetBig(bytes, 0) != kChunkMagic || GetBig(bytes, 8) != kValueBank) {
      return fail("not a bank file of parameter values");
    }
    if (static_cast<int32_t>(GetBig(bytes, 16)) != shape.unique_id) return fail(kNotCompatible);
    count = std::min<std::size_t>(GetBig(bytes, 24), static_cast<std::size_t>(std::max(shape.programs, 1)));
    at = kBankHeader;
  }
  for (std::size_t i = 0; i < count; ++i) {
    std::optional<VstProgramValues> program = ReadProgram(bytes, at, shape, error);
    if (!program) return std::nullopt;
    programs.push_back(std::move(*program));
  }
  return programs;
}

std::vector<uint8_t> SaveVstFile(const VST_Wrapper& plugin, bool bank, std::string* error) {
  if (plugin.HasChunks()) {
    const std::vector<uint8_t> chunk = bank ? plugin.BankChunk() : plugin.ProgramChunk();
    if (chunk.empty()) {
      if (error != nullptr) *error = "Save Disabled by plugin";
      return {};
    }
    return WriteFxFile(bank ? FxKind::kBank : FxKind::kProgram, plugin.UniqueId(),
                       bank ? std::string() : plugin.ProgramName(), chunk);
  }
  const int32_t parameters = plugin.RealParameterCount();
  const auto read_current = [&] {
    VstProgramValues program{plugin.ProgramName(), std::vector<float>(static_cast<std::size_t>(parameters))};
    for (int32_t p = 0; p < parameters; ++p) {
      program.values[static_cast<std::size_t>(p)] = plugin.GetParameter(p);
    }
    return program;
  };
  std::vector<VstProgramValues> programs;
  if (!bank) {
    programs.push_back(read_current());
  } else {
    const int32_t current = plugin.Program();
    for (int32_t i = 0; i < plugin.ProgramCount(); ++i) {
      plugin.SetProgram(i);
      programs.push_back(read_current());
    }
    plugin.SetProgram(current);
  }
  return WriteVstValueFile(bank, plugin.UniqueId(), plugin.PluginVersion(), programs);
}

bool LoadVstFile(VST_Wrapper& plugin, std::span<const uint8_t> bytes, bool bank,
                 std::string* error) {
  const auto fail = [&](std::string text) {
    if (error != nullptr) *error = std::move(text);
    return false;
  };
  if (bytes.size() >= 12 && GetBig(bytes, 0) == kChunkMagic &&
      (GetBig(bytes, 8) == kChunkBank || GetBig(bytes, 8) == kChunkProgram)) {
    if (!plugin.HasChunks()) return fail("the file holds a chunk, and this plug-in keeps none");
    std::string why;
    const std::optional<FxFile> file = ReadFxFile(bytes, &why);
    if (!file) return fail("The file is damaged and was not loaded: " + why);
    if ((file->kind == FxKind::kBank) != bank) {
      return fail(bank ? "not a bank file" : "not a program file");
    }
    if (file->plugin_id != plugin.UniqueId()) return fail(kNotCompatible);
    if (bank) {
      plugin.SetBankChunk(file->chunk);
    } else {
      plugin.SetProgramChunk(file->chunk);
    }
    return true;
  }
  const VstFileShape shape{plugin.UniqueId(), plugin.ProgramCount(), plugin.RealParameterCount()};
  const auto programs = ReadVstValueFile(bytes, bank, shape, error);
  if (!programs) return false;
  const int32_t current = plugin.Program();
  for (std::size_t i = 0; i < programs->size(); ++i) {
    const VstProgramValues& program = (*programs)[i];
    if (bank) plugin.SetProgram(static_cast<int32_t>(i));
    plugin.SetProgramName(program.name);
    for (std::size_t p = 0; p < program.values.size(); ++p) {
      plugin.SetParameter(static_cast<int32_t>(p), program.values[p]);
    }
  }
  if (bank) plugin.SetProgram(current);
  return true;
}

}  // namespace ov
