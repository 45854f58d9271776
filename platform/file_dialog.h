// Asking the user for a file name. The dialog runs apart from the editor:
// Ask() returns at once and the answer arrives through Idle(), which the
// editor's idle calls, so the host's user-interface thread never waits for
// the user.
//
// Thread: editor (the owner's idle).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/process_starter.h"

namespace ov {

struct FileDialogRequest {
  bool save = false;
  std::string title;
  std::string start;               // a file or folder to start from; may be empty
  std::vector<std::string> types;  // extensions without the dot, e.g. "wav"
};

struct FileDialogAnswer {
  bool chosen = false;  // false: cancelled, or no dialog could be shown
  std::string path;
};

class FileDialog {
 public:
  using Done = std::function<void(const FileDialogAnswer&)>;
  virtual ~FileDialog() = default;
  // Starts asking; `done` hears the answer from a later Idle(), never from
  // inside Ask(). False while another question is open (nothing starts).
  virtual bool Ask(const FileDialogRequest& request, Done done) = 0;
  virtual void Idle() = 0;
  virtual bool Asking() const = 0;
  // The question is taken back (its asker is going): `done` is never
  // called and the dialog goes from the screen.
  virtual void Withdraw() = 0;
};

// The dialog of the desktop: "zenity --file-selection", started without a
// shell and read through a pipe in idle. Without zenity every question is
// answered "cancelled". An open dialog is closed with its owner, unanswered.
class ZenityFileDialog final : public FileDialog {
 public:
  ZenityFileDialog() = default;
  ~ZenityFileDialog() override;

  bool Ask(const FileDialogRequest& request, Done done) override;
  void Idle() override;
  bool Asking() const override { return done_ != nullptr; }
  void Withdraw() override;
  // Why the last question got no dialog (empty when it got one).
  const std::string& Failure() const { return failure_; }

  // The arguments that show `request` (without the program's name).
  static std::vector<std::string> Arguments(const FileDialogRequest& request);

 private:
  void Answer(const FileDialogAnswer& answer);

  ProcessStarter starter_;
  std::unique_ptr<ChildWithOutput> child_;
  Done done_;
  std::string failure_;
};

// Shows the desktop's dialog and waits for the user's answer, for callers
// that must answer at once: a hosted plug-in's file selector, which waits
// for its host as it would for any host's modal dialog. The audio thread
// never waits on it.
FileDialogAnswer AskAndWait(const FileDialogRequest& request);

}  // namespace ov
