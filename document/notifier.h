// Notifications from document objects and plugs to whoever listens (views
// of the editor, other document objects).
//
// Threads: editor only, like the document.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

namespace ov {

enum NotificationCode : int32_t {
  kNotifyPlugDestroyed = 8,
  kNotifySelected = 9,
  kNotifyRenamed = 10,        // text: the new name
  kNotifyModuleChanged = 14,  // subject: the module whose plugs or looks changed
  kNotifyRemoved = 16,
  kNotifyChildAdded = 17,  // subject: the new child
  kNotifyExclusionToggled = 19,
  kNotifySkinChanged = 20,
  kNotifyContentsChanged = 28,
  kNotifyValueChanged = 31,
  kNotifyRectChanged = 35,  // number: the view kind, or 0
  kNotifyHighlightSet = 36,
  kNotifyEnabledChanged = 38,
};

// The number of a code-31 notification that a patch change caused: hosts
// are not told of such changes as automation.
inline constexpr int32_t kValueChangedByPatch = 1;

struct Notification {
  explicit Notification(int32_t code, const void* subject = nullptr, int32_t number = 0,
                        std::string_view text = {})
      : code(code), subject(subject), number(number), text(text) {}

  int32_t code;
  const void* subject;
  int32_t number;
  std::string_view text;
};

class Notifiable {
 public:
  virtual void OnNotify(const Notification& notification) = 0;

 protected:
  ~Notifiable() = default;
};

class Notifier {
 public:
  void AddListener(Notifiable* listener) { listeners_.push_back(listener); }
  void RemoveListener(Notifiable* listener) { std::erase(listeners_, listener); }
  // Listeners may remove themselves while being told.
  void Notify(const Notification& notification) const {
    const std::vector<Notifiable*> listeners = listeners_;
    for (Notifiable* listener : listeners) {
      if (std::find(listeners_.begin(), listeners_.end(), listener) != listeners_.end()) {
        listener->OnNotify(notification);
      }
    }
  }

 private:
  std::vector<Notifiable*> listeners_;
};

}  // namespace ov
