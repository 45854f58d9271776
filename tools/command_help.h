// What `orvane help` prints: each command's usage line, what it does and
// its options.
// Thread: any.
#pragma once

#include <ostream>
#include <span>
#include <string_view>

namespace ov {

struct CommandHelp {
  const char* name;
  const char* usage;    // after "usage: orvane "
  const char* summary;  // one line
  const char* options;  // one option a line, or empty
};

std::span<const CommandHelp> AllCommandHelp();
const CommandHelp* FindCommandHelp(std::string_view name);

// The usage line, the summary and the options.
void PrintCommandHelp(const CommandHelp& help, std::ostream& out);
// Every command's usage line and summary.
void PrintOverview(std::ostream& out);

}  // namespace ov
