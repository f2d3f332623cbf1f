// ovel-ifs-render: renders a parameter set to a picture without a display.
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include <unistd.h>

#include "cli/hit_count_commands.h"
#include "cli/render.h"

namespace {

// The first Ctrl+C (or SIGTERM) asks the render to stop and write what it has; the handler then steps aside, so a
// second one ends the program at once with the system's default action. Files are only ever renamed into place
// when complete, so what exists stays as it was.
extern "C" void StopOnSignal(int signal) {
  RequestRenderStop();
  std::signal(signal, SIG_DFL);
}

}  // namespace

int main(int argc, char** argv) {
  std::signal(SIGINT, StopOnSignal);
  std::signal(SIGTERM, StopOnSignal);
  const std::vector<std::string> args(argv + 1, argv + argc);
  return RunRenderCommand(args, std::cout, std::cerr, isatty(STDERR_FILENO) != 0);
}
