#include "cli/render.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "cli_test_support.h"
#include "document/first_show.h"
#include "engine/formula.h"
#include "files/file_format_writer.h"
#include "files/writer_test_support.h"

using namespace cli_test;

namespace {

// A record as a window has it after its first show, with the given presets, read back through a file.
TFractalParams Preset() {
  TFractalParams v;
  SetUpFirstShow(v, 400, 300);
  v.randomize = false;
  return v;
}

// Map 1 pulls every point to the origin; map 2 sends it to (5, 5), which the default view shows at pixel
// (299, 249) of a 400x300 picture. Only runs that use map 2 light that pixel.
TFractalParams TwoPointParams() {
  TFractalParams v = Preset();
  v.ifs0101 = true;
  v.af[1] = 0.5;
  v.af[4] = 0.5;
  v.af[19 + 5] = 5;
  v.af[19 + 6] = 5;
  return v;
}

TRenderOptions Options(const std::string& out, std::int64_t steps = 20000, std::uint64_t seed = 7) {
  TRenderOptions o;
  o.outputPath = out;
  o.steps = steps;
  o.seed = seed;
  return o;
}

std::string RenderFailure(const TRenderOptions& options, std::vector<std::string>* warnings = nullptr) {
  TRenderReport report;
  report.warning = [&](const std::string& text) {
    if (warnings) warnings->push_back(text);
  };
  try {
    RenderParameterSet(options, report);
  } catch (const std::exception& error) {
    return error.what();
  }
  return "(rendered)";
}

}  // namespace

TEST(RenderSummary, HasTheFixedFormInTheCLocale) {
  TRenderSummary s;
  s.steps = 5000000;
  s.seconds = 0.312;
  s.restarts = 0;
  s.orbits = 8;
  s.threads = 2;
  EXPECT_EQ(FormatRenderSummary(s),
            "rendered 5000000 steps in 0.312 s: 16025641 steps/s, 0 restarts, 8 orbits on 2 threads");
  s.steps = 1234567890123;
  s.seconds = 61.0004;
  s.restarts = 12;
  s.orbits = 1;
  s.threads = 1;
  EXPECT_EQ(FormatRenderSummary(s),
            "rendered 1234567890123 steps in 61.000 s: 20238685158 steps/s, 12 restarts, 1 orbit on 1 thread");
  s.seconds = 0;
  s.orbits = 256;
  EXPECT_EQ(FormatRenderSummary(s),
            "rendered 1234567890123 steps in 0.000 s: 0 steps/s, 12 restarts, 256 orbits on 1 thread");
}

TEST(Render, StopsAfterExactlyTheRequestedSteps) {
  TempFolder folder;
  for (const std::int64_t steps : {1, 255, 256, 257, 9999, 10001, 123457}) {
    const TRenderSummary summary = RenderParameterSet(Options(folder / "x.bmp", steps));
    EXPECT_EQ(summary.steps, steps);
    EXPECT_EQ(summary.picturePath, folder / "x.bmp");
  }
}

TEST(Render, CountsRestartsInsideTheStepBudget) {
  TempFolder folder;
  // Wide random coefficients make most orbits escape or go wild, so the run restarts again and again.
  TFractalParams v = Preset();
  v.ifs0104 = true;
  v.randomizer = 50;
  WriteParams(folder / "wild.ifs", v);
  // A small picture keeps the reset that every restart makes cheap.
  TRenderOptions o = Options(folder / "x.bmp", 20000);
  o.width = 8;
  o.height = 6;
  o.paramsPath = folder / "wild.ifs";
  o.random = true;
  const TRenderSummary summary = RenderParameterSet(o);
  EXPECT_EQ(summary.steps, 20000);
  EXPECT_GT(summary.restarts, 0);
}

TEST(Render, SameSeedGivesTheSameBytesAndAnotherSeedAnotherPicture) {
  TempFolder folder;
  for (const char* name : {"a.png", "a.bmp"}) {
    TRenderOptions o = Options(folder / name, 300000, 42);
    o.random = true;  // the seed must cover the random coefficients too
    RenderParameterSet(o);
    const std::string first = ReadBytes(folder / name);
    RenderParameterSet(o);
    EXPECT_EQ(ReadBytes(folder / name), first) << name;
    o.seed = 43;
    RenderParameterSet(o);
    EXPECT_NE(ReadBytes(folder / name), first) << name;
  }
}

