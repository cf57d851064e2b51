#include "host/host_calls.h"

namespace serix {
namespace {

CallBlock* currentCallBlock = nullptr;

}  // namespace

void SetCurrentCallBlock(CallBlock* block) {
  currentCallBlock = block;
}
CallBlock* CurrentCallBlock() {
  return currentCallBlock;
}

void HostSetHandleSize(HostHandle handle, std::uint32_t size) {
  currentCallBlock->setHandleSize(handle, size);
}

std::uint32_t HostGetHandleSize(HostHandle handle) {
  return currentCallBlock->getHandleSize(handle);
}

void HostLockHandle(HostHandle handle) {
  currentCallBlock->lockHandle(handle);
}

std::int32_t HostUnlockHandle(HostHandle handle) {
  return currentCallBlock->unlockHandle(handle);
}

std::int16_t HostMemoryError() {
  return currentCallBlock->memoryError();
}

std::int16_t HostResizeAndLock(HostHandle handle, std::uint32_t size) {
  const std::uint32_t sizeBefore = HostGetHandleSize(handle);
  HostSetHandleSize(handle, size);
  if (const std::int16_t error = HostMemoryError(); error != 0) return error;
  HostLockHandle(handle);
  const std::int16_t error = HostMemoryError();
  if (error != 0) HostSetHandleSize(handle, sizeBefore);
  return error;
}

}  // namespace serix
