// The host's call block and its memory callbacks, as the plug-in sees them.
//
// The host owns the block and every handle. A handle is the address of a word that holds
// the address of the data; the data carries no terminating zero and its size is the text's
// length. On 32-bit Windows every field below sits at the byte offset the host uses; on
// other platforms the pointer-sized fields simply grow.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && defined(__i386__)
#define SERIX_STDCALL __stdcall
#elif defined(__i386__)
// A 32-bit host of another system that loads the Windows module: the module calls with
// stdcall and may keep the stack aligned to only 4 bytes, as Windows code may.
#define SERIX_STDCALL __attribute__((stdcall, force_align_arg_pointer))
#else
#define SERIX_STDCALL
#endif

namespace serix {

using HostHandle = char**;
using ModuleInstance = void*;

using SetHandleSizeProc = void(SERIX_STDCALL*)(HostHandle handle, std::uint32_t size);
using GetHandleSizeProc = std::uint32_t(SERIX_STDCALL*)(HostHandle handle);
using LockHandleProc = void(SERIX_STDCALL*)(HostHandle handle);
using UnlockHandleProc = std::int32_t(SERIX_STDCALL*)(HostHandle handle);
using MemoryErrorProc = std::int16_t(SERIX_STDCALL*)();

enum class CallKind : std::uint8_t {
  kInitialise = 0,
  kIdle = 1,
  kExternalFunction = 3,
  kShutdown = 4,
  kPreferences = 5,
};

struct CallBlock {
  std::int16_t interfaceVersion;
  std::uint8_t reserved2[7];
  std::uint8_t callKind;
  std::uint8_t reserved10[2];
  std::uint32_t functionIndex;
  HostHandle argumentHandle;
  ModuleInstance moduleInstance;
  // Initialise: the plug-in's answer (a signed 32-bit value); ExternalFunction: the result
  // handle.
  std::uintptr_t result;
  std::uint8_t reserved28[8];
  SetHandleSizeProc setHandleSize;
  GetHandleSizeProc getHandleSize;
  std::uint8_t reserved44[8];
  LockHandleProc lockHandle;
  UnlockHandleProc unlockHandle;
  std::uint8_t reserved60[8];
  MemoryErrorProc memoryError;
};

#if defined(__i386__) || defined(_M_IX86)
static_assert(offsetof(CallBlock, interfaceVersion) == 0);
static_assert(offsetof(CallBlock, callKind) == 9);
static_assert(offsetof(CallBlock, functionIndex) == 12);
static_assert(offsetof(CallBlock, argumentHandle) == 16);
static_assert(offsetof(CallBlock, moduleInstance) == 20);
static_assert(offsetof(CallBlock, result) == 24);
static_assert(offsetof(CallBlock, setHandleSize) == 36);
static_assert(offsetof(CallBlock, getHandleSize) == 40);
static_assert(offsetof(CallBlock, lockHandle) == 52);
static_assert(offsetof(CallBlock, unlockHandle) == 56);
static_assert(offsetof(CallBlock, memoryError) == 68);
static_assert(sizeof(CallBlock) == 72);
#endif

inline HostHandle ResultHandleOf(const CallBlock& block) {
  return reinterpret_cast<HostHandle>(block.result);
}

}  // namespace serix

extern "C" void SERIX_STDCALL FMExternCallProc(serix::CallBlock* block);
