// Bank (.fxb) and program (.fxp) files of a hosted plug-in. A plug-in that
// keeps its state as chunks has it saved as one chunk inside the chunk-file
// layout; any other plug-in gets the published value layout, all integers
// and values big-endian:
//   bank:    0 'CcnK', 4 byte size, 8 'FxBk', 12 version 1, 16 unique id,
//            20 plug-in version, 24 program count, 28..155 zero, then one
//            program record per program;
//   program: 0 'CcnK', 4 byte size, 8 'FxCk', 12 version 1, 16 unique id,
//            20 plug-in version, 24 parameter count, 28 name (28 bytes),
//            then the parameter values as 32-bit floats.
// Files are hostile input: magics, counts and lengths are checked, names
// end within their field, and nothing of a bad file is applied.
//
// Threads: the parsing functions on any thread; those given a wrapper on
// the editor thread.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ov {

class VST_Wrapper;

struct VstProgramValues {
  std::string name;
  std::vector<float> values;
};

// What a value file must fit: the plug-in's id, programs and parameters.
struct VstFileShape {
  int32_t unique_id = 0;
  int32_t programs = 1;
  int32_t parameters = 0;
};

// The value layout of `programs` (a bank when `bank`, else the first
// program alone). Names keep at most 27 bytes.
std::vector<uint8_t> WriteVstValueFile(bool bank, int32_t unique_id, int32_t plugin_version,
                                       std::span<const VstProgramValues> programs);

// Reads the value layout for a plug-in of `shape`: the programs beyond the
// plug-in's and the values beyond its parameters are left out. An id other
// than the plug-in's gives "This file not compatible\n" in `error`.
std::optional<std::vector<VstProgramValues>> ReadVstValueFile(std::span<const uint8_t> bytes,
                                                               bool bank, const VstFileShape& shape,
                                                               std::string* error);

// The bytes of the plug-in's bank or current program in the layout that
// fits it. Empty, with `error`, when the plug-in gives no chunk.
std::vector<uint8_t> SaveVstFile(const VST_Wrapper& plugin, bool bank, std::string* error);

// Loads a bank or program file into the plug-in: for a bank every program
// it holds, for a program the current one; the current program stays
// selected. False, with `error`, when the file does not fit the plug-in;
// nothing is changed then.
bool LoadVstFile(VST_Wrapper& plugin, std::span<const uint8_t> bytes, bool bank,
                 std::string* error);

}  // namespace ov
