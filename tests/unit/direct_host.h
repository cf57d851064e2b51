// A minimal host for testing inner routines directly: one argument and one result handle
// over fixed buffers, callbacks that never allocate, and a switch that makes the next lock
// fail. It installs its call block as the current one, as the entry point would.
#pragma once

#include <cstring>
#include <string>
#include <string_view>

#include "host/call_block.h"
#include "host/host_calls.h"

namespace serix::testing {

class DirectHost {
 public:
  static constexpr std::uint32_t kCapacity = 70000;

  DirectHost() {
    instance_ = this;
    block_.setHandleSize = &SetSize;
    block_.getHandleSize = &GetSize;
    block_.lockHandle = &Lock;
    block_.unlockHandle = &Unlock;
    block_.memoryError = &MemoryError;
    block_.argumentHandle = &argument_.data;
    block_.result = reinterpret_cast<std::uintptr_t>(&result_.data);
    SetCurrentCallBlock(&block_);
  }
  ~DirectHost() {
    SetCurrentCallBlock(nullptr);
    instance_ = nullptr;
  }
  DirectHost(const DirectHost&) = delete;
  DirectHost& operator=(const DirectHost&) = delete;

  void SetArgument(std::string_view text) {
    std::memcpy(argument_.bytes, text.data(), text.size());
    argument_.size = static_cast<std::uint32_t>(text.size());
  }
  HostHandle argument() { return &argument_.data; }
  HostHandle result() { return &result_.data; }
  std::string ResultText() const { return {result_.bytes, result_.size}; }
  std::uint32_t ResultSize() const { return result_.size; }
  int locks() const { return argument_.locks + result_.locks; }
  void FailNextLock() { failNextLock_ = true; }

  // An external-function call of the plug-in through its entry point.
  void CallFunction(std::uint32_t functionIndex) {
    block_.callKind = static_cast<std::uint8_t>(CallKind::kExternalFunction);
    block_.functionIndex = functionIndex;
    FMExternCallProc(&block_);
  }

 private:
  struct Block {
    char bytes[kCapacity] = {};
    char* data = bytes;
    std::uint32_t size = 0;
    int locks = 0;
  };

  Block& Of(HostHandle handle) { return handle == &argument_.data ? argument_ : result_; }

  static void SERIX_STDCALL SetSize(HostHandle handle, std::uint32_t size) {
    instance_->error_ = size <= kCapacity ? 0 : -108;
    if (instance_->error_ == 0) instance_->Of(handle).size = size;
  }
  static std::uint32_t SERIX_STDCALL GetSize(HostHandle handle) {
    return instance_->Of(handle).size;
  }
  static void SERIX_STDCALL Lock(HostHandle handle) {
    instance_->error_ = instance_->failNextLock_ ? -108 : 0;
    if (instance_->error_ == 0) ++instance_->Of(handle).locks;
    instance_->failNextLock_ = false;
  }
  static std::int32_t SERIX_STDCALL Unlock(HostHandle handle) {
    Block& block = instance_->Of(handle);
    if (block.locks > 0) --block.locks;
    return 0;
  }
  static std::int16_t SERIX_STDCALL MemoryError() { return instance_->error_; }

  static inline DirectHost* instance_ = nullptr;
  CallBlock block_{};
  Block argument_;
  Block result_;
  std::int16_t error_ = 0;
  bool failNextLock_ = false;
};

}  // namespace serix::testing
