// orvane: command-line tools, git-style subcommands.
#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "tools/arguments.h"
#include "tools/bench.h"
#include "tools/commands.h"
#include "tools/project_commands.h"
#include "tools/show.h"
#include "tools/snapshot.h"
#include "tools/validate.h"

namespace {

constexpr int kUsageExit = 2;

constexpr const char* kUsage =
    "usage: orvane info LIB.so\n"
    "       orvane render LIB.so -o OUT.wav [--midi FILE.mid] [--note "
    "KEY:VELOCITY:START_S:LENGTH_S]...\n"
    "                     [--in IN.wav] [--seconds S] [--rate R] [--block N] [--program P]\n"
    "                     [--param INDEX=VALUE]... [--midi-out FILE.mid]\n"
    "                     [--load-state FILE.fxb|FILE.fxp] [--save-state FILE.fxb|FILE.fxp]\n"
    "       orvane dump PROJECT.ov1|LIB.so [-o OUT.json]\n"
    "       orvane compile PROJECT.json -o PROJECT.ov1\n"
    "       orvane bake PROJECT.json|PROJECT.ov1 -o NAME.so [--from orvane-vst.so]\n"
    "       orvane bench LIB.so|PROJECT.json [--voices N] [--seconds S] [--midi FILE.mid]\n"
    "       orvane validate LIB.so [--quick]\n"
    "       orvane snapshot LIB.so|PROJECT.json -o VIEW.png [--program P] [--param INDEX=VALUE]...\n"
    "                       [--scale N]\n"
    "       orvane show LIB.so|PROJECT.json [--quit-after S] [--no-engine] [--midi FILE.mid]\n"
    "                   [-o OUT.wav] [--capture WINDOW.png]\n";

int Usage(const std::string& complaint) {
  if (!complaint.empty()) std::cerr << "orvane: " << complaint << "\n";
  std::cerr << kUsage;
  return kUsageExit;
}

// The generic plug-in library is installed beside the program.
std::string DefaultGenericLibrary() {
  std::error_code error;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  return (error ? std::filesystem::path("orvane-vst.so") : program.parent_path() / "orvane-vst.so")
      .string();
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  if (arguments.empty()) return Usage("");
  const std::string& command = arguments[0];
  const std::span<const std::string> rest(arguments.begin() + 1, arguments.end());
  if (command == "help" || command == "--help" || command == "-h") {
    std::cout << kUsage;
    return 0;
  }
  if (command == "info") {
    if (rest.size() != 1) return Usage("info takes one library path");
    return ov::RunInfoCommand(rest[0], std::cout, std::cerr);
  }
  if (command == "render") {
    std::string error;
    const std::optional<ov::RenderCommandLine> line = ov::ParseRenderArguments(rest, &error);
    if (!line) return Usage("render: " + error);
    return ov::RunRenderCommand(*line, std::cout, std::cerr, isatty(STDERR_FILENO) != 0);
  }
  if (command == "dump" || command == "compile") {
    std::string error;
    const std::optional<ov::ProjectCommandLine> line =
        ov::ParseProjectArguments(rest, command == "compile", &error);
    if (!line) return Usage(command + ": " + error);
    return command == "dump" ? ov::RunDumpCommand(*line, std::cout, std::cerr)
                             : ov::RunCompileCommand(*line, std::cout, std::cerr);
  }
  if (command == "bake") {
    std::string error;
    std::optional<ov::BakeCommandLine> line = ov::ParseBakeArguments(rest, &error);
    if (!line) return Usage("bake: " + error);
    if (line->from_path.empty()) line->from_path = DefaultGenericLibrary();
    return ov::RunBakeCommand(*line, std::cout, std::cerr);
  }
  if (command == "bench") {
    std::string error;
    std::optional<ov::BenchCommandLine> line = ov::ParseBenchArguments(rest, &error);
    if (!line) return Usage("bench: " + error);
    if (line->from_path.empty()) line->from_path = DefaultGenericLibrary();
    return ov::RunBenchCommand(*line, std::cout, std::cerr);
  }
  if (command == "validate") {
    std::string error;
    const std::optional<ov::ValidateOptions> options = ov::ParseValidateArguments(rest, &error);
    if (!options) return Usage("validate: " + error);
    return ov::RunValidateCommand(*options, std::cout);
  }
  if (command == "snapshot") {
    std::string error;
    const std::optional<ov::SnapshotCommandLine> line = ov::ParseSnapshotArguments(rest, &error);
    if (!line) return Usage("snapshot: " + error);
    return ov::RunSnapshotCommand(*line, std::cout, std::cerr);
  }
  if (command == "show") {
    std::string error;
    const std::optional<ov::ShowCommandLine> line = ov::ParseShowArguments(rest, &error);
    if (!line) return Usage("show: " + error);
    return ov::RunShowCommand(*line, std::cout, std::cerr);
  }
  return Usage("unknown command '" + command + "'");
}
