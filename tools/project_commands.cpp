#include "tools/project_commands.h"

#include <filesystem>

#include "document/project_text.h"
#include "host/project_resource.h"
#include "media/file_bytes.h"
#include "platform/library_resource.h"
#include "platform/message_sink.h"

namespace ov {
namespace {

constexpr std::size_t kMaxProjectBytes = std::size_t{1} << 30;

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

bool WriteOutput(const std::string& path, std::string_view text, std::ostream& out,
                 std::string* error) {
  if (path.empty()) {
    out << text;
    return true;
  }
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  return WriteFileBytes(path, {bytes, text.size()}, error);
}

}  // namespace

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
  std::string text = DumpDocument(document).dump(2);
  text.push_back('\n');
  if (!WriteOutput(command.output_path, text, out, &error)) {
    err << "orvane dump: " << error << "\n";
    return 1;
  }
  return 0;
}

int RunCompileCommand(const ProjectCommandLine& command, std::ostream& out, std::ostream& err) {
  std::vector<uint8_t> text;
  std::string error;
  if (!ReadFileBytes(command.input_path, kMaxProjectBytes, &text, &error)) {
    err << "orvane compile: " << error << "\n";
    return 1;
  }
  MessageSink messages;
  messages.SetLogToStderr(false);
  std::vector<uint8_t> stream;
  try {
    const Json project = Json::parse(text.begin(), text.end());
    CompileOptions options;
    const std::filesystem::path directory = std::filesystem::path(command.input_path).parent_path();
    options.base_directory = (directory.empty() ? std::filesystem::path(".") : directory).string();
    options.messages = &messages;
    const COrvaneDocBase document = CompileDocument(project, options);
    stream = document.Write(document.version());
  } catch (const Json::exception& parse_error) {
    err << "orvane compile: " << command.input_path << ": " << parse_error.what() << "\n";
    return 1;
  } catch (const ArchiveError& compile_error) {
    err << "orvane compile: " << command.input_path << ": " << compile_error.Describe() << "\n";
    return 1;
  }
  for (const Message& message : messages.Messages()) {
    err << "orvane compile: " << command.input_path << ": " << message.text << "\n";
  }
  if (!WriteFileBytes(command.output_path, stream, &error)) {
    err << "orvane compile: " << error << "\n";
    return 1;
  }
  out << "Wrote " << command.output_path << ": " << stream.size() << " bytes\n";
  return 0;
}

}  // namespace ov
