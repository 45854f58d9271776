// Any bytes given to a hosted plug-in's bank and program file reader, as a
// bank and as a program, give programs or an error; programs that read
// write back to bytes that read and write again unchanged.
#include <cstddef>
#include <cstdint>
#include <string>

#include "vsthost/vst_bank_files.h"

namespace {

// The id the file claims, so that most inputs reach the records; a plug-in
// of 16 programs and 64 parameters.
ov::VstFileShape ShapeFor(const uint8_t* data, std::size_t size) {
  ov::VstFileShape shape{0, 16, 64};
  if (size >= 20) {
    shape.unique_id = static_cast<int32_t>(static_cast<uint32_t>(data[16]) << 24 |
                                           static_cast<uint32_t>(data[17]) << 16 |
                                           static_cast<uint32_t>(data[18]) << 8 | data[19]);
  }
  return shape;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const ov::VstFileShape shape = ShapeFor(data, size);
  for (const bool bank : {true, false}) {
    std::string error;
    const auto programs = ov::ReadVstValueFile({data, size}, bank, shape, &error);
    if (!programs) continue;
    if (programs->size() > static_cast<std::size_t>(shape.programs)) __builtin_trap();
    const std::vector<uint8_t> written = ov::WriteVstValueFile(bank, shape.unique_id, 1, *programs);
    const auto again = ov::ReadVstValueFile(written, bank, shape, &error);
    if (!again || again->size() != programs->size() ||
        ov::WriteVstValueFile(bank, shape.unique_id, 1, *again) != written) {
      __builtin_trap();
    }
  }
  return 0;
}
