// A small checker for the Windows test programs, which run under Wine without GoogleTest:
// it counts comparisons and failures, prints the first failures in full and gives the
// program's exit code.
#pragma once

#include <concepts>
#include <cstdio>
#include <string>
#include <string_view>

namespace serix::wintest {

// Byte text made readable: printable ASCII as is, everything else as \xHH.
inline std::string Visible(std::string_view text) {
  std::string shown;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 32 && byte < 127 && byte != '\\') {
      shown.push_back(c);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      shown += escaped;
    }
  }
  return shown;
}

class Checker {
 public:
  explicit Checker(std::string_view name) : name_(name) {}

  // One comparison; describe() names the case and is called only when it fails.
  template <std::invocable Describe>
  bool Equal(std::string_view expected, std::string_view actual, Describe describe) {
    ++checks_;
    if (expected == actual) return true;
    std::string detail = "expected \"";
    detail.append(Visible(expected)).append("\", got \"").append(Visible(actual)).append("\"");
    Fail(describe(), detail);
    return false;
  }
  bool Equal(std::string_view expected, std::string_view actual, std::string_view what) {
    return Equal(expected, actual, [&] { return std::string(what); });
  }

  template <std::invocable Describe>
  bool EqualNumber(long long expected, long long actual, Describe describe) {
    ++checks_;
    if (expected == actual) return true;
    std::string detail = "expected ";
    detail.append(std::to_string(expected)).append(", got ").append(std::to_string(actual));
    Fail(describe(), detail);
    return false;
  }
  bool EqualNumber(long long expected, long long actual, std::string_view what) {
    return EqualNumber(expected, actual, [&] { return std::string(what); });
  }

  bool True(bool condition, std::string_view what) {
    ++checks_;
    if (condition) return true;
    Fail(std::string(what), "does not hold");
    return false;
  }

  long long checks() const { return checks_; }
  long long failures() const { return failures_; }

  // Prints the totals; the exit code is 0 when every check passed, and 1 when none ran,
  // since a test that compared nothing proves nothing.
  int Finish() const {
    std::printf("%s: %lld checks, %lld failures\n", name_.c_str(), checks_, failures_);
    std::fflush(stdout);
    return failures_ == 0 && checks_ > 0 ? 0 : 1;
  }

 private:
  static constexpr long long kMaxPrinted = 20;

  void Fail(const std::string& what, const std::string& detail) {
    if (++failures_ <= kMaxPrinted) {
      std::printf("FAILED %s: %s\n", what.c_str(), detail.c_str());
    } else if (failures_ == kMaxPrinted + 1) {
      std::printf("(further failures are counted, not printed)\n");
    }
  }

  std::string name_;
  long long checks_ = 0;
  long long failures_ = 0;
};

}  // namespace serix::wintest
