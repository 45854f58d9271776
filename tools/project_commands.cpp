#include "tools/project_commands.h"

#include <filesystem>

#include "document/document.h"
#include "document/project_text.h"
#include "document/text_positions.h"
#include "editor/skins/skin_folder.h"
#include "extmodules/module_library.h"
#include "host/document_project.h"
#include "host/project_facts.h"
#include "host/project_resource.h"
#include "modules/module_registry.h"
#include "platform/files.h"
#include "platform/font_files.h"
#include "platform/library_resource.h"
#include "platform/message_sink.h"

namespace ov {
namespace {

constexpr std::size_t kMaxProjectBytes = std::size_t{1} << 30;
constexpr std::size_t kMaxLibraryBytes = std::size_t{1} << 30;

// The plain stream in `path`: the project resource of a baked library,
// unscrambled, or else the file itself.
bool ReadProjectStream(const std::string& path, std::vector<uint8_t>* stream, std::string* error) {
  if (std::optional<std::vector<uint8_t>> baked =
          ReadAppendedResource(path, kProjectResourceType, kProjectResourceId)) {
    Unscramble(*baked);
    *stream = std::move(*baked);
    return true;
  }
  return ReadFileBytes(path, kMaxProjectBytes, stream, error);
}

// Puts each module plug's name beside its index, as the module's type
// declares it; the names of types the registry lacks stay unknown.
void NamePlugs(Json& node, const ModuleRegistry& modules) {
  if (node.is_array()) {
    for (Json& element : node) NamePlugs(element, modules);
    return;
  }
  if (!node.is_object()) return;
  const auto type = node.find("type");
  const Module_Info* info = type != node.end() && type->is_string()
                                ? modules.FindModule(type->get<std::string>())
                                : nullptr;
  for (auto& [key, value] : node.items()) {
    if (key != "plugs" || info == nullptr || !value.is_array()) {
      NamePlugs(value, modules);
      continue;
    }
    for (Json& plug : value) {
      const auto index = plug.find("index");
      if (!plug.is_object() || plug.contains("name") || index == plug.end() ||
          !index->is_number_integer() || index->get<int64_t>() < 0 ||
          index->get<std::size_t>() >= info->Descriptors().size()) {
        continue;
      }
      const std::string& name = info->Descriptors()[index->get<std::size_t>()].name;
      Json named = Json::object();
      for (auto& [field, field_value] : plug.items()) {
        named[field] = std::move(field_value);
        if (field == "index") named["name"] = name;
      }
      plug = std::move(named);
    }
  }
}

}  // namespace

namespace {

bool ReadProjectText(const std::string& path, const char* command_name, std::ostream& err,
                     std::string* text) {
  std::vector<uint8_t> bytes;
  std::string error;
  if (!ReadFileBytes(path, kMaxProjectBytes, &bytes, &error)) {
    err << command_name << ": " << error << "\n";
    return false;
  }
  text->assign(bytes.begin(), bytes.end());
  return true;
}

// "FILE:LINE:COLUMN", or "FILE: PATH" when the text has nothing at the path.
std::string Place(const std::string& file, std::string_view text, const std::string& where) {
  if (const std::optional<TextPosition> at = LocateJsonPath(text, where)) {
    return file + ":" + std::to_string(at->line) + ":" + std::to_string(at->column);
  }
  return file + ": " + where;
}

// Hosts see the project's "vendor" only with bit 2 of "plugin_flags", as
// stored projects have always had it; a project naming a vendor of its own
// without the bit is told why hosts will show another.
void WarnOfHiddenVendor(const Json& project, const std::string& file, std::string_view text,
                        const char* command_name, std::ostream& err) {
  const auto vendor = project.find("vendor");
  if (vendor == project.end() || !vendor->is_string() || vendor->get<std::string>().empty() ||
      vendor->get<std::string>() == kFixedVendor) {
    return;
  }
  const auto flags = project.find("plugin_flags");
  const uint64_t bits =
      flags != project.end() && flags->is_number_unsigned() ? flags->get<uint64_t>() : 0;
  if ((bits & kOptionProjectVendor) != 0) return;
  err << command_name << ": " << Place(file, text, "vendor")
      << ": warning: hosts are told the vendor \"" << kFixedVendor << "\", not \""
      << vendor->get<std::string>() << "\", unless \"plugin_flags\" has bit 2 (add 4)\n";
}

}  // namespace

std::optional<Json> ReadProjectJson(const std::string& path, const char* command_name,
                                    std::ostream& err) {
  std::string text;
  if (!ReadProjectText(path, command_name, err, &text)) return std::nullopt;
  std::string error;
  std::optional<Json> project = ParseProjectText(text, &error);
  if (!project) err << command_name << ": " << path << ": " << error << "\n";
  return project;
}

bool CompileProjectFile(const std::string& path, const char* command_name, std::ostream& err,
                        std::vector<uint8_t>* stream, CompileChecks checks, bool* refused) {
  std::string text;
  if (!ReadProjectText(path, command_name, err, &text)) return false;
  std::string error;
  const std::optional<Json> project = ParseProjectText(text, &error);
  if (!project) {
    err << command_name << ": " << path << ": " << error << "\n";
    if (refused != nullptr) *refused = true;
    return false;
  }
  if (checks != CompileChecks::kNone && project->is_object()) {
    WarnOfHiddenVendor(*project, path, text, command_name, err);
  }
  MessageSink messages;
  messages.SetLogToStderr(false);
  try {
    CompileOptions options;
    const std::filesystem::path directory = std::filesystem::path(path).parent_path();
    options.base_directory = (directory.empty() ? std::filesystem::path(".") : directory).string();
    // The example module library lies beside the program in a build tree,
    // and in lib/orvane once installed.
    if (const std::string program = ProgramFolder(); !program.empty()) {
      options.fallback_folders = {program, program + "/../lib/orvane"};
    }
    options.messages = &messages;
    options.skin_folder = [](const std::string& name, const std::string& folder,
                             std::string* error) {
      return ReadSkinFolder(name, folder, FamilyInstalled, error);
    };
    // Module libraries the project carries give the types its modules name.
    options.on_file_read = [&messages](const std::string& file) {
      RegisterModuleLibrary(ProcessModules(), "", file, file, &messages);
    };
    options.checks = checks;
    options.on_warning = [&](const std::string& where, const std::string& finding) {
      err << command_name << ": " << Place(path, text, where) << ": warning: " << finding << "\n";
    };
    const COrvaneDocBase document = CompileDocument(*project, options);
    *stream = document.Write(document.version());
  } catch (const Json::exception& parse_error) {
    err << command_name << ": " << path << ": " << parse_error.what() << "\n";
    if (refused != nullptr) *refused = true;
    return false;
  } catch (const ArchiveError& compile_error) {
    err << command_name << ": " << Place(path, text, compile_error.where()) << ": "
        << compile_error.what() << "\n";
    if (refused != nullptr) *refused = true;
    return false;
  }
  for (const Message& message : messages.Messages()) {
    err << command_name << ": " << path << ": " << message.text << "\n";
  }
  return true;
}

namespace {

bool WriteOutput(const std::string& path, std::string_view text, std::ostream& out,
                 std::string* error) {
  if (path.empty() || path == "-") {
    out << text;
    return true;
  }
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  return WriteFileBytes(path, {bytes, text.size()}, error);
}

// The generic library's debug information, split off at build time, beside
// the baked library under the name the library's debug link gives, so that
// debuggers find it there too. Linked where the file system allows, copied
// otherwise; a library without one has nothing to place.
void PlaceDebugFile(const std::string& library, const std::string& baked, std::ostream& err) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path debug = library + ".debug";
  if (!fs::is_regular_file(debug, error)) return;
  const fs::path target = fs::path(baked).parent_path() / debug.filename();
  if (fs::equivalent(debug, target, error)) return;
  fs::remove(target, error);
  error.clear();
  fs::create_hard_link(debug, target, error);
  if (error) fs::copy_file(debug, target, fs::copy_options::overwrite_existing, error);
  if (error) {
    err << "orvane bake: warning: " << target.string() << ": " << error.message()
        << " (debuggers will not find the library's debug information)\n";
  }
}

}  // namespace

