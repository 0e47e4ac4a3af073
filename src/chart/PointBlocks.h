#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace corvel {

// Points kept in fixed blocks that are never moved or copied once filled.
// A log running "limitless" reaches ten million points; a container that
// grows by reallocating holds its old and its new copy for a moment, half
// again the memory the points need. Here a point costs its own size, and an
// append costs the same at any count.
template <typename T, int BlockShift = 16>
class PointBlocks {
public:
    static constexpr std::size_t kBlockSize = std::size_t{1} << BlockShift;

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }

    void push_back(const T& value) {
        if ((size_ & kMask) == 0 && (size_ >> BlockShift) == blocks_.size())
            blocks_.push_back(std::make_unique_for_overwrite<T[]>(kBlockSize));
        blocks_[size_ >> BlockShift][size_ & kMask] = value;
        ++size_;
    }

    const T& operator[](std::size_t i) const { return blocks_[i >> BlockShift][i & kMask]; }
    const T& front() const { return (*this)[0]; }
    const T& back() const { return (*this)[size_ - 1]; }

    // Empties the store and gives its memory back.
    void clear() {
        blocks_.clear();
        blocks_.shrink_to_fit();
        size_ = 0;
    }

private:
    static constexpr std::size_t kMask = kBlockSize - 1;

    std::vector<std::unique_ptr<T[]>> blocks_;
    std::size_t size_ = 0;
};

}  // namespace corvel
