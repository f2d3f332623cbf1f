// Gradients from palette maps (.map) and GIMP gradients (.ggr), good and damaged, and the gradient lines of a
// parameter file: written only when the colouring asks for them, read back exactly, ignored when damaged.
#include "files/gradient_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/tone.h"
#include "files/param_file.h"

namespace {

TGradient Map(const std::string& text) {
  std::istringstream in(text);
  return ReadMapGradient(in, "m");
}
TGradient Ggr(const std::string& text) {
  std::istringstream in(text);
  return ReadGgrGradient(in, "g");
}
template <class TRead>
std::string ErrorOf(TRead read, const std::string& text) {
  try {
    read(text);
  } catch (const EGradientFile& e) {
    return e.what();
  }
  return "(read without error)";
}

const char kTwoSegments[] =
    "GIMP Gradient\n"
    "Name: Red to blue\n"
    "2\n"
    "0.000000 0.500000 0.500000 1.000000 0.000000 0.000000 1.000000 0.000000 1.000000 0.000000 1.000000 0 0\n"
    "0.500000 0.750000 1.000000 0.000000 1.000000 0.000000 1.000000 0.000000 0.000000 1.000000 1.000000 5 0 0 0\n";

}  // namespace

TEST(GradientFile, AMapReadsItsColoursInOrderSkippingCommentsAndBlankLines) {
  const TGradient g = Map("0 0 0 black\r\n\r\n255 128 7\t; orange\n  10   20 30\n");
  ASSERT_EQ(g.colours.size(), 3u);
  EXPECT_EQ(g.name, "m");
  EXPECT_EQ(g.colours[1], (TGradientColour{255, 128, 7}));
  EXPECT_EQ(g.colours[2], (TGradientColour{10, 20, 30}));
}

TEST(GradientFile, ADamagedMapNamesItsLine) {
  const auto read = [](const std::string& t) { return Map(t); };
  EXPECT_EQ(ErrorOf(read, "0 0 0\n1 2\n"), "line 2: expected three whole numbers from 0 to 255 (red green blue)");
  EXPECT_EQ(ErrorOf(read, "0 0 0\n1 256 0\n"), "line 2: expected three whole numbers from 0 to 255 (red green blue)");
  EXPECT_EQ(ErrorOf(read, "0 0 0\n1 -2 0\n"), "line 2: expected three whole numbers from 0 to 255 (red green blue)");
  EXPECT_EQ(ErrorOf(read, "9 9 9\n"), "a palette map needs at least 2 colours, this one has 1");
  std::string many;
  for (int k = 0; k < 257; ++k) many += "1 2 3\n";
  EXPECT_EQ(ErrorOf(read, many), "line 257: a palette map has at most 256 colours");
  EXPECT_EQ(ErrorOf(read, std::string(2000, '1')), "line 1: the line is too long");
}

TEST(GradientFile, AGgrIsSampledThroughItsSegmentsAndBlendFunctions) {
  const TGradient g = Ggr(kTwoSegments);
  EXPECT_EQ(g.name, "Red to blue");
  ASSERT_EQ(g.colours.size(), static_cast<std::size_t>(kGradientSamples));
  EXPECT_EQ(g.colours.front(), (TGradientColour{255, 0, 0}));
  // The first segment blends red into green linearly with its middle at its right end, so the blend has gone only
  // half as far as the position: halfway through the segment (a quarter of the gradient) it is a quarter green.
  const TGradientColour quarter = g.colours[64];
  EXPECT_NEAR(quarter.r, 255 * 0.75, 2);
  EXPECT_NEAR(quarter.g, 255 * 0.25, 2);
  // The second is a step from green to blue at its middle, 0.75.
  EXPECT_EQ(g.colours[180], (TGradientColour{0, 255, 0}));
  EXPECT_EQ(g.colours[200], (TGradientColour{0, 0, 255}));
  EXPECT_EQ(g.colours.back(), (TGradientColour{0, 0, 255}));
}

TEST(GradientFile, ADamagedGgrNamesItsLineAndWhatIsWrong) {
  const auto read = [](const std::string& t) { return Ggr(t); };
  EXPECT_EQ(ErrorOf(read, "GIMP Palette\n"), "line 1: a GIMP gradient starts with \"GIMP Gradient\"");
  EXPECT_EQ(ErrorOf(read, "GIMP Gradient\nName: x\ntwo\n"), "line 3: expected the number of segments, 1 to 4096");
  EXPECT_EQ(ErrorOf(read, "GIMP Gradient\n3\n0 0.5 1 1 0 0 1 0 0 1 1 0 0\n"),
            "line 4: the file ends after 1 of its 3 segments");
  EXPECT_EQ(ErrorOf(read, "GIMP Gradient\n1\n0 0.5 1 1 0 0 1 0 0 1 1 0\n"),
            "line 3: a segment has 13 or 15 numbers (left, middle, right, two RGBA colours, blend, colouring), not 12");
  EXPECT_EQ(ErrorOf(read, "GIMP Gradient\n1\n0 0.7 0.5 1 0 0 1 0 0 1 1 0 0\n"),
            "line 3: the segment's left, middle and right positions must rise within 0 to 1");
  EXPECT_EQ(ErrorOf(read, "GIMP Gradient\n1\n0 0.5 1 1 0 0 1 0 x 1 1 0 0\n"), "line 3: 'x' is not a number");
  EXPECT_EQ(ErrorOf(read, "GIMP Gradient\n1\n0 0.5 1 1 0 0 1 0 0 1 1 7 0\n"), "line 3: the blend function must be 0 to 5");
  EXPECT_EQ(ErrorOf(read, "GIMP Gradient\n2\n0 0.2 0.4 1 0 0 1 0 0 1 1 0 0\n0.5 0.7 1 1 0 0 1 0 0 1 1 0 0\n"),
            "line 4: the segment does not start where the one before it ends");
}