bool LoadProjectDocument(const std::string& path, const char* command_name, std::ostream& err,
                         COrvaneDocBase* document, std::vector<uint8_t>* stream,
                         CompileChecks checks, bool* refused) {
  std::string error;
  if (std::filesystem::path(path).extension() == ".json") {
    if (!CompileProjectFile(path, command_name, err, stream, checks, refused)) return false;
  } else if (!ReadProjectStream(path, stream, &error)) {
    err << command_name << ": " << error << "\n";
    return false;
  }
  MessageSink messages;
  messages.SetLogToStderr(false);
  const LoadResult result = document->Load(*stream, {&messages, nullptr, true});
  for (const Message& message : messages.Messages()) {
    err << command_name << ": " << path << ": " << message.text << "\n";
  }
  if (!result.ok) {
    // A refused newer stream has told its message already.
    if (!result.refused_newer) err << command_name << ": " << path << ": " << result.message << "\n";
    return false;
  }
  if (document->FindMainContainer() == nullptr) {
    err << command_name << ": " << path << ": the project has no main container\n";
    return false;
  }
  return true;
}

int RunDumpCommand(const ProjectCommandLine& command, std::ostream& out, std::ostream& err) {
  std::vector<uint8_t> stream;
  std::string error;
  if (!ReadProjectStream(command.input_path, &stream, &error)) {
    err << "orvane dump: " << error << "\n";
    return 1;
  }
  MessageSink messages;
  messages.SetLogToStderr(false);
  COrvaneDocBase document;
  // Shown as stored: the passes that complete a loaded project are left out.
  const LoadResult result = document.Load(stream, {&messages, nullptr, false});
  for (const Message& message : messages.Messages()) {
    err << "orvane dump: " << command.input_path << ": " << message.text << "\n";
  }
  if (!result.ok) {
    // A refused newer stream has told its message already.
    if (!result.refused_newer) {
      err << "orvane dump: " << command.input_path << ": " << result.message << "\n";
    }
    return 1;
  }
  Json dumped = DumpDocument(document);
  NamePlugs(dumped, ProcessModules());
  std::string text = dumped.dump(2);
  text.push_back('\n');
  if (!WriteOutput(command.output_path, text, out, &error)) {
    err << "orvane dump: " << error << "\n";
    return 1;
  }
  return 0;
}