TEST(Render, TheThreadCountDoesNotChangeThePictureAndTheOrbitCountDoes) {
  TempFolder folder;
  TRenderOptions o = Options(folder / "t.bmp", 400000, 9);
  o.threads = 1;
  const TRenderSummary one = RenderParameterSet(o);
  EXPECT_EQ(one.orbits, 8);
  EXPECT_EQ(one.threads, 1);
  EXPECT_EQ(one.steps, 400000);
  const std::string picture = ReadBytes(folder / "t.bmp");
  for (const int threads : {2, 8}) {
    o.threads = threads;
    const TRenderSummary many = RenderParameterSet(o);
    EXPECT_EQ(many.threads, threads);
    EXPECT_EQ(ReadBytes(folder / "t.bmp"), picture) << threads << " threads";
  }
  o.threads = 16;
  EXPECT_EQ(RenderParameterSet(o).threads, 8) << "never more threads than orbits";
  o.orbits = 3;
  EXPECT_EQ(RenderParameterSet(o).steps, 400000);
  EXPECT_NE(ReadBytes(folder / "t.bmp"), picture);
}

TEST(Render, MapsZeroDrawsWithOneOrbit) {
  TempFolder folder;
  TRenderOptions o = Options(folder / "m.bmp", 50000);
  o.maps = 0;
  o.threads = 4;
  const TRenderSummary summary = RenderParameterSet(o);
  EXPECT_EQ(summary.orbits, 1);
  EXPECT_EQ(summary.threads, 1);
  const std::string picture = ReadBytes(folder / "m.bmp");
  o.orbits = 1;
  RenderParameterSet(o);
  EXPECT_EQ(ReadBytes(folder / "m.bmp"), picture);
}

TEST(Render, MapsZeroKeepsTheFirstCoefficientGroupThroughout) {
  TempFolder folder;
  WriteParams(folder / "two.ifs", TwoPointParams());
  TRenderOptions o = Options(folder / "p.bmp", 50000);
  o.paramsPath = folder / "two.ifs";
  o.maps = 0;
  RenderParameterSet(o);
  const TRgbPicture onlyFirst = DecodeBmp24(ReadBytes(folder / "p.bmp"));
  ASSERT_EQ(onlyFirst.width, 400);
  EXPECT_FALSE(onlyFirst.Lit(299, 249));
  EXPECT_GT(onlyFirst.LitCount(), 0) << "the first map still draws";

  o.maps = 2;
  RenderParameterSet(o);
  EXPECT_TRUE(DecodeBmp24(ReadBytes(folder / "p.bmp")).Lit(299, 249));
}

TEST(Render, BuiltInExampleDrawsAFilledPicture) {
  TempFolder folder;
  TRenderOptions o = Options(folder / "ex.bmp", 1000000);
  o.width = 200;
  o.height = 150;
  const TRenderSummary summary = RenderParameterSet(o);
  EXPECT_EQ(summary.restarts, 0) << "the example must not wander off into random coefficients";
  const TRgbPicture picture = DecodeBmp24(ReadBytes(folder / "ex.bmp"));
  ASSERT_EQ(picture.width, 200);
  ASSERT_EQ(picture.height, 150);
  EXPECT_GT(picture.LitCount(), 200 * 150 / 8) << "the attractor covers a good part of the picture";
  EXPECT_LT(picture.LitCount(), 200 * 150) << "and leaves a background";
}

TEST(Render, WritesTheParameterSetBesideThePicture) {
  TempFolder folder;
  TRenderOptions o = Options(folder / "pic.jpeg", 1000);
  o.writeParams = true;
  const TRenderSummary summary = RenderParameterSet(o);
  EXPECT_EQ(summary.paramsPath.value_or(""), folder / "pic.ifs");
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"pic.ifs", "pic.jpeg"}));

  // The written file is the example: rendering it gives the example's picture.
  TRenderOptions fromFile = Options(folder / "b.bmp", 30000);
  fromFile.paramsPath = folder / "pic.ifs";
  RenderParameterSet(fromFile);
  RenderParameterSet(Options(folder / "a.bmp", 30000));
  EXPECT_EQ(ReadBytes(folder / "a.bmp"), ReadBytes(folder / "b.bmp"));

  // With --random the file holds the coefficients that were drawn, not the example's.
  TFractalParams example;
  LoadParameterFile(folder / "pic.ifs", example, '.', nullptr);
  o.random = true;
  RenderParameterSet(o);
  TFractalParams drawn;
  LoadParameterFile(folder / "pic.ifs", drawn, '.', nullptr);
  EXPECT_NE(drawn.af[1], example.af[1]);
  EXPECT_EQ(drawn.zoom, example.zoom) << "the view is kept";
}

