// Opening documents with the desktop's own handler: `xdg-open PATH`,
// started with an argument vector (never a shell) and reaped in the
// owner's idle. A project may come from anyone, so what it names is
// checked first: a path that does not exist is refused, and so are
// programs (executable files) and ".desktop" launchers unless the user set
// ORVANE_ALLOW_COMMANDS=1.
//
// Thread: the owner's (the editor thread).
#pragma once

#include <string>
#include <string_view>

#include "platform/process_starter.h"

namespace ov {

class DocumentOpener {
 public:
  enum class Outcome {
    kStarted,      // xdg-open was started
    kNotOpened,    // a verb this desktop has no opener for: only told
    kRefused,      // the path is missing, or a program that is not allowed
    kFailed,       // xdg-open could not start
  };

  // Carries out `verb` on `path`: "", "open" and "edit" open the path,
  // "explore" opens the folder that holds it (a folder: itself); "find",
  // "print", "properties" and anything else are not carried out. `why`
  // receives a sentence for every outcome but kStarted.
  Outcome Open(std::string_view verb, const std::string& path, std::string* why);
  // Collects openers that have ended; how many still run.
  int Reap() { return starter_.Reap(); }

 private:
  ProcessStarter starter_;
};

}  // namespace ov
