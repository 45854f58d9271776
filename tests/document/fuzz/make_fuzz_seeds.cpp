// Writes the fuzzer's starting corpus: each seed project (JSON) compiled at
// several stream versions, so that old layouts are explored from the start.
// Usage: make_fuzz_seeds CORPUS_DIR SEED.json...
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>

#include "document/project_text.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "usage: make_fuzz_seeds CORPUS_DIR SEED.json...\n";
    return 2;
  }
  const std::filesystem::path corpus = argv[1];
  for (int i = 2; i < argc; ++i) {
    const std::filesystem::path seed = argv[i];
    std::ifstream in(seed);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    try {
      ov::CompileOptions options;
      options.base_directory = seed.parent_path().string();
      const ov::COrvaneDocBase document = ov::CompileDocument(ov::Json::parse(text), options);
      for (const int32_t version : {ov::kCurrentLoadVersion, 95300, 95000, 94000, 80, 60, 40, 9}) {
        const std::vector<uint8_t> stream = document.Write(version);
        const auto name = seed.stem().string() + "-" + std::to_string(version) + ".ov1";
        std::ofstream(corpus / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(stream.data()),
                   static_cast<std::streamsize>(stream.size()));
      }
    } catch (const std::exception& error) {
      std::cerr << seed << ": " << error.what() << "\n";
      return 1;
    }
  }
  return 0;
}