TEST(Render, GrayAndBitmapFormatsConvertWithoutAsking) {
  TempFolder folder;
  RenderParameterSet(Options(folder / "g.pgm", 1000));
  EXPECT_EQ(ReadBytes(folder / "g.pgm").substr(0, 2), "P2");
  TRenderOptions o = Options(folder / "b.PBM", 1000);
  o.fileOptions.PXMWriteBinary = true;
  RenderParameterSet(o);
  EXPECT_EQ(ReadBytes(folder / "b.PBM").substr(0, 2), "P4");
}

TEST(Render, GammaOptionReachesThePngAndDoesNotOutliveTheRun) {
  TempFolder folder;
  const long double before = TPixelGraphic::DefaultGamma();
  TRenderOptions o = Options(folder / "g.png", 1000);
  o.fileOptions.ScreenGamma = 2.5L;
  RenderParameterSet(o);
  const std::string png = ReadBytes(folder / "g.png");
  const auto gama = png.find("gAMA");
  ASSERT_NE(gama, std::string::npos);
  const std::uint32_t stored = (static_cast<std::uint8_t>(png[gama + 4]) << 24) |
                               (static_cast<std::uint8_t>(png[gama + 5]) << 16) |
                               (static_cast<std::uint8_t>(png[gama + 6]) << 8) | static_cast<std::uint8_t>(png[gama + 7]);
  EXPECT_EQ(stored, 40000u) << "1 / 2.5 in units of 1/100000";
  EXPECT_EQ(TPixelGraphic::DefaultGamma(), before);

  o.fileOptions.WriteGamma = false;
  RenderParameterSet(o);
  EXPECT_EQ(ReadBytes(folder / "g.png").find("gAMA"), std::string::npos);
}

TEST(RenderFailure, BadInputsWriteNothingAndSayWhy) {
  TempFolder folder;
  const std::string out = folder / "out.png";

  TRenderOptions o = Options(out);
  o.paramsPath = folder / "absent.ifs";
  EXPECT_NE(RenderFailure(o).find("absent.ifs"), std::string::npos);

  {
    std::ostringstream text;
    WriteParameterFile(text, TwoPointParams(), '.');
    std::string file = text.str();
    std::size_t line4 = 0;
    for (int i = 0; i < 3; ++i) line4 = file.find("\r\n", line4) + 2;
    file.replace(line4, file.find("\r\n", line4) - line4, "nan");
    WriteBytes(folder / "bad.ifs", file);
  }
  o.paramsPath = folder / "bad.ifs";
  std::vector<std::string> warnings;
  EXPECT_EQ(RenderFailure(o, &warnings), "Error reading parameter file \"" + (folder / "bad.ifs") + "\" (line 4)");
  EXPECT_TRUE(warnings.empty()) << "the read error is reported once, as the error";

  WriteBytes(folder / "header.ifs", "Ovel-IFS v0.005\r\n");
  o.paramsPath = folder / "header.ifs";
  warnings.clear();
  EXPECT_EQ(RenderFailure(o, &warnings),
            "the parameter set selects nothing to draw: no G-Mira / Martin or IFS-01 variant and not Latoocarfian 01");
  EXPECT_EQ(warnings.size(), 123u);
  EXPECT_EQ(warnings.front(), "Missing variable in parameter file: " + (folder / "header.ifs") + " using defaults");

  TFractalParams zeroZoom = TwoPointParams();
  zeroZoom.zoom = 0;
  WriteParams(folder / "zero.ifs", zeroZoom);
  o.paramsPath = folder / "zero.ifs";
  EXPECT_EQ(RenderFailure(o), "the view of the parameter set cannot be drawn: zoom 0, centre 0, 0");

  // Spherical at the origin divides by zero on the first step.
  TFractalParams faulty = Preset();
  faulty.ifs0101 = true;
  faulty.none = false;
  faulty.spherical = true;
  WriteParams(folder / "fault.ifs", faulty);
  o.paramsPath = folder / "fault.ifs";
  const std::string fault = RenderFailure(o);
  EXPECT_NE(fault.find("loating point"), std::string::npos) << fault;

  EXPECT_EQ(RenderFailure(Options(folder / "out.gif")), "Unknown file extension \"gif\"");
  EXPECT_NE(RenderFailure(Options(folder / "no/such/folder/out.png")).find("does not exist"), std::string::npos);

  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"bad.ifs", "fault.ifs", "header.ifs", "zero.ifs"}))
      << "no picture, no temporary file";
}

