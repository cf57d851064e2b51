// The current call block and the host's memory callbacks reached through it.
#pragma once

#include <cstdint>

#include "host/call_block.h"

namespace serix {

// Set first thing on every call of the entry point; never cleared.
void SetCurrentCallBlock(CallBlock* block);
CallBlock* CurrentCallBlock();

void HostSetHandleSize(HostHandle handle, std::uint32_t size);
std::uint32_t HostGetHandleSize(HostHandle handle);
void HostLockHandle(HostHandle handle);
std::int32_t HostUnlockHandle(HostHandle handle);
std::int16_t HostMemoryError();

// Sizes the handle to size and locks it, asking memoryError after each. Returns 0 when the
// handle is locked, otherwise the host's error code. When the host refuses the lock, the
// handle goes back to the size it had, so that the host keeps its text rather than a handle
// of the new size holding whatever it put there.
std::int16_t HostResizeAndLock(HostHandle handle, std::uint32_t size);

}  // namespace serix
