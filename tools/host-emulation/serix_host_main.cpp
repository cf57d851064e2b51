// serix-host: runs the Serix plug-in as its host application does (docs/host.md).
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "host_cli.h"
#include "host_platform.h"
#include "terminal_text.h"

int main(int argc, char** argv) {
  // First: it gives the standard streams buffers of its own, which the platform may replace.
  std::ios::sync_with_stdio(false);
  serix::host::PrepareStandardStreams();
  std::vector<std::string> words(argv + 1, argv + argc);
  try {
    return serix::host::RunCommandLine(std::move(words), std::cin, std::cout, std::cerr);
  } catch (const std::exception& error) {
    // Nothing the host meets ends it with an abort and a core dump (memory running out).
    std::cerr << "serix-host: the host could not go on (" << serix::host::TerminalLine(error.what())
              << ")\n";
    return serix::host::kExitStore;
  }
}
