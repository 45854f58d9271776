// Skin images handed from the editor to whichever thread decodes them, so
// that a large image is never decoded while the plug-in's dispatcher lock
// is held (a host's other threads would wait for it). The editor asks under
// that lock and takes the results in its idle; the work runs on the thread
// that calls Decode() without the lock. Only the hand-over lists are
// guarded; no decode runs under this object's mutex.
// Thread: any.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "editor/skins/skin_list.h"

namespace ov {

// What reading one image gave.
struct ImageLoad {
  enum class Kind { kLoaded, kMissing, kRefused, kDamaged };
  Kind kind = Kind::kMissing;
  SkinPixels pixels;
  ImageDescription description;
  Point refused_size;               // kRefused: the size that would pass the budget
  std::vector<std::string> errors;  // files that are there but unreadable
  std::string last_tried;           // kMissing: the path it is reported by
};

class ImageDecodes {
 public:
  // Reads the image, asking `admit` for its size before decoding it. Runs
  // on the decoding thread: it may touch only what it owns.
  using Work = std::function<ImageLoad(const SizeCheck& admit)>;

  struct Result {
    const void* owner = nullptr;       // the list that asked
    Skin* skin = nullptr;              // the owner's skin the image is listed in
    std::shared_ptr<SkinImage> image;  // the list's image, untouched meanwhile
    SkinMode mode = SkinMode::kColour;
    Work work;
    ImageLoad load;
  };

  // Queues `work` for `image` of `skin`. `bytes_left` is what the list's
  // budget still allows; it stands for the whole batch while earlier asks
  // are not yet taken back.
  void Ask(const void* owner, Skin* skin, std::shared_ptr<SkinImage> image, Work work,
           std::size_t bytes_left);
  // Runs everything asked for so far; false when nothing waited.
  bool Decode();
  // The images `owner` asked for that were read since its last call, in
  // the order asked; those of any other asker (a list since replaced) are
  // dropped.
  std::vector<Result> TakeDecoded(const void* owner);

 private:
  mutable std::mutex mutex_;
  std::vector<Result> waiting_;
  std::vector<Result> decoded_;
  int32_t decoding_ = 0;
  std::size_t bytes_left_ = 0;
};

}  // namespace ov
