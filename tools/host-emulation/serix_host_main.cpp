// serix-host: runs the Serix plug-in as its host application does (docs/host.md).
#include <iostream>
#include <string>
#include <vector>

#include "host_cli.h"
#include "host_platform.h"

int main(int argc, char** argv) {
  serix::host::PrepareStandardStreams();
  std::ios::sync_with_stdio(false);
  std::vector<std::string> words(argv + 1, argv + argc);
  return serix::host::RunCommandLine(std::move(words), std::cin, std::cout, std::cerr);
}
