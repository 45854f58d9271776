#include "editor/skins/image_decodes.h"

#include <utility>

namespace ov {

void ImageDecodes::Ask(const void* owner, Skin* skin, std::shared_ptr<SkinImage> image, Work work,
                       std::size_t bytes_left) {
  Result job;
  job.owner = owner;
  job.skin = skin;
  job.mode = image->mode;
  job.image = std::move(image);
  job.work = std::move(work);
  const std::lock_guard lock(mutex_);
  if (waiting_.empty() && decoded_.empty() && decoding_ == 0) bytes_left_ = bytes_left;
  waiting_.push_back(std::move(job));
}

bool ImageDecodes::Decode() {
  std::vector<Result> jobs;
  {
    const std::lock_guard lock(mutex_);
    if (waiting_.empty()) return false;
    jobs.swap(waiting_);
    ++decoding_;
  }
  for (Result& job : jobs) {
    std::size_t admitted = 0;
    // Admission takes its bytes from the batch's budget at once, so that
    // images decoded one after another cannot pass it together.
    const SizeCheck admit = [&](int32_t width, int32_t height) {
      const std::size_t bytes = DecodedBytes(width, height, job.mode);
      const std::lock_guard lock(mutex_);
      if (bytes > bytes_left_) return false;
      bytes_left_ -= bytes;
      admitted += bytes;
      return true;
    };
    job.load = job.work(admit);
    job.work = nullptr;
    if (job.load.kind != ImageLoad::Kind::kLoaded && admitted > 0) {
      const std::lock_guard lock(mutex_);
      bytes_left_ += admitted;
    }
  }
  const std::lock_guard lock(mutex_);
  --decoding_;
  for (Result& job : jobs) decoded_.push_back(std::move(job));
  return true;
}

std::vector<ImageDecodes::Result> ImageDecodes::TakeDecoded(const void* owner) {
  std::vector<Result> taken;
  const std::lock_guard lock(mutex_);
  for (Result& result : decoded_) {
    if (result.owner == owner) taken.push_back(std::move(result));
  }
  decoded_.clear();
  return taken;
}

}  // namespace ov
