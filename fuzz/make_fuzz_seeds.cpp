// Writes the fuzz targets' starting corpora from projects of our own, each
// in the folder of its target under CORPUS_ROOT:
//   archive/   each project compiled at several stream versions, so that
//              old layouts are explored from the start;
//   text/      each project's JSON as written and in its full form;
//   chunk/     bank and program chunks of the patched project (a first byte
//              choosing bank or program, as the target reads it);
//   lv2_state/ the bank chunk and a program number as LV2 state properties
//              (behind the byte that chooses the property and its type);
//   fx_file/   those chunks in bank and program files;
//   vst_bank/  a hosted plug-in's bank and program of parameter values;
//   resource/  a library with a project appended, and one without;
//   wav_player/ small WAVE files of each kind the player reads, behind the
//              two bytes that choose pitch and gate;
//   midi_player/ small MIDI files with every kind of event the player meets,
//              behind the byte that chooses tempo and tempo events;
//   soundfont/ small SoundFont banks: a stereo pair, a ROM sample, each loop
//              mode, global and layered zones, a drum bank.
// Usage: make_fuzz_seeds CORPUS_ROOT PROJECT.json...
#include <filesystem>
#include <fstream>
#include <iostream>

#include "fuzz/fuzz_support.h"
#include "host/chunks.h"
#include "host/fx_files.h"
#include "host/project_resource.h"
#include "platform/library_resource.h"
#include "platform/vst2.h"
#include "tests/media/soundfont_writer.h"
#include "vsthost/vst_bank_files.h"

