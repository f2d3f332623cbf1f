// Saves that fail on the system's side: a full disk and a folder that refuses new files. The message gives the
// system's cause and names the user's file, the earlier file stays byte for byte, and no temporary file is left.
#include "files/safe_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

#include "files/image_export.h"
#include "files/save_as.h"
#include "writer_test_support.h"

using namespace writer_test;

namespace {

std::string Sorted(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  std::string joined;
  for (const std::string& name : names) joined += name + " ";
  return joined;
}

TFractalParams SomeParams() {
  TFractalParams v{};
  v.imageWidth = v.plotWidth = 6;
  v.imageHeight = v.plotHeight = 5;
  v.af[1] = 0.25;
  return v;
}

}  // namespace

TEST(SafeSave, AFullDiskNamesTheCauseAndKeepsTheEarlierFile) {
  TTempFolder folder;
  // The big picture fills the buffers, so the libraries meet the refusal while they write and report it in
  // their own words; the small one is refused only when the file is completed.
  auto big = MakePattern(600, 600);
  auto small = MakeF();
  const TFullDisk full;
  for (const char* name : {"big.png", "big.jpg", "big.bmp", "big.tif", "small.png", "small.jpg", "small.ppm"}) {
    const std::string path = folder.File(name);
    std::ofstream(path, std::ios::binary) << "earlier " << name;
    TPixelGraphic& image = name[0] == 'b' ? *big : *small;
    try {
      SavePixelGraphicToFile(image, path, TFileOptions{}, {}, FileFormatWriters(), full);
      ADD_FAILURE() << "no error for " << name;
    } catch (const EFileWrite& e) {
      EXPECT_EQ(e.what(), "Cannot write file \"" + path + "\": No space left on device");
    }
    EXPECT_EQ(ReadFile(path), std::string("earlier ") + name);
  }
  EXPECT_EQ(Sorted(folder.Names()), "big.bmp big.jpg big.png big.tif small.jpg small.png small.ppm ");
}

TEST(SafeSave, APictureWithItsParameterFileNamesTheUsersFileNotATemporaryOne) {
  TTempFolder folder;
  auto picture = MakeF();
  std::ofstream(folder.File("pic.png")) << "earlier picture";
  std::ofstream(folder.File("pic.ifs")) << "earlier parameters";
  {
    const TFullDisk full;
    try {
      SavePictureAndParameters(picture.get(), folder.File("pic.png"), TFileOptions{}, {}, SomeParams(), '.', full);
      ADD_FAILURE() << "no error";
    } catch (const EFileWrite& e) {
      EXPECT_EQ(e.what(), "Cannot write file \"" + folder.File("pic.png") + "\": No space left on device");
    }
  }
  EXPECT_EQ(ReadFile(folder.File("pic.png")), "earlier picture");
  EXPECT_EQ(ReadFile(folder.File("pic.ifs")), "earlier parameters");
  EXPECT_EQ(Sorted(folder.Names()), "pic.ifs pic.png ");

  // A name as long as the system allows still leaves room for the temporary files beside it.
  const std::string longName = std::string(251, 'n') + ".png";
  SavePictureAndParameters(picture.get(), folder.File(longName), TFileOptions{}, {}, SomeParams(), '.');
  EXPECT_EQ(ReadFile(folder.File(longName)), WriteToString(*FileFormatWriters().FindByExtension("png"), *picture));
  EXPECT_EQ(folder.Names().size(), 4u);
}

TEST(SafeSave, AFolderThatRefusesNewFilesNamesTheCause) {
  TTempFolder folder;
  const std::string path = folder.File("pic.png");
  std::ofstream(path) << "earlier picture";
  std::ofstream(folder.File("pic.ifs")) << "earlier parameters";
  ASSERT_EQ(::chmod(folder.File("").c_str(), 0555), 0);
  auto picture = MakeF();
  // Permission bits do not hold root back, so as root the save runs in a child process that is nobody.
  EXPECT_EXIT(
      {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) std::_Exit(2);
        try {
          SavePictureAndParameters(picture.get(), path, TFileOptions{}, {}, SomeParams(), '.');
        } catch (const EFileWrite& e) {
          std::fputs(e.what(), stderr);
          std::_Exit(0);
        }
        std::_Exit(1);
      },
      testing::ExitedWithCode(0), "^Cannot create file \".*/pic\\.png\": Permission denied$");
  ::chmod(folder.File("").c_str(), 0755);
  EXPECT_EQ(ReadFile(path), "earlier picture");
  EXPECT_EQ(ReadFile(folder.File("pic.ifs")), "earlier parameters");
  EXPECT_EQ(Sorted(folder.Names()), "pic.ifs pic.png ");
}

TEST(SafeSave, WritersThatBackPatchTheirHeadersSeekInTheFile) {
  TTempFolder folder;
  auto image = MakePattern(300, 200);  // larger than the file buffer, so the patches reach written bytes
  for (const bool bigEndian : {false, true}) {
    TFileOptions options;
    options.TIFFByteOrderM = bigEndian;
    SavePixelGraphicToFile(*image, folder.File("x.tif"), options, {});
    EXPECT_EQ(ReadFile(folder.File("x.tif")), WriteToString(*FileFormatWriters().FindByExtension("tif"), *image, options));
  }
}
