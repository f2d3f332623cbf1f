// The frame under a seeded stream of random user commands, most of them arriving while passes draw and nest.
//
// CI runs the commands with the fixed seeds below: 2,000 with the single orbit, 1,000 with parallel orbits.
// The environment asks for another seed, a longer run or a replay of a printed log, best in the sanitizer build; for
// example, as one command line:
//   OVEL_STRESS_SEED=12345 OVEL_STRESS_COMMANDS=100000 QT_QPA_PLATFORM=offscreen
//       build-sanitize/tests/shell_tests --gtest_filter='FrameStress.*'
// (the filter FrameStress.*Parallel* runs only the parallel-orbit run).
// A failed check, a sanitizer report or a crash prints "stress-seed ..." and every "stress-cmd ..." line issued so
// far; those lines saved to a file and named by OVEL_STRESS_REPLAY issue the same commands again.
// OVEL_STRESS_LOG names a file that receives the whole log after a run that ended normally.
#include "frame_stress.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

// The run's figures, and what every run must show.
void RunAndCheck(TStressOptions defaults) {
  TFrameStress stress(TFrameStress::FromEnvironment(defaults));
  const TStressOptions& options = stress.Options();
  const TStressReport report = stress.Run();

  std::printf(
      "frame stress (%s): seed %llu, %lld commands in %.1f s on %d frame(s); %lld during a pass, %lld with "
      "passes nested, at most %d passes at once\n",
      options.useAllCores ? "parallel orbits" : "single orbit", static_cast<unsigned long long>(options.seed),
      static_cast<long long>(report.issued), report.seconds, report.frames, static_cast<long long>(report.duringPass),
      static_cast<long long>(report.nested), report.deepest);
  std::string counts;
  for (const auto& [name, count] : report.counts) counts += " " + name + " " + std::to_string(count);
  std::printf("  commands:%s\n", counts.c_str());
  for (const auto& [text, count] : report.messages) std::printf("  box x%d: %s\n", count, text.toStdString().c_str());

  ASSERT_TRUE(report.ok) << report.failure << " (seed " << options.seed << "; the command list is printed above)";
  EXPECT_EQ(report.issued, options.commands);
  if (options.replayFile.isEmpty()) {
    // What the run is for: commands arriving inside passes, and passes started inside passes.
    EXPECT_GE(report.duringPass * 3, report.issued);
    EXPECT_GE(report.deepest, 3);
  }
}

TEST(FrameStress, RandomCommandsWhilePassesRunAndNestLeaveEveryWindowWhole) {
  TStressOptions defaults;
  defaults.seed = 8008;
  defaults.commands = 2000;
  defaults.useAllCores = false;
  RunAndCheck(defaults);
}

// The same with "Use all processor cores": every pass that can use them draws eight orbits on worker threads.
TEST(FrameStress, RandomCommandsWhileParallelPassesRunAndNestLeaveEveryWindowWhole) {
  TStressOptions defaults;
  defaults.seed = 8009;
  // Fewer: a parallel pass takes its commands between rounds, so each command waits longer for its turn.
  defaults.commands = 1000;
  defaults.useAllCores = true;
  RunAndCheck(defaults);
}

}  // namespace
