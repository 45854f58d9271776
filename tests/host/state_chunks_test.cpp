// State chunks through the plug-in's chunk calls, and the bank and program
// file layout: exact round trips, programs landing on the current patch,
// parameters found by id, and hostile chunks and files that change nothing.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "document/archive_writer.h"
#include "host/chunks.h"
#include "host/fx_files.h"
#include "tests/host/patch_project.h"

namespace ov::testing {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes GetChunk(OvVst& plugin, bool preset) {
  void* data = nullptr;
  const auto size = plugin.dispatcher(vst2::effGetChunk, preset ? 1 : 0, 0, &data, 0);
  const auto* bytes = static_cast<const uint8_t*>(data);
  return Bytes(bytes, bytes + size);
}

void SetChunk(OvVst& plugin, Bytes chunk, bool preset) {
  plugin.dispatcher(vst2::effSetChunk, preset ? 1 : 0, static_cast<intptr_t>(chunk.size()),
                    chunk.data(), 0);
}

// Every patch of every parameter gets a value of its own, every patch a name.
void FillPatches(PatchPlugin& made, float base) {
  for (const auto& [id, parameter] : made.Patches().parameters()) {
    for (int32_t patch = 0; patch < 128; ++patch) {
      parameter->SetSlotFromText(patch, std::to_string(base + patch * 0.01f + id));
    }
  }
  for (int32_t patch = 0; patch < 128; ++patch) {
    made.Patches().SetPatchName(patch, "P" + std::to_string(base + patch));
  }
}

TEST(StateChunks, ABankWithoutParametersIsItsNames) {
  PatchPlugin made({});
  const Bytes chunk = GetChunk(made.plugin, false);
  ArchiveWriter expected;
  for (int32_t field : {kChunkFormatCurrent, 0, 0, 128}) expected.WriteInt32(field);
  for (int patch = 1; patch <= 128; ++patch) {
    char name[32];
    std::snprintf(name, sizeof name, "Patch %3d", patch);
    expected.WriteString(name);
  }
  EXPECT_EQ(chunk, expected.bytes());
}

TEST(StateChunks, BankAndProgramRoundTripsAreExact) {
  PatchPlugin made({"A", "B", "C"});
  FillPatches(made, 1);
  made.plugin.setProgram(4);
  const Bytes bank = GetChunk(made.plugin, false);
  const Bytes program = GetChunk(made.plugin, true);

  FillPatches(made, 50);
  made.plugin.setProgram(9);
  SetChunk(made.plugin, bank, false);
  EXPECT_EQ(made.plugin.getProgram(), 9);  // the chunk holds no current patch
  made.plugin.setProgram(4);
  EXPECT_EQ(GetChunk(made.plugin, false), bank);
  EXPECT_EQ(GetChunk(made.plugin, true), program);
  EXPECT_FALSE(made.plugin.App().Messages().Contains("could not"));
}

TEST(StateChunks, AProgramLandsOnTheCurrentPatchOnly) {
  PatchPlugin made({"A", "B"});
  FillPatches(made, 1);
  made.plugin.setProgram(2);
  const Bytes program = GetChunk(made.plugin, true);
  const Bytes before = GetChunk(made.plugin, false);

  made.plugin.setProgram(5);
  SetChunk(made.plugin, program, true);
  EXPECT_EQ(made.Patches().PatchName(5), made.Patches().PatchName(2));
  for (const auto& [id, parameter] : made.Patches().parameters()) {
    EXPECT_EQ(parameter->SlotValue(5).real, parameter->SlotValue(2).real);
    EXPECT_EQ(parameter->CurrentValue().real, parameter->SlotValue(2).real);
  }
  // Apart from patch 5, the bank is as it was.
  made.plugin.setProgram(5);
  SetChunk(made.plugin, before, false);
  made.plugin.setProgram(2);
  SetChunk(made.plugin, program, true);
  made.plugin.setProgram(5);
  EXPECT_NE(GetChunk(made.plugin, true), program);
}

// Hosts that mark a whole bank as a program still get every patch back in
// its own slot.
TEST(StateChunks, ABankSetAsAProgramKeepsItsPatchNumbers) {
  PatchPlugin saved({"A", "B"});
  FillPatches(saved, 1);
  const Bytes bank = GetChunk(saved.plugin, false);

  PatchPlugin made({"A", "B"});
  made.plugin.setProgram(5);
  SetChunk(made.plugin, bank, true);
  EXPECT_EQ(GetChunk(made.plugin, false), bank);
  EXPECT_EQ(made.Patches().current_patch(), 5);
  EXPECT_EQ(made.Parameter("B").CurrentValue().real, saved.Parameter("B").SlotValue(5).real);
}

TEST(StateChunks, ParametersAreFoundByIdAndUnknownOnesReported) {
  PatchPlugin saved({"A", "B"});
  FillPatches(saved, 1);
  const Bytes bank = GetChunk(saved.plugin, false);

  // Same ids, other names: still found.
  PatchPlugin renamed({"A", "B"});
  renamed.Parameter("A").set_name("Renamed");
  SetChunk(renamed.plugin, bank, false);
  EXPECT_EQ(GetChunk(renamed.plugin, false), bank);
  EXPECT_FALSE(renamed.plugin.App().Messages().Contains("could not"));

  // A project without the second parameter: the rest cannot be placed, and
  // the user hears of it; the names still load.
  PatchPlugin fewer({"A"});
  SetChunk(fewer.plugin, bank, false);
  EXPECT_TRUE(fewer.plugin.App().Messages().Contains("Some parameters could not be loaded"));
  EXPECT_EQ(fewer.Patches().PatchName(7), saved.Patches().PatchName(7));
}

TEST(StateChunks, OlderFormatsWithPanelParametersReadPastTheirTexts) {
  for (int32_t tag : {kChunkFormatOldest, kChunkFormatIds, kChunkFormatNames}) {
    PatchPlugin made({"A"});
    ArchiveWriter chunk;
    chunk.WriteInt32(tag);
    chunk.WriteInt32(2);  // two generic parameters
    if (tag == kChunkFormatIds) chunk.WriteInt32(11), chunk.WriteInt32(12);
    if (tag == kChunkFormatNames) chunk.WriteString("Volume"), chunk.WriteString("Tone");
    chunk.WriteInt32(1);
    chunk.WriteString("Loaded");
    chunk.WriteString("0.5");
    chunk.WriteString("0.7");
    SetChunk(made.plugin, chunk.bytes(), true);
    EXPECT_EQ(made.Patches().PatchName(0), "Loaded") << tag;
    EXPECT_TRUE(made.plugin.App().Messages().Contains("Some parameters could not be loaded"));
  }
}

TEST(StateChunks, PatchesPastTheLastAreReadAndDropped) {
  PatchPlugin made({"A"});
  const int32_t id = made.Patches().parameters().begin()->first;
  ArchiveWriter chunk;
  for (int32_t field : {kChunkFormatCurrent, 0, 1, id, 130}) chunk.WriteInt32(field);
  for (int patch = 0; patch < 130; ++patch) chunk.WriteString("N" + std::to_string(patch));
  chunk.WriteInt32(130);
  for (int patch = 0; patch < 130; ++patch) chunk.WriteFloat32(static_cast<float>(patch));
  SetChunk(made.plugin, chunk.bytes(), false);
  EXPECT_EQ(made.Patches().PatchName(127), "N127");
  EXPECT_EQ(made.Parameter("A").SlotValue(127).real, 127.0f);
  EXPECT_FALSE(made.plugin.App().Messages().Contains("damaged"));
}

TEST(StateChunks, UnknownTruncatedAndOversizedChunksChangeNothing) {
  PatchPlugin made({"A", "B"});
  FillPatches(made, 1);
  const Bytes bank = GetChunk(made.plugin, false);

  Bytes foreign = bank;
  foreign[0] ^= 1;
  SetChunk(made.plugin, foreign, false);
  EXPECT_TRUE(made.plugin.App().Messages().Messages().empty());  // ignored silently

  PatchPlugin target({"A", "B"});
  const Bytes untouched = GetChunk(target.plugin, false);
  for (std::size_t length = 0; length < bank.size(); length += 7) {
    SetChunk(target.plugin, Bytes(bank.begin(), bank.begin() + length), false);
    ASSERT_EQ(GetChunk(target.plugin, false), untouched) << length;
  }
  EXPECT_TRUE(target.plugin.App().Messages().Contains("damaged"));

  // Counts far beyond the bytes are refused before anything is allocated.
  for (int32_t tag : {kChunkFormatIds, kChunkFormatCurrent, kChunkFormatNames}) {
    ArchiveWriter huge;
    for (int32_t field : {tag, 0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF}) huge.WriteInt32(field);
    SetChunk(target.plugin, huge.bytes(), false);
    ASSERT_EQ(GetChunk(target.plugin, false), untouched) << tag;
  }
  ArchiveWriter names;
  for (int32_t field : {kChunkFormatCurrent, 0, 0, 0x7FFFFFFF}) names.WriteInt32(field);
  SetChunk(target.plugin, names.bytes(), false);
  EXPECT_EQ(GetChunk(target.plugin, false), untouched);
  // A negative size from the host is not read at all.
  target.plugin.dispatcher(vst2::effSetChunk, 0, -5, names.TakeBytes().data(), 0);
}

TEST(FxFiles, ProgramAndBankLayouts) {
  const Bytes chunk = {1, 2, 3};
  const Bytes program =
      WriteFxFile(FxKind::kProgram, 0x4F765473, "A long program name here", chunk);
  ASSERT_EQ(program.size(), 63u);
  EXPECT_EQ(std::memcmp(program.data(), "CcnK\0\0\0\0FPCh\0\0\0\1OvTs\0\0\0\0\0\0\0\1", 28), 0);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&program[28])), "A long program name ");
  EXPECT_EQ(program[59], 3);

  const Bytes bank = WriteFxFile(FxKind::kBank, 0x4F765473, "ignored", chunk);
  ASSERT_EQ(bank.size(), 163u);
  EXPECT_EQ(std::memcmp(bank.data() + 8, "FBCh", 4), 0);
  EXPECT_EQ(bank[27], 128);
  EXPECT_EQ(Bytes(bank.begin() + 28, bank.begin() + 156), Bytes(128, 0));
  EXPECT_EQ(bank[159], 3);

  std::string error;
  const auto read = ReadFxFile(program, &error);
  ASSERT_TRUE(read) << error;
  EXPECT_EQ(read->kind, FxKind::kProgram);
  EXPECT_EQ(read->program_name, "A long program name ");
  EXPECT_EQ(read->chunk, chunk);
  EXPECT_EQ(ReadFxFile(bank, &error)->chunk, chunk);
}