TEST(GradientFile, FilesAreChosenByExtensionAndTheirErrorsNameThePath) {
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "ovel-gradient-test";
  std::filesystem::create_directories(folder);
  const std::string ggr = (folder / "Two.GGR").string(), map = (folder / "warm.map").string();
  std::ofstream(ggr) << kTwoSegments;
  std::ofstream(map) << "1 2 3\n4 5 6\n7 8\n";
  EXPECT_EQ(GradientFromNameOrFile(ggr).Get().name, "Red to blue");
  EXPECT_EQ(GradientFromNameOrFile("Viridis").gradient.get(), FindBuiltInGradient("viridis"));
  EXPECT_EQ(ErrorOf([](const std::string& p) { return LoadGradientFile(p); }, map),
            "Cannot read gradient \"" + map + "\": line 3: expected three whole numbers from 0 to 255 (red green blue)");
  EXPECT_EQ(ErrorOf([](const std::string& p) { return GradientFromNameOrFile(p); }, "nosuch"),
            "\"nosuch\" is neither a built-in gradient nor a .map or .ggr file");
  std::filesystem::remove_all(folder);
}

namespace {

std::string Written(const TFractalParams& v, char separator) {
  std::ostringstream out;
  WriteParameterFile(out, v, separator);
  return out.str();
}

TFractalParams ReadBack(const std::string& text, char separator) {
  TFractalParams v;
  v.colouring = TColouring::Gradient;  // must not survive a file without gradient lines
  v.vibrancy = 0.1;
  std::istringstream in(text);
  const TParamReadResult r = ReadParameterFile(in, v, separator, "t.ifs", nullptr);
  EXPECT_FALSE(r.readError);
  return v;
}

}  // namespace

TEST(ParamFileGradient, GradientSettingsFollowTheToneLinesAndReadBackUnderEitherSeparator) {
  TFractalParams v;
  auto own = std::make_shared<TGradient>();
  own->name = "my map";
  own->colours = {{1, 2, 3}, {250, 128, 0}, {9, 99, 199}};
  v.gradient = {own};
  v.colouring = TColouring::Gradient;
  v.gradientView = {0.375, 2.5, true};
  v.vibrancy = 0.625;
  v.colourPositions = {0.25, 0.75, 0.125};
  for (const char separator : {'.', ','}) {
    const std::string text = Written(v, separator);
    EXPECT_NE(text.find("\r\nmy map\r\n010203fa80000963c7\r\n"), std::string::npos);
    const TFractalParams back = ReadBack(text, separator);
    EXPECT_EQ(back.colouring, TColouring::Gradient);
    EXPECT_EQ(back.gradient.Get(), *own);
    EXPECT_EQ(back.gradientView, v.gradientView);
    EXPECT_EQ(back.vibrancy, v.vibrancy);
    EXPECT_EQ(back.colourPositions, v.colourPositions);
    EXPECT_FALSE(back.logDensity);
  }
  // A built-in gradient reads back as the built-in itself.
  v.gradient = BuiltInGradientRef("ocean");
  EXPECT_EQ(ReadBack(Written(v, '.'), '.').gradient.gradient.get(), FindBuiltInGradient("ocean"));
}

TEST(ParamFileGradient, AFileWithoutGradientLinesOrWithADamagedOneLoadsTheDefinedColouring) {
  const TFractalParams plain;
  EXPECT_EQ(Written(plain, '.').find("plasma"), std::string::npos) << "the defined colouring writes no gradient";
  EXPECT_EQ(ReadBack(Written(plain, '.'), '.').colouring, TColouring::Defined);
  TFractalParams v;
  v.colouring = TColouring::Gradient;
  v.toneGamma = 3;
  const std::string good = Written(v, '.');
  const auto damaged = [&](const std::string& from, const std::string& to) {
    std::string text = good;
    const std::size_t at = text.rfind(from);
    EXPECT_NE(at, std::string::npos) << from;
    return text.replace(at, from.size(), to);
  };
  for (const std::string& text :
       {damaged("\r\n0.5\r\n", "\r\n1.5\r\n"), damaged("\r\n1\r\nplasma", "\r\n2\r\nplasma"),
        damaged("0d0887", "0d08g7"), damaged("\r\n0.5\r\n", "\r\n"), good.substr(0, good.size() - 5)}) {
    const TFractalParams back = ReadBack(text, '.');
    EXPECT_EQ(back.colouring, TColouring::Defined);
    EXPECT_EQ(back.colourPositions, kDefaultColourPositions);
    EXPECT_EQ(back.toneGamma, 3) << "the tone lines before them still count";
  }
  EXPECT_EQ(ReadBack(good, '.').colouring, TColouring::Gradient);
}
