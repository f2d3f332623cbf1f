#include "files/image_export.h"

#include <gtest/gtest.h>

#include "files/safe_file.h"
#include "writer_test_support.h"

using namespace writer_test;

namespace {

struct TBoxCall {
  std::string caption, text;
  TWarningButtons buttons;
};

// A warning box that records what it was shown and answers as told.
struct TRecordingBox {
  bool answer = true;
  std::vector<TBoxCall> calls;
  TWarningBox Box() {
    return [this](const std::string& caption, const std::string& text, TWarningButtons buttons) {
      calls.push_back({caption, text, buttons});
      return answer;
    };
  }
};

std::unique_ptr<TPixelGraphic> Uniform(int width, int height, TColor colour) {
  auto image = std::make_unique<TPixelGraphic>();
  image->SetSize(width, height, TColorRes::Bits24);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) image->SetPixel(x, y, colour);
  }
  return image;
}

constexpr char PbmWarning[] =
    "The graphic cannot be saved to a Portable Bitmap file with the current color resolution (16.7 million colors)."
    "\r\rThe graphic will be saved with a different color resolution (black and white).";

}  // namespace

TEST(WriterRegistry, SortsByExtensionWithoutRegardToCase) {
  auto writers = TFileFormatWriters::CreateStandard();
  std::vector<std::string> order;
  for (const auto& writer : writers->Sorted()) order.push_back(writer->Extension());
  EXPECT_EQ(order, (std::vector<std::string>{"bmp", "dib", "jif", "jpeg", "jpg", "pbm", "pgm", "png", "ppm", "tga",
                                             "tif", "tiff"}));
  EXPECT_EQ(writers->FindByExtension("TiF")->ClassName(), "TTIFFileFormatWriter");
  EXPECT_EQ(writers->FindByExtension("gif"), nullptr);
}

TEST(SaveDialog, BuildsTheFilterFromTheListedWritersInRegistryOrder) {
  EXPECT_EQ(SaveDialogFilter(),
            "BMP - Bitmap|*.bmp|JPG - JPEG (JFIF compliant)|*.jpg|PBM - Portable Bitmap|*.pbm|"
            "PGM - Portable Graymap|*.pgm|PNG - Portable Network Graphics|*.png|PPM - Portable Pixelmap|*.ppm|"
            "TGA - Truevision Targa|*.tga|TIF - Tagged Image File Format|*.tif|");
  const auto entries = SaveDialogFilterEntries();
  ASSERT_EQ(entries.size(), 8u);
  EXPECT_EQ(entries[4].Label(), "PNG - Portable Network Graphics");
  EXPECT_EQ(entries[4].Pattern(), "*.png");
}

TEST(SaveDialog, PreselectsTheEntryOfTheProposedExtensionOnlyForListedOnes) {
  EXPECT_EQ(PreselectedFilterIndex("Fractal 1.PNG"), 4);
  EXPECT_EQ(PreselectedFilterIndex("dir/pic.tif"), 7);
  EXPECT_EQ(PreselectedFilterIndex("pic.jpeg"), std::nullopt);
  EXPECT_EQ(PreselectedFilterIndex("pic"), std::nullopt);
  EXPECT_EQ(PreselectedFilterIndex("a.png/pic"), std::nullopt);
}

TEST(SaveDialog, GivesANameWithoutExtensionTheSelectedEntrysExtension) {
  EXPECT_EQ(FileNameWithFilterExtension("dir/pic", 3), "dir/pic.pgm");
  EXPECT_EQ(FileNameWithFilterExtension("a.b/pic", 0), "a.b/pic.bmp");
  EXPECT_EQ(FileNameWithFilterExtension("dir/pic.PNG", 3), "dir/pic.PNG");
  EXPECT_EQ(FileNameWithFilterExtension("pic", 99), "pic");
}

TEST(ColorResolution, NamesAndPreferencesFollowTheTable) {
  EXPECT_EQ(ColorResolutionName(TColorResolution::TrueColor), "16.7 million colors");
  EXPECT_EQ(ColorResolutionName(TColorResolution::Gray256), "256 shades of gray");
  EXPECT_EQ(ResolutionPreference(TColorResolution::TwoColors)[1], TColorResolution::Colors16);
  const auto chosen = [](TColorResolution current, const char* extension) {
    return ChooseColorResolution(current, FileFormatWriters().FindByExtension(extension)->CanWriteResolutions());
  };
  EXPECT_EQ(chosen(TColorResolution::TrueColor, "pbm"), TColorResolution::BlackWhite);
  EXPECT_EQ(chosen(TColorResolution::TrueColor, "pgm"), TColorResolution::Gray256);
  EXPECT_EQ(chosen(TColorResolution::TrueColor, "tga"), TColorResolution::TrueColor);
  EXPECT_EQ(chosen(TColorResolution::Gray256, "tga"), TColorResolution::Colors256);
  EXPECT_EQ(chosen(TColorResolution::TwoColors, "tif"), TColorResolution::Colors16);
  EXPECT_EQ(chosen(TColorResolution::Gray16, "jpg"), TColorResolution::Gray256);
  EXPECT_EQ(ChooseColorResolution(TColorResolution::TrueColor, 0), std::nullopt);
}

