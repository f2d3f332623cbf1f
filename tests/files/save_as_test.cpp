#include "files/save_as.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "files/param_file.h"
#include "files/safe_file.h"
#include "writer_test_support.h"

using namespace writer_test;

namespace {

TFractalParams SomeParams() {
  TFractalParams v{};
  v.imageWidth = v.plotWidth = 6;
  v.imageHeight = v.plotHeight = 5;
  v.af[1] = 0.25;
  v.intensity = 30;
  return v;
}

std::string ParameterText(const TFractalParams& v) {
  std::ostringstream out(std::ios::binary);
  WriteParameterFile(out, v, '.');
  return out.str();
}

const TWarningBox kAnswerOK = [](const std::string&, const std::string&, TWarningButtons) { return true; };
const TWarningBox kAnswerCancel = [](const std::string&, const std::string&, TWarningButtons) { return false; };

}  // namespace

TEST(SaveAs, WritesThePictureAndItsParameterFileBesideItWithNothingElseLeft) {
  TTempFolder folder;
  auto picture = MakeF();
  const TFractalParams v = SomeParams();
  const std::string ifs = SavePictureAndParameters(picture.get(), folder.File("pic.jpeg"), TFileOptions{}, kAnswerOK,
                                                   v, '.');
  EXPECT_EQ(ifs, folder.File("pic.ifs"));
  EXPECT_EQ(ReadFile(ifs), ParameterText(v));
  const std::string jpeg = ReadFile(folder.File("pic.jpeg"));
  ASSERT_GE(jpeg.size(), 2u);
  EXPECT_EQ(static_cast<unsigned char>(jpeg[0]), 0xFF);  // a JPEG, though written under a temporary name first
  EXPECT_EQ(static_cast<unsigned char>(jpeg[1]), 0xD8);
  std::vector<std::string> names = folder.Names();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"pic.ifs", "pic.jpeg"}));
}

TEST(SaveAs, AFailureOfEitherFileLeavesBothEarlierFilesAsTheyWere) {
  TTempFolder folder;
  auto picture = MakeF();
  {
    std::ofstream(folder.File("pic.pbm")) << "old picture";
    std::ofstream(folder.File("pic.ifs")) << "old parameters";
  }
  // Cancel in the conversion warning: the picture fails after nothing has been written.
  EXPECT_THROW(SavePictureAndParameters(picture.get(), folder.File("pic.pbm"), TFileOptions{}, kAnswerCancel,
                                        SomeParams(), '.'),
               EPGCannotWriteColorRes);
  EXPECT_EQ(ReadFile(folder.File("pic.ifs")), "old parameters");
  // The parameter file's place is taken by a folder: refused before the picture replaces the old one.
  std::filesystem::remove(folder.File("pic.ifs"));
  std::filesystem::create_directory(folder.File("pic.ifs"));
  EXPECT_THROW(SavePictureAndParameters(picture.get(), folder.File("pic.pbm"), TFileOptions{}, kAnswerOK,
                                        SomeParams(), '.'),
               EFileWrite);
  EXPECT_EQ(ReadFile(folder.File("pic.pbm")), "old picture");
  EXPECT_EQ(folder.Names().size(), 2u);  // no temporary file stays behind
}

TEST(SaveAs, WithoutAPictureNothingIsWritten) {
  TTempFolder folder;
  EXPECT_THROW(SavePictureAndParameters(nullptr, folder.File("pic.png"), TFileOptions{}, kAnswerOK, SomeParams(),
                                        '.'),
               EPGEmpty);
  EXPECT_TRUE(folder.Names().empty());
}

TEST(FilesWrittenTogether, AFailingLaterFileRemovesTheEarlierTemporaryAndReplacesNothing) {
  TTempFolder folder;
  std::ofstream(folder.File("a.txt")) << "old a";
  std::string seenTemporary;
  EXPECT_THROW(WriteFilesTogether({
                   {folder.File("a.txt"),
                    [&](const std::string& temporary) {
                      seenTemporary = temporary;
                      std::ofstream(temporary) << "new a";
                    }},
                   {folder.File("b.txt"), [](const std::string&) { throw EFileWrite("disk full"); }},
               }),
               EFileWrite);
  EXPECT_EQ(std::filesystem::path(seenTemporary).extension(), ".txt");  // writers choose formats by extension
  EXPECT_EQ(ReadFile(folder.File("a.txt")), "old a");
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"a.txt"});
}
