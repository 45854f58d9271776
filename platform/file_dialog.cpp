#include "platform/file_dialog.h"

#include <chrono>
#include <thread>
#include <utility>

namespace ov {
namespace {

// A longer answer than any path: it is refused rather than cut.
constexpr std::size_t kLongestAnswer = 65536;

}  // namespace

ZenityFileDialog::~ZenityFileDialog() { Withdraw(); }

void ZenityFileDialog::Withdraw() {
  if (child_) starter_.Abandon(*child_, true);
  child_.reset();
  done_ = nullptr;
}

std::vector<std::string> ZenityFileDialog::Arguments(const FileDialogRequest& request) {
  std::vector<std::string> arguments{"--file-selection"};
  if (!request.title.empty()) arguments.push_back("--title=" + request.title);
  if (!request.start.empty()) arguments.push_back("--filename=" + request.start);
  if (request.save) {
    arguments.push_back("--save");
    arguments.push_back("--confirm-overwrite");
  }
  if (!request.types.empty()) {
    std::string patterns;
    for (const std::string& type : request.types) {
      if (!patterns.empty()) patterns += ' ';
      patterns += "*." + type;
    }
    arguments.push_back("--file-filter=" + patterns + " | " + patterns);
    arguments.push_back("--file-filter=* | *");
  }
  return arguments;
}

bool ZenityFileDialog::Ask(const FileDialogRequest& request, Done done) {
  if (Asking()) return false;
  done_ = std::move(done);
  failure_.clear();
  std::vector<std::string> arguments = Arguments(request);
  arguments.insert(arguments.begin(), "zenity");
  std::optional<ChildWithOutput> child = starter_.StartReading(arguments, "", &failure_);
  // Without zenity the next Idle answers "cancelled".
  if (child) child_ = std::make_unique<ChildWithOutput>(std::move(*child));
  return true;
}

void ZenityFileDialog::Idle() {
  starter_.Reap();
  if (!Asking()) return;
  if (!child_) {
    Answer({});
    return;
  }
  if (!starter_.ReadOutput(*child_, kLongestAnswer + 1)) return;
  FileDialogAnswer answer;
  std::string path = std::move(child_->output);
  if (!path.empty() && path.back() == '\n') path.pop_back();
  if (child_->exit_code == 0 && !path.empty() && path.size() <= kLongestAnswer) {
    answer.chosen = true;
    answer.path = std::move(path);
  } else if (child_->exit_code != 0 && child_->exit_code != 1) {
    // 1 is the user's cancel; anything else is zenity failing.
    failure_ = "zenity ended with " + std::to_string(child_->exit_code);
  }
  child_.reset();
  Answer(answer);
}

void ZenityFileDialog::Answer(const FileDialogAnswer& answer) {
  // The callback may ask again at once.
  Done done = std::move(done_);
  done_ = nullptr;
  done(answer);
}

FileDialogAnswer AskAndWait(const FileDialogRequest& request) {
  ZenityFileDialog dialog;
  FileDialogAnswer answer;
  bool answered = false;
  if (!dialog.Ask(request, [&](const FileDialogAnswer& given) {
        answer = given;
        answered = true;
      })) {
    return answer;
  }
  constexpr auto kPoll = std::chrono::milliseconds(20);
  while (true) {
    dialog.Idle();
    if (answered) return answer;
    std::this_thread::sleep_for(kPoll);
  }
}

}  // namespace ov
