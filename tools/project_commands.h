// `orvane dump` and `orvane compile`: project streams to JSON and back;
// `orvane bake`: a project into a copy of the generic plug-in library.
// Each returns the process exit code: 0 on success, 1 when the work failed.
// Thread: the program's main thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "document/document.h"
#include "document/project_text.h"
#include "document/text_writer.h"
#include "host/document_project.h"
#include "tools/arguments.h"

namespace ov {

// Reads the project in `path` as the plug-in reads it: a JSON project
// (compiled under `checks`), a project stream, or the project baked into a
// library. `stream` receives its plain stream. False after telling `err` why
// not; `*refused` (when given) then says whether the JSON text itself was
// wrong, as a person writing it can mend.
bool LoadProjectDocument(const std::string& path, const char* command_name, std::ostream& err,
                         COrvaneDocBase* document, std::vector<uint8_t>* stream,
                         CompileChecks checks = CompileChecks::kWarn, bool* refused = nullptr);

// Prints every object and field of a project stream, or of the project baked
// into a plug-in library.
int RunDumpCommand(const ProjectCommandLine& command, std::ostream& out, std::ostream& err);

// Writes the project stream that a JSON project describes; 2 when the
// project's text is wrong.
int RunCompileCommand(const ProjectCommandLine& command, std::ostream& out, std::ostream& err);

// Writes a plug-in library that carries the project: the generic library
// `command.from_path` with the scrambled stream appended as its project
// resource. A project that the plug-in could not load is refused with the
// reader's error; 2 when the project's text is wrong.
// The JSON text of the project at `path`, its nesting checked while read;
// null after telling `err` why not (the line starts with `command_name`).
std::optional<Json> ReadProjectJson(const std::string& path, const char* command_name,
                                    std::ostream& err);
// The stream that the JSON project at `path` describes; false after telling
// `err` why there is none (each line starts with `command_name`, then the
// file's name with the line and column the finding is at). Findings of
// `checks` are warnings or errors as it says; `*refused` as above.
bool CompileProjectFile(const std::string& path, const char* command_name, std::ostream& err,
                        std::vector<uint8_t>* stream, CompileChecks checks = CompileChecks::kWarn,
                        bool* refused = nullptr);

int RunBakeCommand(const BakeCommandLine& command, std::ostream& out, std::ostream& err);

// Writes `output_path`: the library `from_path` with the plain project
// `stream` appended as its project resource, executable, its debug
// information beside it. False after telling `err` why not.
bool WriteBakedLibrary(std::vector<uint8_t> stream, const std::string& from_path,
                       const std::string& output_path, std::ostream& err);

}  // namespace ov
