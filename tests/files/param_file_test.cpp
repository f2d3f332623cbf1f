#include "files/param_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "files/safe_file.h"

namespace {

namespace fs = std::filesystem;

// A record whose every stored field differs from its neighbours, so that a shifted or swapped line shows.
TFractalParams DistinctParams() {
  TFractalParams v;
  v.zoom = 0.23;
  v.xCenter = -0.125;
  v.xMax = 10.144927536231885;
  v.yCenter = 1.0 / 3.0;
  v.yMax = 7.608695652173913;
  v.red = 0.68;
  v.green = 0.8;
  v.blue = 0.92;
  v.intensity = 30;
  v.probability = 0.1;
  v.randomizer = 2;
  v.latoocarfian02 = true;
  v.ifs01 = true;
  v.none = true;
  v.swirl = true;
  v.bent = true;
  v.mira0103 = true;
  v.mira0113 = true;
  v.ifs0101 = true;
  v.ifs0108 = true;
  for (int k = 1; k <= kCoefficientCount; ++k) {
    v.af[k] = (k % 2 == 0 ? -1 : 1) * (k * 0.1234567890123456789 + 1e-7 * k);
    v.af2[k] = std::pow(10.0, k - 30) * (1 + k / 100.0);
  }
  return v;
}

std::string Written(const TFractalParams& v, char separator = '.') {
  std::ostringstream out;
  WriteParameterFile(out, v, separator);
  return out.str();
}

std::vector<std::string> SplitCrLf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  EXPECT_EQ(start, text.size()) << "text after the last line end";
  return lines;
}

std::string Join(const std::vector<std::string>& lines, const std::string& end = "\r\n") {
  std::string text;
  for (const auto& line : lines) text += line + end;
  return text;
}

struct TLoad {
  TParamReadResult result;
  std::vector<std::string> messages;
};

TLoad Read(const std::string& bytes, TFractalParams& v, char separator = '.', const std::string& caption = "c.ifs") {
  TLoad load;
  std::istringstream in(bytes);
  load.result = ReadParameterFile(in, v, separator, caption,
                                  [&](const std::string& text) { load.messages.push_back(text); });
  return load;
}

double Through15Digits(double x) {
  double value = 0;
  EXPECT_TRUE(ParseGeneralNumber(FormatGeneralNumber(x, '.'), '.', value)) << x;
  return value;
}

void ExpectStoredFieldsEqual(const TFractalParams& a, const TFractalParams& b) {
  EXPECT_EQ(Written(a), Written(b));
}

class TempFolder {
 public:
  TempFolder() {
    path_ = fs::temp_directory_path() / ("param_file_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~TempFolder() { fs::remove_all(path_); }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(path_)) names.push_back(entry.path().filename().string());
    return names;
  }

 private:
  fs::path path_;
};

}  // namespace

