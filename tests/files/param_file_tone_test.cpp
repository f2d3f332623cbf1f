// The optional tone lines after the 170 of a parameter file: written only when the tone is not the defined
// colouring's, read back exactly, and a file without them (or with damaged ones) loads with the defined colouring.
#include <gtest/gtest.h>

#include <sstream>

#include "engine/tone.h"
#include "files/param_file.h"

namespace {

std::string Written(const TFractalParams& v, char separator = '.') {
  std::ostringstream out;
  WriteParameterFile(out, v, separator);
  return out.str();
}

int LineCount(const std::string& text) {
  int lines = 0;
  for (char c : text) lines += c == '\n';
  return lines;
}

TFractalParams ReadBack(const std::string& text, char separator = '.') {
  TFractalParams v;
  v.logDensity = true;  // whatever was there before must not survive a file without tone lines
  v.toneBrightness = 7;
  std::istringstream in(text);
  const TParamReadResult r = ReadParameterFile(in, v, separator, "t.ifs", nullptr);
  EXPECT_FALSE(r.readError);
  EXPECT_EQ(r.missingCount, 0);
  return v;
}

}  // namespace

TEST(ParamFileTone, TheDefinedColouringWritesTheUsual170LinesAndLoadsWithoutLogDensity) {
  const TFractalParams plain;
  const std::string text = Written(plain);
  EXPECT_EQ(LineCount(text), kParamFileLineCount);
  const TFractalParams back = ReadBack(text);
  EXPECT_FALSE(back.logDensity);
  EXPECT_EQ(back.toneBrightness, kDefaultToneBrightness);
  EXPECT_EQ(back.toneGamma, kDefaultToneGamma);
}

TEST(ParamFileTone, ToneLinesFollowLine170AndReadBackUnderEitherSeparator) {
  TFractalParams v;
  v.logDensity = true;
  v.toneBrightness = 3.25;
  v.toneGamma = 1.75;
  for (char separator : {'.', ','}) {
    const std::string text = Written(v, separator);
    EXPECT_EQ(LineCount(text), kParamFileLineCount + 3);
    EXPECT_NE(text.find(separator == '.' ? "\r\n1\r\n3.25\r\n1.75\r\n" : "\r\n1\r\n3,25\r\n1,75\r\n"),
              std::string::npos);
    const TFractalParams back = ReadBack(text, separator);
    EXPECT_TRUE(back.logDensity);
    EXPECT_EQ(back.toneBrightness, 3.25);
    EXPECT_EQ(back.toneGamma, 1.75);
  }
}

TEST(ParamFileTone, DamagedOrOutOfRangeToneLinesGiveTheDefinedColouring) {
  TFractalParams v;
  v.logDensity = true;
  v.toneBrightness = 2;
  const std::string good = Written(v);
  const std::string head = good.substr(0, good.size() - std::string("1\r\n2\r\n2.2\r\n").size());
  ASSERT_EQ(head + "1\r\n2\r\n2.2\r\n", good);
  for (const std::string& tail : {std::string("1\r\n2\r\n"), std::string("2\r\n2\r\n2.2\r\n"),
                                  std::string("1\r\nx\r\n2.2\r\n"), std::string("1\r\n1000\r\n2.2\r\n"),
                                  std::string("1\r\n2\r\n0\r\n")}) {
    const TFractalParams back = ReadBack(head + tail);
    EXPECT_FALSE(back.logDensity) << tail;
    EXPECT_EQ(back.toneBrightness, kDefaultToneBrightness) << tail;
  }
}