TEST(ColorResolution, RecognisesThePicturesResolutionFromItsPalette) {
  TPixelGraphic image;
  image.SetSize(2, 2, TColorRes::Bits1);
  image.SetPaletteIdent(TPaletteIdent::pBlackWhite);
  EXPECT_EQ(CurrentColorResolution(image), TColorResolution::BlackWhite);
  image.SetPaletteEntry(1, RGBColor(255, 0, 0));
  EXPECT_EQ(CurrentColorResolution(image), TColorResolution::TwoColors);
  image.SetSize(2, 2, TColorRes::Bits8);
  image.SetPaletteIdent(TPaletteIdent::pGray256);
  EXPECT_EQ(CurrentColorResolution(image), TColorResolution::Gray256);
  image.SetSize(2, 2, TColorRes::Bits24);
  EXPECT_EQ(CurrentColorResolution(image), TColorResolution::TrueColor);
}

TEST(SavePixelGraphic, ChoosesTheWriterByExtensionWithoutRegardToCase) {
  TTempFolder folder;
  auto image = MakeF();
  TRecordingBox box;
  const std::pair<const char*, std::string> cases[] = {
      {"x.PNG", "\x89PNG"}, {"x.jpeg", "\xFF\xD8\xFF"}, {"x.jif", "\xFF\xD8\xFF"}, {"x.Jpg", "\xFF\xD8\xFF"},
      {"x.tiff", std::string("II*\0", 4)}, {"x.TIF", std::string("II*\0", 4)}, {"x.dib", "BM"},
      {"x.tga", std::string("\0\0\x02", 3)}, {"x.ppm", "P3\n6 5\n255\n"}};
  for (const auto& [name, start] : cases) {
    SavePixelGraphicToFile(*image, folder.File(name), TFileOptions{}, box.Box());
    EXPECT_EQ(ReadFile(folder.File(name)).substr(0, start.size()), start) << name;
  }
  EXPECT_EQ(ReadFile(folder.File("x.dib")), WriteToString(*FileFormatWriters().FindByExtension("bmp"), *image));
  EXPECT_TRUE(box.calls.empty());
}

TEST(SavePixelGraphic, RefusesAnUnknownExtensionAndLeavesNoFile) {
  TTempFolder folder;
  auto image = MakeF();
  for (const char* name : {"x.gif", "x.GIF"}) {
    try {
      SavePixelGraphicToFile(*image, folder.File(name), TFileOptions{}, {});
      ADD_FAILURE() << "no error for " << name;
    } catch (const EPGUnknownExtension& e) {
      EXPECT_STREQ(e.what(), "Unknown file extension \"gif\"");
    }
  }
  try {
    SavePixelGraphicToFile(*image, folder.File("noextension"), TFileOptions{}, {});
    ADD_FAILURE() << "no error without extension";
  } catch (const EPGUnknownExtension& e) {
    EXPECT_STREQ(e.what(), "Unknown file extension \"\"");
  }
  EXPECT_TRUE(folder.Names().empty());
}

TEST(SavePixelGraphic, ConvertsToBlackAndWhiteForPBMAfterTheWarningIsAnsweredOK) {
  TTempFolder folder;
  auto image = Uniform(3, 2, RGBColor(255, 255, 255));
  image->SetPixel(1, 0, 0);
  TRecordingBox box;
  SavePixelGraphicToFile(*image, folder.File("x.pbm"), TFileOptions{}, box.Box());
  ASSERT_EQ(box.calls.size(), 1u);
  EXPECT_EQ(box.calls[0].caption, "Warning");
  EXPECT_EQ(box.calls[0].text, PbmWarning);
  EXPECT_EQ(box.calls[0].buttons, TWarningButtons::OKCancel);
  EXPECT_EQ(ReadFile(folder.File("x.pbm")), "P1\n3 2\n0 1 0\n0 0 0\n");
  // The picture itself keeps its 24 bits.
  EXPECT_EQ(image->ColorRes(), TColorRes::Bits24);
}

