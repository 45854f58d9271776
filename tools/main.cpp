// orvane: command-line tools, git-style subcommands. Results go to standard
// output, messages to standard error; a wrong command line prints that
// command's usage to standard error and exits 2.
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/files.h"
#include "tools/arguments.h"
#include "tools/bench.h"
#include "tools/command_help.h"
#include "tools/commands.h"
#include "tools/graph.h"
#include "tools/play.h"
#include "tools/install.h"
#include "tools/lv2_bundle.h"
#include "tools/module_reference.h"
#include "tools/project_commands.h"
#include "tools/show.h"
#include "tools/skin_info.h"
#include "tools/snapshot.h"
#include "tools/temporary_folder.h"
#include "tools/validate.h"

namespace {

constexpr int kUsageExit = 2;
using Arguments = std::span<const std::string>;

int Usage(const std::string& command, const std::string& complaint) {
  std::cerr << "orvane: " << (command.empty() ? "" : command + ": ") << complaint << "\n";
  if (const ov::CommandHelp* help = ov::FindCommandHelp(command)) {
    std::cerr << "usage: orvane " << help->usage << "\n"
              << "'orvane help " << command << "' tells more.\n";
  } else {
    ov::PrintOverview(std::cerr);
  }
  return kUsageExit;
}

// The generic plug-in library: beside the program in a build tree, in
// ../lib/lxvst once installed.
// The generic library beside the program in a build tree, else where the
// package installs it (lib/lxvst for the VST 2 one, lib/orvane for the LV2
// wrapper).
std::string DefaultGenericLibrary(bool lv2 = false) {
  namespace fs = std::filesystem;
  std::error_code error;
  const char* name = lv2 ? "orvane-lv2.so" : "orvane-vst.so";
  const fs::path program_folder = ov::ProgramFolder();
  if (program_folder.empty()) return name;
  const fs::path beside = program_folder / name;
  const fs::path installed =
      program_folder.parent_path() / "lib" / (lv2 ? "orvane" : "lxvst") / name;
  return (fs::exists(beside, error) || !fs::exists(installed, error) ? beside : installed).string();
}

// Each runner parses its own arguments; a parse failure is a usage error.
template <typename Line>
int Run(const std::string& command, const std::optional<Line>& line, const std::string& error,
        const std::function<int(const Line&)>& run) {
  return line ? run(*line) : Usage(command, error);
}

int Dispatch(const std::string& command, Arguments rest) {
  std::string error;
  if (command == "info") {
    if (rest.empty()) return Usage(command, "no library given");
    if (rest.size() >= 2 && rest[1] == "--skin") {
      if (rest.size() == 2) return Usage(command, "--skin needs a skin name");
      if (rest.size() > 3) return Usage(command, "unexpected argument '" + rest[3] + "'");
      if (rest[0].starts_with("-")) return Usage(command, "unexpected argument '" + rest[0] + "'");
      return ov::RunSkinInfoCommand(rest[0], rest[2], std::cout, std::cerr);
    }
    for (const std::string& argument : rest) {
      if (argument.starts_with("-") || &argument != &rest[0]) {
        return Usage(command, "unexpected argument '" + argument + "'");
      }
    }
    return ov::RunInfoCommand(rest[0], std::cout, std::cerr);
  }
  if (command == "modules" || command == "plugs") {
    std::string type;
    ov::ReferenceForm form = ov::ReferenceForm::kText;
    for (const std::string& argument : rest) {
      if (argument == "--json") {
        form = ov::ReferenceForm::kJson;
      } else if (argument == "--markdown" && command == "modules") {
        form = ov::ReferenceForm::kMarkdown;
      } else if (command == "modules" || !ov::TakePositional(argument, &type, &error)) {
        return Usage(command, error.empty() ? "unexpected argument '" + argument + "'" : error);
      }
    }
    if (command == "modules") return ov::RunModulesCommand(ov::BuiltInModules(), form, std::cout);
    if (type.empty()) return Usage(command, "no module type given");
    return ov::RunPlugsCommand(ov::BuiltInModules(), type, form, std::cout, std::cerr);
  }
  if (command == "render") {
    const auto line = ov::ParseRenderArguments(rest, &error);
    return Run<ov::RenderCommandLine>(command, line, error, [](ov::RenderCommandLine parsed) {
      // A JSON project is baked first, as bake would, and played from there.
      ov::TemporaryFolder folder("orvane-render-");
      if (std::filesystem::path(parsed.settings.plugin_path).extension() == ".json") {
        const std::string library = folder / "render.so";
        std::ostringstream baking;
        const int baked = ov::RunBakeCommand(
            {parsed.settings.plugin_path, library, DefaultGenericLibrary()}, baking, std::cerr);
        if (baked != 0) return baked;
        parsed.settings.plugin_path = library;
      }
      return ov::RunRenderCommand(parsed, std::cout, std::cerr, isatty(STDERR_FILENO) != 0);
    });
  }
  if (command == "dump" || command == "compile" || command == "graph") {
    const auto line = ov::ParseProjectArguments(rest, command == "compile", &error);
    if (line && command == "graph" && !line->output_path.empty() && line->output_path != "-") {
      const std::string extension = std::filesystem::path(line->output_path).extension().string();
      if (extension != ".svg" && extension != ".png" && extension != ".dot" && extension != ".gv") {
        return Usage(command, "cannot draw '" + extension + "': use .svg, .png, .dot or .gv");
      }
    }
    return Run<ov::ProjectCommandLine>(command, line, error, [&](const auto& parsed) {
      if (command == "dump") return ov::RunDumpCommand(parsed, std::cout, std::cerr);
      if (command == "graph") return ov::RunGraphCommand(parsed, std::cout, std::cerr);
      return ov::RunCompileCommand(parsed, std::cout, std::cerr);
    });
  }
  if (command == "bake") {
    auto line = ov::ParseBakeArguments(rest, &error);
    if (line && line->from_path.empty()) line->from_path = DefaultGenericLibrary(line->lv2);
    return Run<ov::BakeCommandLine>(command, line, error, [](const auto& parsed) {
      if (parsed.lv2) return ov::RunBakeLv2Command(parsed, std::cout, std::cerr);
      return ov::RunBakeCommand(parsed, std::cout, std::cerr);
    });
  }
  if (command == "bench") {
    auto line = ov::ParseBenchArguments(rest, &error);
    if (line && line->from_path.empty()) line->from_path = DefaultGenericLibrary();
    return Run<ov::BenchCommandLine>(command, line, error, [](const auto& parsed) {
      return ov::RunBenchCommand(parsed, std::cout, std::cerr);
    });
  }
  if (command == "validate") {
    const auto options = ov::ParseValidateArguments(rest, &error);
    return Run<ov::ValidateOptions>(command, options, error, [](const auto& parsed) {
      return ov::RunValidateCommand(parsed, std::cout);
    });
  }
  if (command == "install" || command == "uninstall") {
    const auto line = ov::ParseInstallArguments(rest, &error);
    return Run<ov::InstallCommandLine>(command, line, error, [&](const auto& parsed) {
      return command == "install" ? ov::RunInstallCommand(parsed, std::cout, std::cerr)
                                  : ov::RunUninstallCommand(parsed, std::cout, std::cerr);
    });
  }
  if (command == "snapshot") {
    const auto line = ov::ParseSnapshotArguments(rest, &error);
    return Run<ov::SnapshotCommandLine>(command, line, error, [](const auto& parsed) {
      return ov::RunSnapshotCommand(parsed, std::cout, std::cerr);
    });
  }
  if (command == "show") {
    const auto line = ov::ParseShowArguments(rest, &error);
    return Run<ov::ShowCommandLine>(command, line, error, [](const auto& parsed) {
      return ov::RunShowCommand(parsed, std::cout, std::cerr);
    });
  }
  if (command == "play") {
    const auto line = ov::ParsePlayArguments(rest, &error);
    return Run<ov::PlayCommandLine>(command, line, error, [](const auto& parsed) {
      return ov::RunPlayCommand(parsed, std::cout, std::cerr);
    });
  }
  return Usage("", "unknown command '" + command + "'");
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  if (arguments.empty()) {
    ov::PrintOverview(std::cerr);
    return kUsageExit;
  }
  const std::string& command = arguments[0];
  const Arguments rest(arguments.begin() + 1, arguments.end());
  if (command == "--version" || command == "-V") {
    std::cout << "orvane " << OV_VERSION << "\n";
    return 0;
  }
  if (command == "help" || command == "--help" || command == "-h") {
    if (command != "help" || rest.empty()) {
      ov::PrintOverview(std::cout);
      return 0;
    }
    const std::string& topic = rest[0] == "--help" || rest[0] == "-h" ? command : rest[0];
    const ov::CommandHelp* help = ov::FindCommandHelp(topic);
    if (help == nullptr || rest.size() > 1) {
      return Usage("help", help == nullptr ? "unknown command '" + topic + "'"
                                           : "unexpected argument '" + rest[1] + "'");
    }
    ov::PrintCommandHelp(*help, std::cout);
    return 0;
  }
  const ov::CommandHelp* help = ov::FindCommandHelp(command);
  if (help != nullptr && std::find_if(rest.begin(), rest.end(), [](const std::string& argument) {
                           return argument == "--help" || argument == "-h";
                         }) != rest.end()) {
    ov::PrintCommandHelp(*help, std::cout);
    return 0;
  }
  return Dispatch(command, rest);
}
