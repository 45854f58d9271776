// Any JSON given to the text project reader gives a document or an
// ArchiveError naming where and why; any other exception, a crash or an
// overrun is a fault. A document that compiles writes a stream that loads.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "document/archive_error.h"
#include "document/project_text.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  ov::fuzz::QuietMessages().Clear();
  // Read as `orvane compile` reads a project, nesting bounded.
  std::string error;
  const std::optional<ov::Json> text =
      ov::ParseProjectText({reinterpret_cast<const char*>(data), size}, &error);
  if (!text) return 0;
  ov::CompileOptions options;
  options.base_directory = OV_FUZZ_SEEDS;
  options.max_file_bytes = std::size_t{1} << 20;
  options.messages = &ov::fuzz::QuietMessages();
  ov::COrvaneDocBase document;
  try {
    document = ov::CompileDocument(*text, options);
  } catch (const ov::ArchiveError&) {
    return 0;
  }
  const std::vector<uint8_t> stream = document.Write(document.version());
  ov::COrvaneDocBase again;
  if (!again.Load(stream, {&ov::fuzz::QuietMessages(), nullptr, true}).ok) __builtin_trap();
  return 0;
}
