#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "cli/explore_command.h"
#include "cli/render.h"
#include "cli_test_support.h"

namespace {

using cli_test::ReadBytes;
using cli_test::TempFolder;

int Command(const std::vector<std::string>& args, std::string* errText = nullptr) {
  std::ostringstream out, err;
  const int status = RunRenderCommand(args, out, err, false);
  if (errText != nullptr) *errText = err.str();
  return status;
}

// Field n (0: the file name, 2: the seed, 3: the family) of a file's line in a folder's listing.
std::string Listed(const std::string& listing, const std::string& file, int n) {
  std::istringstream in(ReadBytes(listing));
  std::string line;
  while (std::getline(in, line)) {
    std::vector<std::string> fields;
    std::istringstream split(line);
    for (std::string field; std::getline(split, field, '\t');) fields.push_back(field);
    if (!fields.empty() && fields[0] == file && n < static_cast<int>(fields.size()))
      return fields[static_cast<std::size_t>(n)];
  }
  return {};
}

TEST(ExploreCommand, WritesTheSetsThumbnailsSheetAndListingAndEachFileDrawsItsThumbnail) {
  const TempFolder temp;
  const std::string dir = temp / "found";
  std::string err;
  ASSERT_EQ(Command({"--explore", "3", "--family", "any", "--seed", "5", "--size", "80x60", "--steps", "30000", "-o", dir},
                &err),
            0)
      << err;
  EXPECT_NE(err.find("found 3 sets among "), std::string::npos) << err;
  for (const char* name : {"explore-0001.ifs", "explore-0002.png", "explore-0003.ifs", "contact-sheet.png",
                           "explore.txt"})
    EXPECT_TRUE(cli_test::fs::exists(dir + "/" + name)) << name;
  EXPECT_FALSE(cli_test::fs::exists(dir + "/explore-0004.ifs"));

  // The file, drawn headless with the listed seed, gives the thumbnail byte for byte.
  for (const std::string k : {"0001", "0003"}) {
    const std::string seed = Listed(dir + "/explore.txt", "explore-" + k + ".ifs", 2);
    ASSERT_FALSE(seed.empty());
    const std::string again = temp / ("again-" + k + ".png");
    ASSERT_EQ(Command({dir + "/explore-" + k + ".ifs", "--orbits", "1", "--seed", seed, "--steps", "30000", "--size",
                   "80x60", "-o", again, "--quiet"}),
              0);
    EXPECT_EQ(ReadBytes(again), ReadBytes(dir + "/explore-" + k + ".png")) << k;
  }

  // The same command again gives the same files.
  const std::string twice = temp / "twice";
  ASSERT_EQ(Command({"--explore", "3", "--family", "any", "--seed", "5", "--size", "80x60", "--steps", "30000", "-o",
                 twice, "--threads", "1", "--quiet"}),
            0);
  EXPECT_EQ(ReadBytes(twice + "/explore-0002.ifs"), ReadBytes(dir + "/explore-0002.ifs"));
  EXPECT_EQ(ReadBytes(twice + "/contact-sheet.png"), ReadBytes(dir + "/contact-sheet.png"));

  // Variants around a found set keep its family.
  const std::string near = temp / "near";
  ASSERT_EQ(Command({"--mutate", dir + "/explore-0001.ifs", "--distance", "0.02", "--explore", "2", "--size", "80x60",
                 "--steps", "30000", "-o", near, "--quiet"},
                &err),
            0)
      << err;
  EXPECT_TRUE(cli_test::fs::exists(near + "/explore-0002.ifs"));
  EXPECT_EQ(Listed(near + "/explore.txt", "explore-0001.ifs", 3), Listed(dir + "/explore.txt", "explore-0001.ifs", 3));
  EXPECT_FALSE(Listed(dir + "/explore.txt", "explore-0001.ifs", 3).empty());
}

TEST(ExploreCommand, RefusesWhatItCannotDo) {
  std::string err;
  EXPECT_EQ(Command({"--explore", "3"}, &err), 2);
  EXPECT_NE(err.find("--explore needs the folder to write into: -o DIR"), std::string::npos) << err;
  EXPECT_EQ(Command({"--explore", "3", "--family", "julia", "-o", "x"}, &err), 2);
  EXPECT_NE(err.find("invalid value 'julia' for --family: expected mira, mira01..mira09"), std::string::npos) << err;
  EXPECT_EQ(Command({"--explore", "0", "-o", "x"}, &err), 2);
  EXPECT_EQ(Command({"--explore", "2", "--seconds", "1", "-o", "x"}, &err), 2);
  EXPECT_EQ(Command({"in.ifs", "--explore", "2", "-o", "x"}, &err), 2);
  const TempFolder temp;
  EXPECT_EQ(Command({"--mutate", temp / "missing.ifs", "-o", temp / "out"}, &err), 1);
  EXPECT_NE(err.find("missing.ifs"), std::string::npos) << err;
  // A folder that is a file, and a parameter file that cannot be written while the workers run: an error, no crash.
  cli_test::WriteBytes(temp / "plain", "x");
  EXPECT_EQ(Command({"--explore", "1", "-o", temp / "plain"}, &err), 1);
  EXPECT_NE(err.find("Cannot create the folder"), std::string::npos) << err;
  cli_test::fs::create_directories(temp / "blocked/explore-0001.ifs");
  EXPECT_EQ(Command({"--explore", "2", "--size", "40x30", "--steps", "5000", "-o", temp / "blocked"}, &err), 1);
  EXPECT_NE(err.find("explore-0001.ifs"), std::string::npos) << err;
}

}  // namespace