TEST(SavePixelGraphic, ConvertsToGreyLevelsForPGM) {
  TTempFolder folder;
  auto image = Uniform(2, 2, Red);
  TRecordingBox box;
  TFileOptions options;
  SavePixelGraphicToFile(*image, folder.File("x.pgm"), options, box.Box());
  ASSERT_EQ(box.calls.size(), 1u);
  EXPECT_EQ(box.calls[0].text,
            "The graphic cannot be saved to a Portable Graymap file with the current color resolution "
            "(16.7 million colors).\r\rThe graphic will be saved with a different color resolution "
            "(256 shades of gray).");
  // Weighted luminance of pure red: 897 x 255 div 1000 div 3.
  EXPECT_EQ(ReadFile(folder.File("x.pgm")), "P2\n2 2\n255\n76 76\n76 76\n");
}

TEST(SavePixelGraphic, CancelRaisesAndLeavesAnExistingFileUntouchedAndNoTemporaryFile) {
  TTempFolder folder;
  const std::string path = folder.File("x.pbm");
  std::ofstream(path) << "old content";
  auto image = MakeF();
  TRecordingBox box;
  box.answer = false;
  try {
    SavePixelGraphicToFile(*image, path, TFileOptions{}, box.Box());
    FAIL() << "no error";
  } catch (const EPGCannotWriteColorRes& e) {
    EXPECT_STREQ(e.what(),
                 "The graphic cannot be saved with to a Portable Bitmap file with the current color resolution "
                 "(16.7 million colors)");
  }
  EXPECT_EQ(box.calls.size(), 1u);
  EXPECT_EQ(ReadFile(path), "old content");
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"x.pbm"});
}

TEST(SavePixelGraphic, FollowsThePicturesWarningAction) {
  TTempFolder folder;
  auto image = MakeF();
  TRecordingBox box;
  image->SaveColorResWarningAction = TPGWarningAction::pgwaIgnore;
  SavePixelGraphicToFile(*image, folder.File("a.pbm"), TFileOptions{}, box.Box());
  EXPECT_TRUE(box.calls.empty());

  image->SaveColorResWarningAction = TPGWarningAction::pgwaOKBox;
  box.answer = false;  // an OK-only box cannot refuse
  SavePixelGraphicToFile(*image, folder.File("b.pbm"), TFileOptions{}, box.Box());
  ASSERT_EQ(box.calls.size(), 1u);
  EXPECT_EQ(box.calls[0].buttons, TWarningButtons::OK);

  image->SaveColorResWarningAction = TPGWarningAction::pgwaRaise;
  EXPECT_THROW(SavePixelGraphicToFile(*image, folder.File("c.pbm"), TFileOptions{}, box.Box()), EPGCannotWriteColorRes);
  EXPECT_EQ(box.calls.size(), 1u);

  // Nobody to ask counts as Cancel.
  image->SaveColorResWarningAction = TPGWarningAction::pgwaOKCancelBox;
  EXPECT_THROW(SavePixelGraphicToFile(*image, folder.File("d.pbm"), TFileOptions{}, {}), EPGCannotWriteColorRes);
  auto names = folder.Names();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"a.pbm", "b.pbm"}));
}

TEST(SavePixelGraphic, AFailingWriterLeavesAnExistingFileUntouchedAndANewOneAbsent) {
  TTempFolder folder;
  TPixelGraphic tooWide;
  tooWide.SetSize(65536, 1, TColorRes::Bits24);
  const std::string existing = folder.File("old.tga");
  std::ofstream(existing) << "old picture";
  EXPECT_THROW(SavePixelGraphicToFile(tooWide, existing, TFileOptions{}, {}), EPGTGAFileFormatWriter);
  EXPECT_THROW(SavePixelGraphicToFile(tooWide, folder.File("new.tga"), TFileOptions{}, {}), EPGTGAFileFormatWriter);
  EXPECT_EQ(ReadFile(existing), "old picture");
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"old.tga"});
}

TEST(SavePixelGraphic, ReplacesAnExistingFileOnSuccess) {
  TTempFolder folder;
  const std::string path = folder.File("x.bmp");
  std::ofstream(path) << "a much longer old content that must not survive at the end of the new file ......"
                         "........................................................................................";
  auto image = MakeF();
  SavePixelGraphicToFile(*image, path, TFileOptions{}, {});
  EXPECT_EQ(ReadFile(path), WriteToString(*FileFormatWriters().FindByExtension("bmp"), *image));
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"x.bmp"});
}

