// Skin images handed from the editor to whichever thread decodes them, so
// that a large image is never decoded while the plug-in's dispatcher lock
// is held (a host's other threads would wait for it). The editor asks under
// that lock and takes the results in its idle; the decoding runs on the
// thread that calls Decode() without the lock. Only the hand-over lists
// are guarded; no decode runs under this object's mutex.
// Thread: any.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

#include "editor/skins/skin_list.h"

namespace ov {

class ImageDecodes {
 public:
  struct Result {
    const void* owner = nullptr;       // the list that asked
    std::shared_ptr<SkinImage> image;  // the list's image, untouched meanwhile
    SkinImage decoded;                 // its pixels and description, decoded
    bool ok = false;
    bool refused = false;  // its size would pass what was left of the budget
    Point refused_size;
  };

  // Queues the stored pixels of `image` (moved out of it) for decoding.
  // `bytes_left` is what the list's budget still allows; it stands for the
  // whole batch while earlier asks are not yet taken back.
  void Ask(const void* owner, const std::shared_ptr<SkinImage>& image, std::size_t bytes_left);
  // Decodes everything asked for so far; false when nothing waited.
  bool Decode();
  // The images `owner` asked for that were decoded since its last call, in
  // the order asked; those of any other asker (a list since replaced) are
  // dropped.
  std::vector<Result> TakeDecoded(const void* owner);
  bool Busy() const;

 private:
  mutable std::mutex mutex_;
  std::vector<Result> waiting_;
  std::vector<Result> decoded_;
  int32_t decoding_ = 0;
  std::size_t bytes_left_ = 0;
};

}  // namespace ov