TEST(RenderCommand, ProgressBarOnlyOnATerminalAndSummaryUnlessQuiet) {
  TempFolder folder;
  const std::vector<std::string> args = {"-o", folder / "c.bmp", "--steps", "400000", "--seed", "1"};
  std::ostringstream out, terminal, piped, quiet;
  EXPECT_EQ(RunRenderCommand(args, out, terminal, true), 0);
  EXPECT_NE(terminal.str().find("\r["), std::string::npos);
  EXPECT_NE(terminal.str().find("100%"), std::string::npos);
  EXPECT_NE(terminal.str().find("rendered 400000 steps in "), std::string::npos);

  EXPECT_EQ(RunRenderCommand(args, out, piped, false), 0);
  EXPECT_EQ(piped.str().find('\r'), std::string::npos);
  EXPECT_EQ(piped.str().rfind("rendered 400000 steps in ", 0), 0u);
  const std::string pipedText = piped.str();
  EXPECT_EQ(std::count(pipedText.begin(), pipedText.end(), '\n'), 1);

  std::vector<std::string> quietArgs = args;
  quietArgs.push_back("--quiet");
  EXPECT_EQ(RunRenderCommand(quietArgs, out, quiet, true), 0);
  EXPECT_EQ(quiet.str(), "");
  EXPECT_EQ(out.str(), "");
}

TEST(RenderCommand, SecondsBudgetEndsTheRunByTheClock) {
  TempFolder folder;
  TRenderOptions o = Options(folder / "t.bmp");
  o.seconds = 0.2;
  const TRenderSummary summary = RenderParameterSet(o);
  EXPECT_GE(summary.seconds, 0.2);
  EXPECT_GT(summary.steps, 0);
}

TEST(RenderCommand, AFullDiskIsNamedInTheErrorLineAndTheEarlierFilesStay) {
  TempFolder folder;
  WriteBytes(folder / "pic.png", "earlier picture");
  WriteBytes(folder / "pic.ifs", "earlier parameters");
  std::ostringstream out, err;
  {
    const writer_test::TFullDisk full;
    EXPECT_EQ(RunRenderCommand({"-o", folder / "pic.png", "--write-params", "--steps", "1000", "--quiet"}, out, err,
                               false, full),
              1);
  }
  EXPECT_EQ(err.str(),
            "ovel-ifs-render: error: Cannot write file \"" + (folder / "pic.png") + "\": No space left on device\n");
  EXPECT_EQ(ReadBytes(folder / "pic.png"), "earlier picture");
  EXPECT_EQ(ReadBytes(folder / "pic.ifs"), "earlier parameters");
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"pic.ifs", "pic.png"}));
}

TEST(Render, SupersamplingOneAtRadiusZeroIsThePlainRenderAndMoreIsNotTiedToThreads) {
  TempFolder folder;
  TRenderOptions o = Options(folder / "s.bmp", 300000, 5);
  RenderParameterSet(o);
  const std::string plain = ReadBytes(folder / "s.bmp");
  o.supersample = 1;
  o.filterRadius = 0;
  RenderParameterSet(o);
  EXPECT_EQ(ReadBytes(folder / "s.bmp"), plain);
  o.supersample = 3;
  o.filterRadius = 1;
  o.threads = 1;
  RenderParameterSet(o);
  const std::string fine = ReadBytes(folder / "s.bmp");
  EXPECT_NE(fine, plain);
  EXPECT_EQ(DecodeBmp24(fine).width, 400);
  o.threads = 2;
  RenderParameterSet(o);
  EXPECT_EQ(ReadBytes(folder / "s.bmp"), fine);
}

TEST(RenderFailure, ASupersampledRenderBeyondTheMemoryIsRefusedBeforeItStarts) {
  TempFolder folder;
  TRenderOptions o = Options(folder / "huge.png");
  o.width = o.height = 16384;
  o.supersample = 6;
  const std::string why = RenderFailure(o);
  EXPECT_EQ(why.rfind("the render needs ", 0), 0u) << why;
  EXPECT_NE(why.find(" MiB of memory, but only "), std::string::npos) << why;
  EXPECT_FALSE(std::filesystem::exists(folder / "huge.png"));
}
