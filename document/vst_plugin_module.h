// `Ctl_VST_Plugin`: the "VST Plugin" module's stored plug-in: its file name,
// identity, programs and MIDI assignments. Loading and running the plug-in
// belong to the hosted-plug-in subsystem; the document keeps what is stored.
//
// Threads: editor only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "document/module.h"

namespace ov {

class Ctl_VST_Plugin : public CUG_with_patches {
 public:
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
  void Serialize(FieldWalker& walker) override;

  struct Program {
    std::string name;
    std::vector<float> values;   // without program chunks: one per parameter
    std::vector<uint8_t> chunk;  // per-program chunks of versions before 39
  };

  const std::string& file_name() const { return file_name_; }
  int32_t unique_id() const { return unique_id_; }
  const std::vector<Program>& programs() const { return programs_; }

 private:
  std::string file_name_;
  int32_t unique_id_ = 0;
  int32_t chunk_flag_ = 0;
  int32_t parameter_count_ = 0;
  int32_t current_program_ = 0;
  std::vector<uint8_t> bank_chunk_;
  std::vector<Program> programs_;
  std::vector<int32_t> midi_assignments_;
};

}  // namespace ov
