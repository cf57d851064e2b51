#pragma once
// A fault in the guide, named by the guide's line so that its writer finds it at once.
#include <stdexcept>
#include <string>

namespace serix::guide {

class GuideError : public std::runtime_error {
 public:
  GuideError(int line, const std::string& message) : std::runtime_error(message), line_(line) {}
  int line() const { return line_; }

 private:
  int line_;
};

}  // namespace serix::guide
