// ovel-ifs-render's work: set up a fractal document as a new window's first show leaves it, load a parameter set into
// it, run the engine for a budget of steps or seconds, and save the picture. Used by main.cpp and by the tests.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/render_options.h"
#include "engine/fractal_params.h"
#include "files/file_system.h"

// A run that cannot go on; the message is the one line the user sees.
class ERenderFailed : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TRenderSummary {
  std::int64_t steps = 0;     // main steps made, random restarts included
  double seconds = 0;         // wall-clock time of the engine run
  std::int64_t restarts = 0;  // random restarts (escape or wild Lyapunov estimate)
  int orbits = 1;             // orbits and threads the run used
  int threads = 1;
  std::string picturePath;
  std::optional<std::string> paramsPath;  // written with --write-params
  std::optional<std::string> countsPath;  // written with --save-counts
  int documents = 0;                      // hit-count documents painted or merged (--retone, --merge)
  bool resumed = false;                   // --resume: the steps were added to a document's
  bool interrupted = false;               // stopped by RequestRenderStop before its budget was used up
};

struct TRenderReport {
  std::function<void(const std::string&)> warning;  // parameter file messages
  std::function<void(double fraction)> progress;    // 0..1 during the run, at most a few times a second
};

// Loads the built-in example parameter set over v, as loading a parameter file would.
void ApplyBuiltInExample(TFractalParams& v);

// Does the whole run. Raises ERenderFailed (and EParamFileOpen, EFileWrite, the writers' errors) on failure;
// on failure no picture and no parameter file is written. The files are made in files.
TRenderSummary RenderParameterSet(const TRenderOptions& options, const TRenderReport& report = {},
                                  const TFileSystem& files = SystemFileSystem());

// "rendered 5000000 steps in 0.312 s: 16025641 steps/s, 0 restarts, 8 orbits on 2 threads", numbers in the C
// locale; a run stopped by Ctrl+C says "interrupted: rendered ...", --merge "merged 4 documents: 20000000 steps",
// --retone "painted ... from a document of 5000000 steps".
std::string FormatRenderSummary(const TRenderSummary& summary);

// The program: parses args (without the program name), renders, reports on err (help goes to out) and returns
// the exit status. The progress bar is drawn on err only when errIsTerminal. A render makes its files in files.
int RunRenderCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                     bool errIsTerminal, const TFileSystem& files = SystemFileSystem());
