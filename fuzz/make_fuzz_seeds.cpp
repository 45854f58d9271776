// Writes the fuzz targets' starting corpora from projects of our own, each
// in the folder of its target under CORPUS_ROOT:
//   archive/   each project compiled at several stream versions, so that
//              old layouts are explored from the start;
//   text/      each project's JSON as written and in its full form;
//   chunk/     bank and program chunks of the patched project (a first byte
//              choosing bank or program, as the target reads it);
//   fx_file/   those chunks in bank and program files;
//   resource/  a library with a project appended, and one without.
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

namespace {

namespace fs = std::filesystem;

void Write(const fs::path& path, std::span<const uint8_t> bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
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
    const std::vector<uint8_t> chunk = ov::WriteStateChunk(manager, preset);
    std::vector<uint8_t> flagged = {static_cast<uint8_t>(preset ? 1 : 0)};
    flagged.insert(flagged.end(), chunk.begin(), chunk.end());
    const std::string name = preset ? "program" : "bank";
    Write(corpus / "chunk" / name, flagged);
    Write(corpus / "fx_file" / (name + (preset ? ".fxp" : ".fxb")),
          ov::WriteFxFile(preset ? ov::FxKind::kProgram : ov::FxKind::kBank,
                          vst2::FourCC('O', 'v', 'F', 'z'), "Fuzz program", chunk));
  }
  Write(corpus / "resource" / "plain.so", std::string("\x7F" "ELF no resource"));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "usage: make_fuzz_seeds CORPUS_ROOT PROJECT.json...\n";
    return 2;
  }
  const fs::path corpus = argv[1];
  try {
    for (int i = 2; i < argc; ++i) WriteProjectSeeds(corpus, argv[i]);
    WriteStateSeeds(corpus);
  } catch (const std::exception& error) {
    std::cerr << "make_fuzz_seeds: " << error.what() << "\n";
    return 1;
  }
  return 0;
}
