// DicoArray: the objects of one kind, their record images kept contiguous in
// one block so that the array is read from or written to a file in one go.
//
// Objects address their image by index, so growing the block (which may move
// it) never invalidates an object pointer; the objects themselves never move.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <vector>

#include "dico/dico_base.h"

namespace tavelnor::dico {

class DicoArray {
 public:
  DicoArray(DDicoHandler* owner, int kind)
      : owner_(owner), kind_(kind), image_size_(GetKindInfo(kind).image_size) {
    view_.image_size = image_size_;
    view_.kind = static_cast<uint8_t>(kind);
    view_.owner = owner;
    view_.array = this;
  }
  virtual ~DicoArray() = default;
  DicoArray(const DicoArray&) = delete;
  DicoArray& operator=(const DicoArray&) = delete;

  DDicoHandler* Owner() const { return owner_; }
  int Kind() const { return kind_; }
  uint32_t ImageSize() const { return image_size_; }
  uint32_t Count() const { return count_; }
  uint8_t* ImageAt(uint32_t index) { return view_.data + static_cast<size_t>(index) * image_size_; }
  // The images, count x image size bytes.
  std::span<const uint8_t> Block() const {
    return {view_.data, static_cast<size_t>(count_) * image_size_};
  }

  virtual DDicoBase* At(uint32_t index) = 0;
  // Takes a block of current-size images (count = size / image size) and
  // builds one object per image.
  void Adopt(std::vector<uint8_t>&& block);
  // Takes `count` current-size images that lie in place at `offset` of a
  // buffer shared with other arrays; the first growth copies them out.
  void AdoptInPlace(std::shared_ptr<uint8_t> backing, size_t offset, uint32_t count);
  // Appends a zero image with the kind's creation values; returns the object.
  DDicoBase* Create();
  void Clear();

 protected:
  virtual void Construct(uint32_t index) = 0;
  // Room for `count` objects built by Adopt.
  virtual void Prepare(uint32_t count) = 0;
  const ArrayView* View() const { return &view_; }
  virtual void DestroyAll() = 0;

 private:
  DDicoHandler* owner_;
  int kind_;
  uint32_t image_size_;
  uint32_t count_ = 0;
  void BuildObjects();
  std::vector<uint8_t> block_;                      // own images
  std::shared_ptr<uint8_t> backing_;  // or images in place in a shared buffer
  ArrayView view_;
};

// Objects read from a file sit in one vector, sized once; objects created
// afterwards go to a deque, so that no object ever moves.
template <typename T>
class DicoArrayOf final : public DicoArray {
 public:
  using DicoArray::DicoArray;
  DDicoBase* At(uint32_t index) override {
    return index < loaded_.size() ? &loaded_[index] : &created_[index - loaded_.size()];
  }

 protected:
  void Construct(uint32_t index) override {
    if (created_.empty() && loaded_.size() < loaded_.capacity()) {
      loaded_.emplace_back(View(), index);
    } else {
      created_.emplace_back(View(), index);
    }
  }
  void Prepare(uint32_t count) override { loaded_.reserve(count); }
  void DestroyAll() override {
    created_.clear();
    loaded_.clear();
    loaded_.shrink_to_fit();
  }

 private:
  std::vector<T> loaded_;
  std::deque<T> created_;
};

std::unique_ptr<DicoArray> MakeDicoArray(DDicoHandler* owner, int kind);

}  // namespace tavelnor::dico