int RunCompileCommand(const ProjectCommandLine& command, std::ostream& out, std::ostream& err) {
  std::vector<uint8_t> stream;
  bool refused = false;
  if (!CompileProjectFile(command.input_path, "orvane compile", err, &stream,
                          command.warn_only ? CompileChecks::kWarn : CompileChecks::kRefuse,
                          &refused)) {
    return refused ? 2 : 1;
  }
  std::string error;
  if (!WriteFileBytes(command.output_path, stream, &error)) {
    err << "orvane compile: " << error << "\n";
    return 1;
  }
  out << "Wrote " << command.output_path << ": " << stream.size() << " bytes\n";
  return 0;
}

bool WriteBakedLibrary(std::vector<uint8_t> stream, const std::string& from_path,
                       const std::string& output_path, std::ostream& err) {
  constexpr const char* kName = "orvane bake";
  std::string error;
  std::vector<uint8_t> library;
  if (!ReadFileBytes(from_path, kMaxLibraryBytes, &library, &error)) {
    err << kName << ": " << error << "\n";
    return false;
  }
  Scramble(stream);
  const std::vector<uint8_t> baked =
      AppendResource(library, kProjectResourceType, kProjectResourceId, stream);
  if (!WriteFileBytes(output_path, baked, &error)) {
    err << kName << ": " << error << "\n";
    return false;
  }
  std::error_code permission_error;
  std::filesystem::permissions(
      output_path,
      std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
          std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
          std::filesystem::perms::others_exec,
      permission_error);
  if (permission_error) {
    err << kName << ": " << output_path << ": " << permission_error.message() << "\n";
    return false;
  }
  PlaceDebugFile(from_path, output_path, err);
  return true;
}

int RunBakeCommand(const BakeCommandLine& command, std::ostream& out, std::ostream& err) {
  std::vector<uint8_t> stream;
  // Read as the plug-in will read it, so that a library that cannot start
  // is never written.
  COrvaneDocBase document;
  bool refused = false;
  if (!LoadProjectDocument(command.input_path, "orvane bake", err, &document, &stream,
                           command.warn_only ? CompileChecks::kWarn : CompileChecks::kRefuse,
                           &refused)) {
    return refused ? 2 : 1;
  }
  const std::size_t project_bytes = stream.size();
  if (!WriteBakedLibrary(std::move(stream), command.from_path, command.output_path, err)) return 1;
  out << "Baked " << command.output_path << ": " << project_bytes << " project bytes into "
      << command.from_path << "\n";
  return 0;
}

}  // namespace ov
