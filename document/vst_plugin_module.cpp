#include "document/vst_plugin_module.h"

#include <algorithm>

namespace ov {

constinit const SerialClass Ctl_VST_Plugin::kClass{
    "Ctl_VST_Plugin", 1, false, &MakeObject<Ctl_VST_Plugin>, &CUG_with_patches::kClass};

void Ctl_VST_Plugin::Serialize(FieldWalker& walker) {
  const int32_t version = walker.LoadVersion();
  if (version > 49) CUG::Serialize(walker);
  walker.String("file_name", file_name_);
  if (walker.Loading() && version < 55) {
    const std::size_t slash = file_name_.find_last_of("/\\");
    if (slash != std::string::npos) file_name_.erase(0, slash + 1);
  }
  if (version >= 55) walker.Int32("unique_id", unique_id_);
  walker.Int32("chunk_flag", chunk_flag_);
  walker.Int32("parameter_count", parameter_count_);
  int32_t program_count = static_cast<int32_t>(programs_.size());
  walker.Int32("program_count", program_count);
  walker.Int32("current_program", current_program_);
  if (version > 38 && chunk_flag_ != 0) {
    walker.SizedBytes("bank_chunk", bank_chunk_, CountForm::kInt32);
  }

  const std::size_t values = static_cast<std::size_t>(std::max(parameter_count_, 0));
  const bool with_values = chunk_flag_ == 0;
  const bool with_chunk = chunk_flag_ != 0 && version < 39;
  const std::size_t program_bytes = 1 + (with_values ? 4 * values : 0) + (with_chunk ? 4 : 0);
  const std::size_t count = static_cast<std::size_t>(std::max(program_count, 0));
  if (walker.BeginList("programs", count, CountForm::kFixed, program_bytes)) {
    if (walker.Loading()) programs_.assign(count, Program{});
    for (Program& program : programs_) {
      walker.BeginElement();
      walker.String("name", program.name);
      if (with_values) {
        program.values.resize(values);
        if (walker.BeginList("values", values, CountForm::kFixed, 4)) {
          for (float& value : program.values) {
            walker.BeginElement();
            walker.Float32("", value);
            walker.EndElement();
          }
        }
        walker.EndList();
      }
      if (with_chunk) walker.SizedBytes("chunk", program.chunk, CountForm::kInt32);
      walker.EndElement();
    }
  }
  walker.EndList();
  if (version > 41) Int32Array(walker, "midi_assignments", midi_assignments_);
}

}  // namespace ov