namespace {

namespace fs = std::filesystem;

void Write(const fs::path& path, std::span<const uint8_t> bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

void Write(const fs::path& path, const std::string& text) {
  Write(path, {reinterpret_cast<const uint8_t*>(text.data()), text.size()});
}

void WriteProjectSeeds(const fs::path& corpus, const fs::path& project) {
  const std::string text = ov::fuzz::ReadText(project.string());
  ov::CompileOptions options;
  options.base_directory = project.parent_path().string();
  options.messages = &ov::fuzz::QuietMessages();
  const ov::COrvaneDocBase document = ov::CompileDocument(ov::Json::parse(text), options);
  const std::string stem = project.stem().string();
  for (const int32_t version : {ov::kCurrentLoadVersion, 95300, 95000, 94000, 80, 60, 40, 9}) {
    Write(corpus / "archive" / (stem + "-" + std::to_string(version) + ".ov1"),
          document.Write(version));
  }
  Write(corpus / "text" / (stem + ".json"), text);
  Write(corpus / "text" / (stem + "-full.json"), ov::DumpDocument(document).dump(1));
  std::vector<uint8_t> stream = document.Write(document.version());
  ov::Scramble(stream);
  const std::vector<uint8_t> library = {0x7F, 'E', 'L', 'F', 2, 1, 1, 0};
  Write(corpus / "resource" / (stem + ".so"),
        ov::AppendResource(library, ov::kProjectResourceType, ov::kProjectResourceId, stream));
}

void WriteStateSeeds(const fs::path& corpus) {
  ov::CPatchManager& manager = *ov::fuzz::Project().manager;
  for (const bool preset : {false, true}) {
    const std::vector<uint8_t> chunk = ov::WriteStateChunk(manager, nullptr, preset);
    std::vector<uint8_t> flagged = {static_cast<uint8_t>(preset ? 1 : 0)};
    flagged.insert(flagged.end(), chunk.begin(), chunk.end());
    const std::string name = preset ? "program" : "bank";
    Write(corpus / "chunk" / name, flagged);
    if (!preset) Write(corpus / "lv2_state" / "bank", flagged);
    Write(corpus / "fx_file" / (name + (preset ? ".fxp" : ".fxb")),
          ov::WriteFxFile(preset ? ov::FxKind::kProgram : ov::FxKind::kBank,
                          vst2::FourCC('O', 'v', 'F', 'z'), "Fuzz program", chunk));
  }
  const std::vector<ov::VstProgramValues> programs = {
      {"Lead", {0.0f, 0.25f, 1.0f}}, {"Grüne Höhe übrige Öle und mehr", {0.5f, 0.75f, 0.125f}}};
  for (const bool bank : {true, false}) {
    Write(corpus / "vst_bank" / (bank ? "values.fxb" : "values.fxp"),
          ov::WriteVstValueFile(bank, vst2::FourCC('O', 'v', 'F', 'z'), 3, programs));
  }
  Write(corpus / "lv2_state" / "program", std::string("\x03\x01\x00\x00\x00", 5));
  Write(corpus / "resource" / "plain.so", std::string("\x7F"
                                                      "ELF no resource"));
}

}  // namespace

void AppendLe(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// A WAVE file of `frames` frames of a ramp, with a sampler loop when asked.
std::vector<uint8_t> Wave(uint16_t tag, uint16_t channels, uint16_t bits, uint32_t frames,
                          bool loop) {
  std::vector<uint8_t> chunks = {'f', 'm', 't', ' '};
  AppendLe(chunks, 16, 4);
  AppendLe(chunks, tag, 2);
  AppendLe(chunks, channels, 2);
  AppendLe(chunks, 22050, 4);
  AppendLe(chunks, 22050u * channels * bits / 8, 4);
  AppendLe(chunks, channels * bits / 8u, 2);
  AppendLe(chunks, bits, 2);
  if (loop) {
    chunks.insert(chunks.end(), {'s', 'm', 'p', 'l'});
    AppendLe(chunks, 60, 4);
    std::vector<uint8_t> smpl(60, 0);
    smpl[28] = 1;
    smpl[44] = 4;
    smpl[48] = 12;
    chunks.insert(chunks.end(), smpl.begin(), smpl.end());
  }
  chunks.insert(chunks.end(), {'d', 'a', 't', 'a'});
  const uint32_t data = frames * channels * bits / 8;
  AppendLe(chunks, data, 4);
  for (uint32_t i = 0; i < data; ++i) chunks.push_back(static_cast<uint8_t>(i * 37));
  std::vector<uint8_t> file = {80, 3, 'R', 'I', 'F', 'F'};  // 5 V, gate period 49
  AppendLe(file, static_cast<uint32_t>(chunks.size() + 4), 4);
  file.insert(file.end(), {'W', 'A', 'V', 'E'});
  file.insert(file.end(), chunks.begin(), chunks.end());
  return file;
}

void WriteWaveSeeds(const fs::path& corpus) {
  const fs::path folder = corpus / "wav_player";
  Write(folder / "pcm8_mono.wav", Wave(1, 1, 8, 64, false));
  Write(folder / "pcm16_stereo_loop.wav", Wave(1, 2, 16, 48, true));
  Write(folder / "float_mono_loop.wav", Wave(3, 1, 32, 32, true));
}

// Track chunks of a format-1 file at 24 ticks a quarter: tempo, notes in
// running status, a program change, system exclusive and the end, in the
// first; a foreign chunk; a second track that runs into the file's end.
void WriteMidiSeeds(const fs::path& corpus) {
  const std::vector<uint8_t> header = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 2, 0, 24};
  const std::vector<uint8_t> first = {
      0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,  // 120 bpm
      0x00, 0x90, 0x3C, 0x64, 0x06, 0x3E, 0x64,  // running status
      0x06, 0xC0, 0x05, 0x00, 0xF0, 0x02, 0x7E, 0xF7,
      0x0C, 0x80, 0x3C, 0x00, 0x00, 0xFF, 0x2F, 0x00};
  const std::vector<uint8_t> second = {0x00, 0x91, 0x40, 0x64, 0x81, 0x00, 0x40, 0x00};
  std::vector<uint8_t> file = {0x4E};  // 88 bpm, tempo events count
  file.insert(file.end(), header.begin(), header.end());
  const auto chunk = [&](const char* id, const std::vector<uint8_t>& body, uint32_t length) {
    file.insert(file.end(), id, id + 4);
    for (int shift = 24; shift >= 0; shift -= 8) file.push_back(static_cast<uint8_t>(length >> shift));
    file.insert(file.end(), body.begin(), body.end());
  };
  chunk("MTrk", first, static_cast<uint32_t>(first.size()));
  chunk("XFIH", {1, 2}, 2);
  chunk("MTrk", second, 0x100);
  Write(corpus / "midi_player" / "two_tracks.mid", file);
}

void WriteSoundFontSeeds(const fs::path& corpus) {
  using ov::testing::SoundFontWriter;
  SoundFontWriter writer;
  const auto ramp = [](int length) {
    std::vector<int16_t> data;
    for (int i = 0; i < length; ++i) data.push_back(static_cast<int16_t>(i * 977));
    return data;
  };
  writer.samples = {{"left", ramp(40), 4, 36, 44100, 60, 0, 1, 4},
                    {"right", ramp(40), 4, 36, 44100, 60, 0, 0, 2},
                    {"rom", ramp(16), 0, 16, 22050, 72, -20, 0, 0x8001},
                    {"mono", ramp(24), 2, 20, 32000, 69, 10, 0, 1}};
  const auto range = SoundFontWriter::Range;
  writer.instruments = {
      {"pair", {{{54, 1}}, {{43, range(0, 63)}, {53, 0}}, {{43, range(64, 127)}, {54, 3}, {53, 1}}}},
      {"rom", {{{53, 2}}}},
      {"mono", {{{44, range(0, 90)}, {54, 2}, {0, 3}, {3, -2}, {53, 3}}, {{58, 60}, {51, -12}, {53, 3}}}}};
  writer.presets = {
      {"layered", 0, 0, {{{43, range(20, 100)}}, {{41, 0}}, {{44, range(0, 63)}, {41, 2}}}},
      {"rom", 1, 0, {{{41, 1}}}},
      {"drums", 0, 128, {{{41, 2}}}}};
  Write(corpus / "soundfont" / "zones.sf2", writer.Bytes());
}

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "usage: make_fuzz_seeds CORPUS_ROOT PROJECT.json...\n";
    return 2;
  }
  const fs::path corpus = argv[1];
  try {
    for (int i = 2; i < argc; ++i) WriteProjectSeeds(corpus, argv[i]);
    WriteStateSeeds(corpus);
    WriteWaveSeeds(corpus);
    WriteMidiSeeds(corpus);
    WriteSoundFontSeeds(corpus);
  } catch (const std::exception& error) {
    std::cerr << "make_fuzz_seeds: " << error.what() << "\n";
    return 1;
  }
  return 0;
}