TEST(FxFiles, ShortFilesHugeChunksAndForeignIdsAreRefused) {
  const Bytes chunk(10, 7);
  const Bytes bank = WriteFxFile(FxKind::kBank, 0x4F765473, "", chunk);
  std::string error;
  EXPECT_FALSE(ReadFxFile(Bytes(bank.begin(), bank.begin() + 59), &error));
  EXPECT_FALSE(ReadFxFile(Bytes(bank.begin(), bank.begin() + 100), &error));  // short bank header
  EXPECT_FALSE(ReadFxFile(Bytes(bank.begin(), bank.end() - 1), &error));
  EXPECT_NE(error.find("exceeds the file"), std::string::npos);
  Bytes huge = bank;
  huge[156] = 0xFF;
  EXPECT_FALSE(ReadFxFile(huge, &error));
  Bytes parameters = bank;
  std::memcpy(parameters.data() + 8, "FxBk", 4);  // parameter values, not a chunk
  EXPECT_FALSE(ReadFxFile(parameters, &error));

  EXPECT_TRUE(FxFileIdAccepted(0x4F765473, 0x4F765473));
  EXPECT_TRUE(FxFileIdAccepted(0x20202020, 0x4F765473));
  EXPECT_TRUE(FxFileIdAccepted(0x4F566474, 0x4F765473));
  EXPECT_TRUE(FxFileIdAccepted(0x41424344, 0x4F566474));
  EXPECT_FALSE(FxFileIdAccepted(0x41424344, 0x4F765473));
  EXPECT_EQ(FourCharacterId(0x41424344), "ABCD");
}

}  // namespace
}  // namespace ov::testing
