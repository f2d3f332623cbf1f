// ovel-ifs-render: renders a parameter set to a picture without a display.
#include <iostream>
#include <string>
#include <vector>

#include <unistd.h>

#include "cli/render.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  return RunRenderCommand(args, std::cout, std::cerr, isatty(STDERR_FILENO) != 0);
}
