// The generator as the audio master sees it: a node on the run list with its
// own sample clock, run one slice at a time. Plugs, sample blocks and the full
// event list build on this.
//
// Threads: everything here runs on the audio thread while the engine runs,
// or on the editor thread while audio is stopped (engine start and stop).
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "engine/message_queue.h"

namespace ov {

class OvAudioMaster;

class ug_base : public dsp_msg_target {
 public:
  // The payload of a notification from the editor.
  struct NotifyMessage {
    static constexpr uint32_t kId = MessageId("noti");
    uint32_t host_time_ms;
    uint32_t stream;  // always 0 for now
    uint32_t target_id;
    int32_t a;
    int32_t b;
  };

  ug_base() = default;
  ~ug_base() override = default;
  ug_base(const ug_base&) = delete;
  ug_base& operator=(const ug_base&) = delete;

  // Calls `visit` on this generator and every one it contains. Editor thread.
  virtual void VisitTree(const std::function<void(ug_base&)>& visit);
  // Engine start and stop: joins and leaves the run list.
  virtual void Open();
  virtual void Close();

  // The master's slice entry: runs `frames` samples from Clock(), delivering
  // each queued notification when the clock reaches its time.
  void Process(int32_t frames);
  // Puts a sleeping generator back on the run list.
  void Wake();

  // Runs OnNotify(a, b) at sample time `time` (at once when the store of
  // pending notifications is full: late beats lost).
  void QueueNotification(uint32_t time, int32_t a, int32_t b);
  // A generator rejoining the run list cannot act in the past: notifications
  // stamped before `time` move up to it.
  void RestampEventsBefore(uint32_t time);

  void OnMessage(uint32_t message_id, MessageReader& payload) override;

  OvAudioMaster* Master() const { return master_; }
  uint32_t Clock() const { return clock_; }
  bool IsSleeping() const { return sleeping_; }
  // Higher runs earlier in each slice. Set before the generator is opened.
  int32_t SortOrder() const { return sort_order_; }
  void SetSortOrder(int32_t order) { sort_order_ = order; }

 protected:
  // One stretch of a slice, from Clock(), never crossing a notification.
  virtual void DoProcess(int32_t frames) = 0;
  virtual void OnNotify(int32_t a, int32_t b);
  // Leaves the run list until Wake. From DoProcess or OnNotify.
  void Sleep();

 private:
  friend class OvAudioMaster;  // owns the run-list links, clock and master

  struct Notification {
    uint32_t time;
    int32_t a;
    int32_t b;
  };
  static constexpr int kMaxPendingNotifications = 16;

  void DeliverDueNotifications();

  OvAudioMaster* master_ = nullptr;
  ug_base* previous_ = nullptr;
  ug_base* next_ = nullptr;
  bool in_run_list_ = false;
  bool leaving_run_list_ = false;  // deactivated during its own slice
  bool sleeping_ = false;
  uint32_t clock_ = 0;
  int32_t sort_order_ = -1;
  // In time order: stamps are the master's sample clock when each arrived.
  std::array<Notification, kMaxPendingNotifications> pending_{};
  int pending_count_ = 0;
};

}  // namespace ov
