#include "engine/rule_storage.h"

namespace kindprobe {

void* RuleStorage::Allocate(size_t size, size_t alignment) {
  if (size > kLargestPiece) return nullptr;
  if (blocks_) {
    const size_t start = (blocks_->used + alignment - 1) & ~(alignment - 1);
    if (start + size <= blocks_->size) {
      blocks_->used = start + size;
      return blocks_->bytes.get() + start;
    }
  }
  auto block = std::unique_ptr<Block>(new (std::nothrow) Block());
  // operator new[] memory is aligned for every fundamental type.
  if (block) block->bytes.reset(new (std::nothrow) std::byte[kBlockSize]);
  if (!block || !block->bytes) {
    exhausted_ = true;
    return nullptr;
  }
  block->size = kBlockSize;
  block->used = size;
  block->next = std::move(blocks_);
  blocks_ = std::move(block);
  return blocks_->bytes.get();
}

}  // namespace kindprobe
