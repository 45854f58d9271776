// `imbedded_file`: one file stored in the project (a sample, a MIDI file, a
// module library). What is done with it belongs to the embedded-file
// services; the document keeps its name and bytes.
//
// Threads: editor only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "document/field_walker.h"

namespace ov {

class imbedded_file : public Persistent {
 public:
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
  imbedded_file() = default;
  imbedded_file(std::string name, std::vector<uint8_t> contents)
      : name_(std::move(name)), contents_(std::move(contents)) {}
  void Serialize(FieldWalker& walker) override;

  // As stored: a path whose last component counts.
  const std::string& name() const { return name_; }
  const std::vector<uint8_t>& contents() const { return contents_; }

 private:
  std::string name_;
  std::vector<uint8_t> contents_;
};

}  // namespace ov
