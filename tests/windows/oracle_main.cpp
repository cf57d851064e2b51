// The oracle checks as one Windows program, run under Wine:
//   serix_oracle dates FIRST LAST   every day number from FIRST to LAST
//   serix_oracle numbers            number writing and the error-number text
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "oracle.h"

namespace {

// Besides "/" for every day, "-" and "." for every day with a number divisible by this.
constexpr std::int32_t kSeparatorSampleEvery = 61;

int Usage() {
  std::fprintf(stderr, "usage: serix_oracle dates FIRST LAST | numbers\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  using serix::wintest::Checker;
  if (argc == 4 && std::strcmp(argv[1], "dates") == 0) {
    const auto first = static_cast<std::int32_t>(std::strtol(argv[2], nullptr, 10));
    const auto last = static_cast<std::int32_t>(std::strtol(argv[3], nullptr, 10));
    if (first > last) return Usage();
    Checker checker("dates " + std::to_string(first) + ".." + std::to_string(last));
    serix::wintest::CheckDatesAgainstSystemTime(checker, first, last, kSeparatorSampleEvery);
    return checker.Finish();
  }
  if (argc == 2 && std::strcmp(argv[1], "numbers") == 0) {
    Checker numbers("number writing");
    serix::wintest::CheckNumbersAgainstWsprintf(numbers);
    Checker errorText("error-number text");
    serix::wintest::CheckErrorTextAgainstWsprintf(errorText);
    const int numbersResult = numbers.Finish();
    const int errorTextResult = errorText.Finish();
    return numbersResult != 0 ? numbersResult : errorTextResult;
  }
  return Usage();
}