TEST(SavePixelGraphic, ReportsAMissingFolderAsAFileError) {
  TTempFolder folder;
  auto image = MakeF();
  EXPECT_THROW(SavePixelGraphicToFile(*image, folder.File("missing/x.png"), TFileOptions{}, {}), EFileWrite);
}

TEST(SavePixelGraphic, PassesTheOptionsToTheWriter) {
  TTempFolder folder;
  auto image = MakeF();
  TFileOptions options;
  options.PXMWriteBinary = true;
  options.TIFFByteOrderM = true;
  SavePixelGraphicToFile(*image, folder.File("x.ppm"), options, {});
  SavePixelGraphicToFile(*image, folder.File("x.tif"), options, {});
  EXPECT_EQ(ReadFile(folder.File("x.ppm")).substr(0, 2), "P6");
  EXPECT_EQ(ReadFile(folder.File("x.tif")).substr(0, 2), "MM");
}

TEST(SavePixelGraphic, FiresProgressForTheConversionAndForTheWriter) {
  TTempFolder folder;
  auto image = MakeF();
  image->SaveColorResWarningAction = TPGWarningAction::pgwaIgnore;
  int starts = 0, ends = 0;
  image->OnProgressStart = [&](TPixelGraphic&) { ++starts; };
  image->OnProgressEnd = [&](TPixelGraphic&) { ++ends; };
  SavePixelGraphicToFile(*image, folder.File("x.pgm"), TFileOptions{}, {});
  EXPECT_EQ(starts, 2);
  EXPECT_EQ(ends, 2);
}

namespace {

class TNothingWriter : public TFileFormatWriter {
 public:
  TNothingWriter() : TFileFormatWriter("TNothingFileFormatWriter", "xyz", "Nothing", true, 0) {}
  void Write(std::ostream&, TPixelGraphic&, const TWriteContext&) const override {}
};

}  // namespace

TEST(SavePixelGraphic, ReportsAnEmptyRegistryAnEmptyResolutionSetAndAMissingPicture) {
  TTempFolder folder;
  auto image = MakeF();
  TFileFormatWriters none;
  try {
    SavePixelGraphicToFile(*image, folder.File("x.bmp"), TFileOptions{}, {}, none);
    ADD_FAILURE() << "no error";
  } catch (const EPGFileFormatWritersEmpty& e) {
    EXPECT_STREQ(e.what(), "FileFormatWriters is empty");
  }
  TFileFormatWriters odd;
  odd.Add(std::make_unique<TNothingWriter>());
  try {
    SavePixelGraphicToFile(*image, folder.File("x.xyz"), TFileOptions{}, {}, odd);
    ADD_FAILURE() << "no error";
  } catch (const EPGCanWriteResolutionsEmpty& e) {
    EXPECT_STREQ(e.what(), "TNothingFileFormatWriter.CanWriteResolutions is empty");
  }
  try {
    SavePictureToFile(nullptr, folder.File("x.bmp"), TFileOptions{}, {});
    ADD_FAILURE() << "no error";
  } catch (const EPGEmpty& e) {
    EXPECT_STREQ(e.what(), "PixelGraphic is empty");
  }
  EXPECT_TRUE(folder.Names().empty());
}

TEST(FileOptions, StartWithTheirDefaults) {
  const TFileOptions options;
  EXPECT_EQ(options.JPEGWriteDCTMethod, TJPEGDCTMethod::FloatingPoint);
  EXPECT_EQ(options.JPEGQuality, 80);
  EXPECT_FALSE(options.JPEGProgressive);
  EXPECT_EQ(options.JPEGReadDCTMethod, TJPEGDCTMethod::IntPrecise);
  EXPECT_FALSE(options.PXMWriteBinary);
  EXPECT_EQ(options.TIFFCompression, 1);
  EXPECT_FALSE(options.TIFFWriteCMYK);
  EXPECT_FALSE(options.TIFFWhiteIsZero);
  EXPECT_FALSE(options.TIFFByteOrderM);
  EXPECT_EQ(options.TIFFResUnit, TTIFFResUnit::Inch);
  EXPECT_EQ(options.TIFFResXNum, 300);
  EXPECT_EQ(options.TIFFResXDen, 1);
  EXPECT_EQ(options.TIFFResYNum, 300);
  EXPECT_EQ(options.TIFFResYDen, 1);
  EXPECT_TRUE(options.WriteGamma);
  EXPECT_EQ(options.ScreenGamma, 1.8L);
  EXPECT_TRUE(options.GammaCorrectionOnRead);
}
