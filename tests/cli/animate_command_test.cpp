// ovel-ifs-render --animate, run as a user's shell or a job engine runs it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <sys/wait.h>

#include "cli/render_options.h"
#include "cli_test_support.h"
#include "document/fractal_document.h"

using namespace cli_test;

namespace {

// A short morph of a gallery set: six frames, drawn in a moment.
std::string WriteMorph(const TempFolder& folder, std::int64_t steps) {
  TFractalDocument document;
  EXPECT_FALSE(document.Load(std::string(OVEL_SOURCE_DIR) + "/docs/gallery/gumowski-mira.ifs", '.', {}).readError);
  TFractalParams v = document.Record();
  WriteParams(folder / "a.ifs", v);
  v.af[1] += 0.02;
  v.zoom *= 1.5;
  WriteParams(folder / "b.ifs", v);
  WriteBytes(folder / "morph.ovanim", "ovel-ifs animation 1\nfps 5\nsize 64 48\nsteps " + std::to_string(steps) +
                                          "\nkey 0 a.ifs\nkey 1 b.ifs\n");
  return folder / "morph.ovanim";
}

int Shell(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Render() { return std::string("'") + OVEL_RENDER_EXE + "'"; }

}  // namespace

TEST(AnimateCommand, FrameRangesRunAsSeparateProcessesGiveTheFramesOfOneRun) {
  const TempFolder folder;
  const std::string animation = WriteMorph(folder, 30000);
  ASSERT_EQ(Shell(Render() + " --animate '" + animation + "' --quiet -o '" + folder / "one/f-%04d.png'"), 0);
  // The README's recipe: GNU parallel, one job per range (two plain runs where it is not installed).
  const std::string job = Render() + " --animate '" + animation + "' --quiet --threads 1 -o '" +
                          folder / "parts/f-%04d.png' --frames ";
  if (Shell("command -v parallel > /dev/null") == 0) {
    ASSERT_EQ(Shell("parallel --will-cite " + job + "{} ::: 0-2 3-5"), 0);
  } else {
    ASSERT_EQ(Shell(job + "0-2"), 0);
    ASSERT_EQ(Shell(job + "3-5"), 0);
  }
  for (int frame = 0; frame < 6; ++frame) {
    const std::string name = "f-000" + std::to_string(frame) + ".png";
    const std::string one = ReadBytes(folder / ("one/" + name));
    ASSERT_FALSE(one.empty()) << name;
    EXPECT_EQ(ReadBytes(folder / ("parts/" + name)), one) << name;
  }
}

TEST(AnimateCommand, CtrlCKeepsTheFinishedFramesAndARunAgainGoesOn) {
  const TempFolder folder;
  // Frames that take far longer than the run is given.
  const std::string animation = WriteMorph(folder, 20'000'000);
  const std::string run = Render() + " --animate '" + animation + "' --threads 2 -o '" + folder / "f/%d.png' 2> '" +
                          folder / "err.txt'";
  // The interrupt comes once the run has made its frames' folder, so that it meets the renderer's handler and not
  // a process still starting on a loaded machine; exit status 130 is the handler's own answer.
  const std::string frames = "'" + folder / "f" + "'";
  EXPECT_EQ(Shell(run + " & pid=$!; i=0; while [ ! -d " + frames + " ] && [ $i -lt 600 ]; do sleep 0.05; i=$((i+1));" +
                  " done; sleep 0.5; kill -INT $pid; wait $pid"),
            130);
  EXPECT_NE(ReadBytes(folder / "err.txt").find("interrupted: rendered frames 0 to 5 ("), std::string::npos)
      << ReadBytes(folder / "err.txt");
  for (const auto& entry : fs::directory_iterator(folder / "f")) {
    const std::string name = entry.path().filename().string();
    EXPECT_TRUE(name.size() == 5 && name.substr(1) == ".png") << "left behind: " << name;
  }
  const bool kept = fs::exists(folder / "f/0.png");
  ASSERT_EQ(Shell(run + " --frames 0-0"), 0);
  EXPECT_NE(ReadBytes(folder / "err.txt").find(kept ? "(0 written, 1 already there)" : "(1 written, 0 already there)"),
            std::string::npos)
      << ReadBytes(folder / "err.txt");
}

TEST(AnimateCommand, RefusesOptionsTheAnimationFileDecides) {
  struct TCase {
    std::vector<std::string> args;
    std::string message;
  };
  const TCase cases[] = {
      {{"--frames", "1-2"}, "--frames needs --animate FILE.ovanim"},
      {{"--animate", "a.ovanim", "--size", "64x48", "-o", "f%d.png"},
       "--animate takes the frames' size, steps, colours and switches from the animation file: --size does not "
       "apply"},
      {{"--animate", "a.ovanim", "--white", "-o", "f%d.png"},
       "--animate takes the frames' size, steps, colours and switches from the animation file: --white does not "
       "apply"},
      {{"--animate", "a.ovanim", "x.ifs", "-o", "f%d.png"},
       "--animate reads its parameter files from the animation file: 'x.ifs'"},
      {{"--animate", "a.ovanim"}, "--animate needs the frames' file names or a video: -o DIR/frame-%04d.png"},
      {{"--animate", "a.ovanim", "--frames", "3-1", "-o", "f%d.png"},
       "invalid value '3-1' for --frames: expected A-B or A, whole numbers from 0 with A <= B"},
  };
  for (const TCase& c : cases) {
    try {
      ParseRenderArguments(c.args);
      ADD_FAILURE() << c.message;
    } catch (const ERenderUsage& e) {
      EXPECT_EQ(e.what(), c.message);
    }
  }
  const TRenderOptions single = ParseRenderArguments({"--animate", "a.ovanim", "--frames", "17", "-o", "f%d.png"});
  EXPECT_EQ(single.frames, std::pair(17, 17));
}
