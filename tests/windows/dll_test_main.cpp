// Checks of the built plug-in as a Windows module, run under Wine:
//   serix_dll_test resources|entry|ranges MODULE
#include <cstdio>
#include <cstring>

#include "dll_checks.h"

int main(int argc, char** argv) {
  using serix::wintest::Checker;
  if (argc != 3) {
    std::fprintf(stderr, "usage: serix_dll_test resources|entry|ranges MODULE\n");
    return 2;
  }
  const char* const check = argv[1];
  const char* const module = argv[2];
  Checker checker(std::string(check) + " of " + module);
  if (std::strcmp(check, "resources") == 0) {
    serix::wintest::CheckModuleResources(checker, module);
  } else if (std::strcmp(check, "entry") == 0) {
    serix::wintest::CheckModuleEntry(checker, module);
  } else if (std::strcmp(check, "ranges") == 0) {
    serix::wintest::CheckModuleRanges(checker, module);
  } else {
    std::fprintf(stderr, "unknown check %s\n", check);
    return 2;
  }
  return checker.Finish();
}
