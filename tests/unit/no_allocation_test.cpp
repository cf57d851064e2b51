// The plug-in's call path allocates nothing: every function call, once the registry holds
// its values, runs without a single operator new.
#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>

#include "direct_host.h"
#include "plugin_fixture.h"

namespace {

std::atomic<bool> countingAllocations{false};
std::atomic<int> allocations{0};

}  // namespace

// The replacement pairs malloc with free; GCC cannot see that through the operators.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size) {
  if (countingAllocations) ++allocations;
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}
void operator delete(void* memory) noexcept {
  std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
  std::free(memory);
}

namespace serix::testing {
namespace {

class NoAllocationTest : public PluginTest {
 protected:
  int AllocationsDuring(std::uint32_t functionIndex, std::string_view argument) {
    direct_->SetArgument(argument);
    direct_->CallFunction(functionIndex);  // warms up the registry stand-in's buffers
    allocations = 0;
    countingAllocations = true;
    direct_->CallFunction(functionIndex);
    countingAllocations = false;
    return allocations;
  }

  std::unique_ptr<DirectHost> direct_ = std::make_unique<DirectHost>();
};

TEST_F(NoAllocationTest, FunctionCallsAllocateNothing) {
  Initialise();
  direct_->SetArgument("");
  direct_->CallFunction(kVersionIndex);  // stores the preferences
  EXPECT_EQ(AllocationsDuring(kCreateRangeIndex, "-padding 5|Item |1|1|100000|, "), 0);
  EXPECT_EQ(direct_->ResultSize(), 4923u * 13u);  // "Item 00001, " CR each
  EXPECT_EQ(AllocationsDuring(kCreateRangeIndex, "-DateMMDDYYYY||730120|1|800000|"), 0);
  EXPECT_EQ(AllocationsDuring(kVersionIndex, "-getversionnumber"), 0);
  EXPECT_EQ(direct_->ResultText(), "1100");
  EXPECT_EQ(AllocationsDuring(kOptionsIndex, "-setwarningdialogtext|Short"), 0);
  EXPECT_EQ(direct_->ResultText(), "0");
}

}  // namespace
}  // namespace serix::testing
