// Runs a fuzz target without libFuzzer: every input in the given folders,
// then a fixed number of mutants of each (bits flipped, bytes and words set
// to edge values, runs cut out or doubled, the input cut short), the same
// mutants on every run. The test builds run each target so, under the
// compiler they are built with; scripts/fuzz.sh fuzzes for real.
// Usage: NAME_replay [--mutants=N] FOLDER...
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

class Mutator {
 public:
  explicit Mutator(uint64_t seed) : state_(seed | 1) {}

  std::vector<uint8_t> Mutate(std::vector<uint8_t> bytes) {
    const int steps = 1 + static_cast<int>(Below(3));
    for (int step = 0; step < steps && !bytes.empty(); ++step) {
      const std::size_t at = Below(bytes.size());
      switch (Below(6)) {
        case 0:
          bytes[at] ^= static_cast<uint8_t>(1u << Below(8));
          break;
        case 1: {
          static constexpr uint8_t kEdges[] = {0x00, 0x01, 0x7F, 0x80, 0xFE, 0xFF};
          bytes[at] = kEdges[Below(std::size(kEdges))];
          break;
        }
        case 2: {
          // Counts, sizes and indexes are mostly 32-bit little-endian words.
          static constexpr uint32_t kWords[] = {0, 1, 0x7FFF, 0xFFFF, 0x10000,
                                                0x7FFFFFFF, 0x80000000, 0xFFFFFFFF};
          const uint32_t word = kWords[Below(std::size(kWords))];
          const std::size_t room = std::min<std::size_t>(4, bytes.size() - at);
          std::memcpy(bytes.data() + at, &word, room);
          break;
        }
        case 3:
          bytes.resize(at);
          break;
        case 4:
          bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                      bytes.begin() + static_cast<std::ptrdiff_t>(at + RunAt(bytes, at)));
          break;
        default: {
          const std::vector<uint8_t> run(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                                         bytes.begin() + static_cast<std::ptrdiff_t>(at + RunAt(bytes, at)));
          bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(Below(bytes.size() + 1)),
                       run.begin(), run.end());
          break;
        }
      }
    }
    return bytes;
  }

 private:
  std::size_t RunAt(const std::vector<uint8_t>& bytes, std::size_t at) {
    return 1 + Below(std::min<std::size_t>(64, bytes.size() - at));
  }
  std::size_t Below(std::size_t bound) { return static_cast<std::size_t>(Next() % bound); }
  uint64_t Next() {  // xorshift64*
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return state_ * 0x2545F4914F6CDD1DULL;
  }
  uint64_t state_;
};

std::vector<uint8_t> ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Run(const std::vector<uint8_t>& bytes) { LLVMFuzzerTestOneInput(bytes.data(), bytes.size()); }

}  // namespace

int main(int argc, char** argv) {
  long mutants = 0;
  std::vector<fs::path> inputs;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument.starts_with("--mutants=")) {
      mutants = std::stol(argument.substr(10));
      continue;
    }
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(argument, error)) {
      if (entry.is_regular_file()) inputs.push_back(entry.path());
    }
    if (error) {
      std::cerr << argv[0] << ": cannot read " << argument << ": " << error.message() << "\n";
      return 1;
    }
  }
  if (inputs.empty()) {
    std::cerr << "usage: " << argv[0] << " [--mutants=N] FOLDER...  (no inputs found)\n";
    return 2;
  }
  std::sort(inputs.begin(), inputs.end());
  long runs = 0;
  for (std::size_t index = 0; index < inputs.size(); ++index) {
    const std::vector<uint8_t> input = ReadBytes(inputs[index]);
    Run(input);
    Mutator mutator(0x9E3779B97F4A7C15ULL * (index + 1));
    for (long m = 0; m < mutants; ++m) Run(mutator.Mutate(input));
    runs += 1 + mutants;
  }
  std::cout << runs << " inputs from " << inputs.size() << " files ran\n";
  return 0;
}