TEST(GeneralNumberFormat, WritesShortestFormWithFifteenDigitsAndTheEForm) {
  const struct {
    double value;
    const char* text;
  } cases[] = {
      {2, "2"},
      {-0.5, "-0.5"},
      {0.04, "0.04"},
      {0, "0"},
      {-0.0, "0"},
      {1e-5, "1E-5"},
      {2.5e20, "2.5E20"},
      {0.0001, "0.0001"},
      {0.00012345, "0.00012345"},
      {0.000099999, "9.9999E-5"},
      {1e15, "1E15"},
      {999999999999999, "999999999999999"},
      {999999999999999.9, "1E15"},
      {2.0 / 3.0, "0.666666666666667"},
      {0.1 + 0.2, "0.3"},
      {123456789012345678.0, "1.23456789012346E17"},
      {-1.5e-100, "-1.5E-100"},
      {1e300, "1E300"},
      {5e-324, "4.94065645841247E-324"},
      {100, "100"},
      {1234.5, "1234.5"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatGeneralNumber(c.value, '.'), c.text) << c.value;
}

TEST(GeneralNumberFormat, UsesTheGivenDecimalSeparatorAndNamesNonFiniteValues) {
  EXPECT_EQ(FormatGeneralNumber(-0.5, ','), "-0,5");
  EXPECT_EQ(FormatGeneralNumber(2.5e20, ','), "2,5E20");
  EXPECT_EQ(FormatGeneralNumber(7, ','), "7");
  EXPECT_EQ(FormatGeneralNumber(std::nan(""), '.'), "NAN");
  EXPECT_EQ(FormatGeneralNumber(HUGE_VAL, '.'), "INF");
  EXPECT_EQ(FormatGeneralNumber(-HUGE_VAL, '.'), "-INF");
  EXPECT_TRUE(IsDotDecimal('.'));
  EXPECT_FALSE(IsDotDecimal(','));
}

TEST(GeneralNumberParse, AcceptsNumbersAndRefusesEverythingElse) {
  const struct {
    const char* text;
    double value;
  } good[] = {{"2", 2},       {"-0.5", -0.5},     {"+0.5", 0.5},      {"  0.5  ", 0.5}, {".5", 0.5},
              {"5.", 5},      {"1E-5", 1e-5},     {"2.5e+20", 2.5e20}, {"1E-400", 0},   {"0E999999999999", 0},
              {"1.7976931348623157E308", 1.7976931348623157e308}};
  for (const auto& c : good) {
    double value = -99;
    EXPECT_TRUE(ParseGeneralNumber(c.text, '.', value)) << c.text;
    EXPECT_EQ(value, c.value) << c.text;
  }
  const char* bad[] = {"",    " ",   "nan",  "NAN",   "inf",   "-INF",  "infinity", "1E309", "-1e400", "0x10",
                       "1e",  "e5",  ".",    "-",     "1.2.3", "0,5",   "1 2",      "1e5.5", "--1",    "five",
                       "\t1", "1\t", "1E+",  "1,000"};
  for (const char* text : bad) {
    double value = 42;
    EXPECT_FALSE(ParseGeneralNumber(text, '.', value)) << text;
    EXPECT_EQ(value, 42) << "a refused text must not change the value: " << text;
  }
  double value = 0;
  EXPECT_FALSE(ParseGeneralNumber(std::string("1\0", 2), '.', value));
  EXPECT_TRUE(ParseGeneralNumber("0,25", ',', value));
  EXPECT_EQ(value, 0.25);
}

TEST(ParamFileWriter, WritesTheHundredSeventyLineLayout) {
  TFractalParams v = DistinctParams();
  const auto lines = SplitCrLf(Written(v));
  ASSERT_EQ(lines.size(), 170u);
  EXPECT_EQ(lines[0], "Ovel-IFS v0.005");
  EXPECT_EQ(lines[1], "0.23");               // zoom
  EXPECT_EQ(lines[2], "-0.125");             // xCenter
  EXPECT_EQ(lines[3], "10.1449275362319");   // xMax
  EXPECT_EQ(lines[4], "0.333333333333333");  // yCenter
  EXPECT_EQ(lines[6], "0.68");               // red
  EXPECT_EQ(lines[7], "0.8");                // green before blue
  EXPECT_EQ(lines[8], "0.92");
  EXPECT_EQ(lines[9], "30");
  EXPECT_EQ(lines[10], "0.1");
  EXPECT_EQ(lines[11], "2");
  const char* flags = "01010001000100101" "0010000000001" "10000001";
  for (int line = 13; line <= 50; ++line) {
    EXPECT_EQ(lines[line - 1], std::string(1, flags[line - 13])) << "line " << line;
  }
  for (int k = 1; k <= 60; ++k) {
    EXPECT_EQ(lines[49 + 2 * k - 1], FormatGeneralNumber(v.af[k], '.')) << "af[" << k << "]";
    EXPECT_EQ(lines[50 + 2 * k - 1], FormatGeneralNumber(v.af2[k], '.')) << "af2[" << k << "]";
  }
  v.bent = false;
  EXPECT_EQ(SplitCrLf(Written(v))[28], "0") << "line 29 repeats bent";
}

TEST(ParamFileWriter, WritesTheUsersDecimalSeparator) {
  const auto lines = SplitCrLf(Written(DistinctParams(), ','));
  EXPECT_EQ(lines[1], "0,23");
  EXPECT_EQ(lines[7], "0,8");
  EXPECT_EQ(lines[9], "30");
}

TEST(ParamFileReader, ReadsBackWhatTheWriterWroteUnderEitherSeparator) {
  const TFractalParams original = DistinctParams();
  for (const char separator : {'.', ','}) {
    TFractalParams v;
    v.maps = 3;
    v.invert = true;
    const auto load = Read(Written(original, separator), v, separator);
    EXPECT_FALSE(load.result.readError);
    EXPECT_TRUE(load.messages.empty());
    ExpectStoredFieldsEqual(v, original);
    EXPECT_EQ(v.xMax, Through15Digits(original.xMax));
    EXPECT_EQ(v.af[7], Through15Digits(original.af[7]));
    EXPECT_EQ(v.af2[1], Through15Digits(original.af2[1]));
    EXPECT_EQ(v.green, 0.8);
    EXPECT_EQ(v.blue, 0.92);
    EXPECT_EQ(v.maps, 3) << "maps is not stored";
    EXPECT_TRUE(v.invert) << "White is not stored";
  }
}

TEST(ParamFileReader, BentTakesTheValueOfLineTwentyNine) {
  auto lines = SplitCrLf(Written(DistinctParams()));
  lines[26] = "1";
  lines[28] = "0";
  TFractalParams v;
  Read(Join(lines), v);
  EXPECT_FALSE(v.bent);
}

TEST(ParamFileReader, HeaderOnlyFileGivesTheMissingMessage123TimesAndChangesNothing) {
  const TFractalParams before = DistinctParams();
  for (const std::string bytes : {"Ovel-IFS v0.005\r\n", "Ovel-IFS v0.005", "", "\n"}) {
    TFractalParams v = before;
    const auto load = Read(bytes, v, '.', "/home/u/pic.ifs");
    EXPECT_EQ(load.messages.size(), 123u) << "file " << ::testing::PrintToString(bytes);
    EXPECT_EQ(load.result.missingCount, 123);
    EXPECT_FALSE(load.result.readError);
    for (const auto& message : load.messages) {
      EXPECT_EQ(message, "Missing variable in parameter file: /home/u/pic.ifs using defaults");
    }
    ExpectStoredFieldsEqual(v, before);
  }
}

TEST(ParamFileReader, AnEmptyLineSkipsTheViewAndColoursThenReadsOnShifted) {
  std::vector<std::string> lines = {"header", "0.5", "1", "2", ""};
  for (int i = 6; i <= 175; ++i) lines.push_back(std::to_string(i * 10));
  TFractalParams v;
  v.red = -1;
  v.intensity = -2;
  const auto load = Read(Join(lines), v);
  EXPECT_EQ(load.messages.size(), 1u);
  EXPECT_EQ(v.zoom, 0.5);
  EXPECT_EQ(v.xMax, 2);
  EXPECT_EQ(v.yCenter, 0) << "line 5's slot found the empty line";
  EXPECT_EQ(v.red, -1) << "lines 6 to 9 are not read";
  EXPECT_EQ(v.intensity, -2) << "line 10's slot only re-arms";
  EXPECT_EQ(v.probability, 60) << "line 11's slot reads the file's line 6";
  EXPECT_EQ(v.randomizer, 70);
  EXPECT_FALSE(v.latoocarfian01) << "flags are false unless the line is exactly 1";
  EXPECT_EQ(v.af[1], 460) << "from here on every slot reads five lines earlier";
  EXPECT_EQ(v.af2[60], 1650);
}

TEST(ParamFileReader, ReadsACommaFileUnderAPointLocaleAndTheOtherWayRound) {
  const TFractalParams original = DistinctParams();
  TFractalParams underPoint;
  EXPECT_FALSE(Read(Written(original, ','), underPoint, '.').result.readError);
  ExpectStoredFieldsEqual(underPoint, original);
  TFractalParams underComma;
  EXPECT_FALSE(Read(Written(original, '.'), underComma, ',').result.readError);
  ExpectStoredFieldsEqual(underComma, original);

  auto lines = SplitCrLf(Written(original));
  lines[9] = "0,5";
  TFractalParams v;
  Read(Join(lines), v, '.');
  EXPECT_EQ(v.intensity, 0.5);
  lines[9] = "0.5";
  Read(Join(lines), v, ',');
  EXPECT_EQ(v.intensity, 0.5);
}

TEST(ParamFileReader, FlagIsTrueOnlyForExactlyOne) {
  auto lines = SplitCrLf(Written(DistinctParams()));
  const std::pair<const char*, bool> cases[] = {{"1", true},  {"-1", false}, {"true", false}, {"0", false},
                                                {"1 ", false}, {" 1", false}, {"01", false},   {"1.0", false}};
  for (const auto& [text, expected] : cases) {
    lines[19] = text;  // none
    TFractalParams v;
    v.none = !expected;
    Read(Join(lines), v);
    EXPECT_EQ(v.none, expected) << text;
  }
}

TEST(ParamFileReader, BadNumberEndsTheLoadKeepingWhatWasReadSoFar) {
  const TFractalParams before;
  const TFractalParams file = DistinctParams();
  for (const char* bad : {"nan", "inf", "-INF", "1E309", "1,5,5", "x", " "}) {
    auto lines = SplitCrLf(Written(file));
    lines[3] = bad;  // xMax
    TFractalParams v = before;
    const auto load = Read(Join(lines), v);
    EXPECT_TRUE(load.result.readError) << bad;
    EXPECT_EQ(load.result.errorLine, 4) << bad;
    ASSERT_EQ(load.messages.size(), 1u) << bad;
    EXPECT_EQ(load.messages[0], "Error reading parameter file");
    EXPECT_EQ(v.zoom, file.zoom) << "lines before the bad one keep their new values";
    EXPECT_EQ(v.xCenter, file.xCenter);
    EXPECT_EQ(v.xMax, before.xMax) << "the bad line and the rest keep their old values";
    EXPECT_EQ(v.af[60], before.af[60]);
  }
}

TEST(ParamFileReader, BadCoefficientAfterAGapReportsTheFilesLineNumber) {
  std::vector<std::string> lines = {"h", ""};  // slot 2 misses; slots 3 to 9 and the flags are skipped
  lines.push_back("1");                         // slot 11 (slot 10 re-arms)
  lines.push_back("oops");                      // slot 12
  TFractalParams v;
  const auto load = Read(Join(lines), v);
  EXPECT_TRUE(load.result.readError);
  EXPECT_EQ(load.result.errorLine, 4);
  EXPECT_EQ(v.probability, 1);
  EXPECT_EQ(load.messages.size(), 2u);
}

TEST(ParamFileReader, AcceptsEveryLineEndAndAMissingFinalNewline) {
  const TFractalParams original = DistinctParams();
  const auto lines = SplitCrLf(Written(original));
  std::string mixed;
  for (std::size_t i = 0; i < lines.size(); ++i) mixed += lines[i] + (i % 3 == 0 ? "\r\n" : i % 3 == 1 ? "\n" : "\r");
  std::string unterminated = Join(lines, "\n");
  unterminated.pop_back();
  for (const std::string& bytes : {Join(lines, "\n"), Join(lines, "\r"), mixed, unterminated}) {
    TFractalParams v;
    const auto load = Read(bytes, v);
    EXPECT_TRUE(load.messages.empty());
    ExpectStoredFieldsEqual(v, original);
  }
}

TEST(ParamFileReader, SurvivesNulBytesAndHugeLines) {
  auto lines = SplitCrLf(Written(DistinctParams()));
  lines[0] = std::string(1 << 20, 'h');  // the header is skipped whatever its length
  lines[12] = std::string(1 << 20, '1');  // an overlong flag is not "1"
  lines[13] = std::string("1\0", 2);
  TFractalParams v;
  auto load = Read(Join(lines), v);
  EXPECT_FALSE(load.result.readError);
  EXPECT_FALSE(v.latoocarfian01);
  EXPECT_FALSE(v.latoocarfian02);
  EXPECT_EQ(v.af2[60], Through15Digits(DistinctParams().af2[60]));

  lines[2] = "0." + std::string(1 << 20, '5');
  load = Read(Join(lines), v);
  EXPECT_TRUE(load.result.readError) << "a number line longer than any number is unreadable";
  EXPECT_EQ(load.result.errorLine, 3);

  lines[2] = std::string("0.5\0", 4);
  EXPECT_TRUE(Read(Join(lines), v).result.readError);
}

TEST(ParamFileReader, IgnoresTheHeaderTextAndLinesAfterTheLast) {
  auto lines = SplitCrLf(Written(DistinctParams()));
  lines[0] = "";
  lines.push_back("garbage");
  lines.push_back("nan");
  TFractalParams v;
  const auto load = Read(Join(lines), v);
  EXPECT_TRUE(load.messages.empty());
  ExpectStoredFieldsEqual(v, DistinctParams());
}

TEST(ParamFileReader, SilentCallbackIsAllowed) {
  std::istringstream in("h\r\n");
  TFractalParams v;
  const auto result = ReadParameterFile(in, v, '.', "x", nullptr);
  EXPECT_EQ(result.missingCount, 123);
}

TEST(ParamFileSave, WritesBesideThePictureWithTheExtensionReplacedWhateverItsLength) {
  TempFolder folder;
  const TFractalParams v = DistinctParams();
  EXPECT_EQ(SaveParameterFile(folder / "pic.jpeg", v, '.'), folder / "pic.ifs");
  EXPECT_EQ(SaveParameterFile(folder / "shot.BMP", v, ','), folder / "shot.ifs");
  EXPECT_EQ(ParameterFilePathFor("a.b/pic"), "a.b/pic.ifs");
  std::ifstream in(folder / "pic.ifs", std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  EXPECT_EQ(bytes.str(), Written(v, '.'));
  auto names = folder.Names();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"pic.ifs", "shot.ifs"})) << "no temporary file is left";

  TFractalParams loaded;
  const auto result = LoadParameterFile(folder / "shot.ifs", loaded, '.', nullptr);
  EXPECT_FALSE(result.readError);
  ExpectStoredFieldsEqual(loaded, v);
}

TEST(ParamFileSave, FailureRaisesAndLeavesNoTemporaryFileBehind) {
  TempFolder folder;
  fs::create_directories(folder / "pic.ifs/keep");  // a folder in the way cannot be replaced
  EXPECT_THROW(SaveParameterFile(folder / "pic.png", DistinctParams(), '.'), EFileWrite);
  EXPECT_TRUE(fs::is_directory(folder / "pic.ifs/keep"));
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"pic.ifs"});
  EXPECT_THROW(SaveParameterFile(folder / "absent/pic.png", DistinctParams(), '.'), EFileWrite);
}

TEST(ParamFileLoad, UnopenablePathRaisesAndChangesNothing) {
  TempFolder folder;
  TFractalParams v = DistinctParams();
  int messages = 0;
  const auto count = [&](const std::string&) { ++messages; };
  EXPECT_THROW(LoadParameterFile(folder / "absent.ifs", v, '.', count), EParamFileOpen);
  EXPECT_THROW(LoadParameterFile(folder / "", v, '.', count), EParamFileOpen);
  EXPECT_EQ(messages, 0);
  ExpectStoredFieldsEqual(v, DistinctParams());
}
