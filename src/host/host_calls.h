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

}  // namespace serix
