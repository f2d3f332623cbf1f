#include "files/jpeg_writer.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <jerror.h>

#include "writer_test_support.h"

using namespace writer_test;

namespace {

struct TJpegRead {
  bool ok = false;
  int width = 0, height = 0, components = 0;
  bool progressive = false;
  int firstLuminanceQuant = 0;  // entry 0 of quantisation table 0
  std::vector<std::uint8_t> pixels;  // rows of width x components
};

struct TReadError {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};

void ReadErrorExit(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<TReadError*>(cinfo->err)->jump, 1); }

// Decodes with the library itself, not with anything of ours.
TJpegRead DecodeJpeg(const std::string& file) {
  TJpegRead result;
  jpeg_decompress_struct cinfo{};
  TReadError error{};
  cinfo.err = jpeg_std_error(&error.manager);
  error.manager.error_exit = ReadErrorExit;
  if (setjmp(error.jump) != 0) {
    jpeg_destroy_decompress(&cinfo);
    return result;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(file.data()), file.size());
  jpeg_read_header(&cinfo, TRUE);
  result.progressive = cinfo.progressive_mode != 0;
  if (cinfo.quant_tbl_ptrs[0] != nullptr) result.firstLuminanceQuant = cinfo.quant_tbl_ptrs[0]->quantval[0];
  jpeg_start_decompress(&cinfo);
  result.width = static_cast<int>(cinfo.output_width);
  result.height = static_cast<int>(cinfo.output_height);
  result.components = cinfo.output_components;
  result.pixels.resize(static_cast<std::size_t>(result.width * result.height * result.components));
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = &result.pixels[cinfo.output_scanline * static_cast<std::size_t>(result.width * result.components)];
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  result.ok = true;
  return result;
}

// Left half red, right half blue: big enough that chroma subsampling leaves the halves' middles alone.
std::unique_ptr<TPixelGraphic> RedLeftBlueRight() {
  auto image = std::make_unique<TPixelGraphic>();
  image->SetSize(64, 32, TColorRes::Bits24);
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 64; ++x) image->SetPixel(x, y, x < 32 ? Red : Blue);
  }
  return image;
}

// Warnings the library reports from inside jpeg_write_scanlines (below), the way it reports its own (WARNMS).
// The writer never makes the library warn, so the tests make it.
std::vector<int> injectedWarnings;
bool insideLibrary = false;

// Makes the library warn from inside its calls for as long as it lives.
struct TInjectedWarnings {
  explicit TInjectedWarnings(std::vector<int> codes) { injectedWarnings = std::move(codes); }
  ~TInjectedWarnings() {
    injectedWarnings.clear();
    insideLibrary = false;  // a warning that ends the encoding leaves the call by a long jump
  }
};

}  // namespace

// Stands in for the library's entry point in this test program; every call goes on to the library itself.
extern "C" JDIMENSION jpeg_write_scanlines(j_compress_ptr cinfo, JSAMPARRAY scanlines, JDIMENSION count) {
  using TEntry = JDIMENSION (*)(j_compress_ptr, JSAMPARRAY, JDIMENSION);
  static const auto library = reinterpret_cast<TEntry>(dlsym(RTLD_NEXT, "jpeg_write_scanlines"));
  if (library == nullptr) std::abort();
  insideLibrary = true;
  for (const int code : injectedWarnings) WARNMS(cinfo, code);
  const JDIMENSION written = library(cinfo, scanlines, count);
  insideLibrary = false;
  return written;
}

TEST(JPEGWriter, KeepsRedRedAndBlueBlueWithTheDefaultOptions) {
  auto image = RedLeftBlueRight();
  const TJpegRead d = DecodeJpeg(WriteToString(TJPGFileFormatWriter(), *image));
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.width, 64);
  EXPECT_EQ(d.height, 32);
  EXPECT_EQ(d.components, 3);
  EXPECT_FALSE(d.progressive);
  // Quality 80 scales the standard luminance table's first entry 16 by 40 %.
  EXPECT_EQ(d.firstLuminanceQuant, 6);
  const auto at = [&](int x, int y, int c) { return static_cast<int>(d.pixels[static_cast<std::size_t>((y * 64 + x) * 3 + c)]); };
  EXPECT_GT(at(8, 16, 0), 230);
  EXPECT_LT(at(8, 16, 1), 30);
  EXPECT_LT(at(8, 16, 2), 30);
  EXPECT_LT(at(56, 16, 0), 30);
  EXPECT_LT(at(56, 16, 1), 30);
  EXPECT_GT(at(56, 16, 2), 230);
}

TEST(JPEGWriter, KeepsTheFPictureTheRightWayRound) {
  // The F with every cell 8 x 8 pixels: at 6 x 5 pixels the chroma subsampling would blur every edge.
  TPixelGraphic image;
  image.SetSize(48, 40, TColorRes::Bits24);
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 48; ++x) image.SetPixel(x, y, IsF(x / 8, y / 8) ? Red : Blue);
  }
  const TJpegRead d = DecodeJpeg(WriteToString(TJPGFileFormatWriter(), image));
  ASSERT_TRUE(d.ok);
  ASSERT_EQ(d.width, 48);
  ASSERT_EQ(d.height, 40);
  for (int cy = 0; cy < 5; ++cy) {
    for (int cx = 0; cx < 6; ++cx) {
      const std::size_t p = static_cast<std::size_t>(((8 * cy + 4) * 48 + 8 * cx + 4) * 3);
      EXPECT_EQ(d.pixels[p] > 200 && d.pixels[p + 2] < 60, IsF(cx, cy)) << cx << "," << cy;
      EXPECT_EQ(d.pixels[p + 2] > 200 && d.pixels[p] < 60, !IsF(cx, cy)) << cx << "," << cy;
    }
  }
}

TEST(JPEGWriter, WritesProgressiveFilesAndTheChosenQuality) {
  auto image = RedLeftBlueRight();
  TFileOptions options;
  options.JPEGProgressive = true;
  options.JPEGQuality = 50;
  for (const TJPEGDCTMethod method : {TJPEGDCTMethod::IntPrecise, TJPEGDCTMethod::IntFast, TJPEGDCTMethod::FloatingPoint}) {
    options.JPEGWriteDCTMethod = method;
    const TJpegRead d = DecodeJpeg(WriteToString(TJPGFileFormatWriter(), *image, options));
    ASSERT_TRUE(d.ok);
    EXPECT_TRUE(d.progressive);
    EXPECT_EQ(d.firstLuminanceQuant, 16);
    EXPECT_GT(d.pixels[(16 * 64 + 8) * 3], 230);
  }
}

TEST(JPEGWriter, WritesGreyPicturesWithOneComponent) {
  TPixelGraphic image;
  image.SetSize(16, 16, TColorRes::Bits8);
  image.SetPaletteIdent(TPaletteIdent::pGray256);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) image.SetPixel(x, y, y < 8 ? 40 : 200);
  }
  const TJpegRead d = DecodeJpeg(WriteToString(TJPEGFileFormatWriter(), image));
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.components, 1);
  EXPECT_NEAR(d.pixels[3 * 16 + 3], 40, 4);
  EXPECT_NEAR(d.pixels[12 * 16 + 3], 200, 4);
}

TEST(JPEGWriter, RefusesOtherBitCountsAndEmptyPictures) {
  TPixelGraphic image;
  image.SetSize(4, 4, TColorRes::Bits4);
  image.SetPaletteIdent(TPaletteIdent::pGray16);
  std::ostringstream out;
  try {
    TJPGFileFormatWriter().Write(out, image, TWriteContext{});
    FAIL() << "no error";
  } catch (const EPGJPGFileFormatReaderWriter& e) {
    EXPECT_STREQ(e.what(), "JPG: Invalid value for BitCount");
  }
  TPixelGraphic empty;
  EXPECT_THROW(TJPGFileFormatWriter().Write(out, empty, TWriteContext{}), EPGJPGFileFormatReaderWriter);
  EXPECT_TRUE(out.str().empty());
}

TEST(JPEGWriter, TurnsAFailingStreamIntoALibraryErrorAndEndsTheProgress) {
  auto image = MakePattern(512, 512);
  int starts = 0, ends = 0;
  image->OnProgressStart = [&](TPixelGraphic&) { ++starts; };
  image->OnProgressEnd = [&](TPixelGraphic&) { ++ends; };
  std::ostringstream out;
  out.setstate(std::ios::badbit);
  try {
    TJPGFileFormatWriter().Write(out, *image, TWriteContext{});
    FAIL() << "no error";
  } catch (const EPGJPGFileFormatReaderWriter& e) {
    EXPECT_STREQ(e.what(), "JPG: Output file write error --- out of disk space?");
  }
  EXPECT_EQ(starts, 1);
  EXPECT_EQ(ends, 1);

  // A stream asked to raise keeps its own error, which is not unwound through the library's frames.
  TRefusingBuffer refusing;
  std::ostream raising(&refusing);
  raising.exceptions(std::ios::badbit);
  EXPECT_THROW(TJPGFileFormatWriter().Write(raising, *image, TWriteContext{}), std::ios_base::failure);
  EXPECT_EQ(ends, 2);
}

TEST(JPEGWriter, LetsAnErrorOfTheProgressHandlerThroughAndCleansUp) {
  auto image = MakeF();
  image->OnProgress = [](TPixelGraphic&, int step, int, bool&) {
    if (step == 3) throw std::runtime_error("stop at 3");
  };
  std::ostringstream out;
  try {
    TJPGFileFormatWriter().Write(out, *image, TWriteContext{});
    FAIL() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "stop at 3");
  }
}

TEST(JPEGWriter, AsksAboutLibraryWarningsOnlyAfterTheLibraryReturned) {
  auto image = RedLeftBlueRight();
  const TInjectedWarnings warnings({JWRN_TOO_MUCH_DATA, JWRN_JPEG_EOF});
  // Every row warns twice; each distinct text is asked once, in order, and never from inside the library.
  TLibraryWarningBox box(insideLibrary);
  std::ostringstream out(std::ios::binary);
  TJPGFileFormatWriter().Write(out, *image, TWriteContext{TFileOptions{}, box.Box()});
  ASSERT_EQ(box.calls.size(), 2u);
  EXPECT_EQ(box.calls[0].caption, "JPG Warning");
  EXPECT_EQ(box.calls[0].text, "Application transferred too many scanlines");
  EXPECT_EQ(box.calls[1].text, "Premature end of JPEG file");
  for (const TBoxCall& call : box.calls) {
    EXPECT_EQ(call.buttons, TWarningButtons::OKCancel);
    EXPECT_FALSE(call.fromInsideLibrary);
  }
  const TJpegRead d = DecodeJpeg(out.str());
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.height, 32);

  // Cancel on the first: the second is not asked, and the save ends with the library's abort message.
  TLibraryWarningBox cancelling(insideLibrary);
  cancelling.answers = {false};
  try {
    WriteToString(TJPGFileFormatWriter(), *image, TFileOptions{});  // nobody to ask counts as Cancel
    ADD_FAILURE() << "no error without a box";
  } catch (const EPGJPGFileFormatReaderWriter& e) {
    EXPECT_STREQ(e.what(), "JPG: Operation aborted on user request");
  }
  std::ostringstream cancelled(std::ios::binary);
  EXPECT_THROW(TJPGFileFormatWriter().Write(cancelled, *image, TWriteContext{TFileOptions{}, cancelling.Box()}),
               EPGJPGFileFormatReaderWriter);
  EXPECT_EQ(cancelling.calls.size(), 1u);
}

TEST(JPEGWriter, FollowsThePicturesReadWarningActionForLibraryWarnings) {
  auto image = RedLeftBlueRight();
  int starts = 0, ends = 0;
  image->OnProgressStart = [&](TPixelGraphic&) { ++starts; };
  image->OnProgressEnd = [&](TPixelGraphic&) { ++ends; };
  const TInjectedWarnings warnings({JWRN_TOO_MUCH_DATA});
  TLibraryWarningBox box(insideLibrary);
  box.answers = {false, false, false};
  const auto write = [&] {
    std::ostringstream out(std::ios::binary);
    TJPGFileFormatWriter().Write(out, *image, TWriteContext{TFileOptions{}, box.Box()});
    return out.str();
  };

  image->ReadWarningAction = TPGWarningAction::pgwaIgnore;
  EXPECT_TRUE(DecodeJpeg(write()).ok);
  EXPECT_TRUE(box.calls.empty());

  image->ReadWarningAction = TPGWarningAction::pgwaOKBox;  // an OK-only box cannot refuse
  EXPECT_TRUE(DecodeJpeg(write()).ok);
  ASSERT_EQ(box.calls.size(), 1u);
  EXPECT_EQ(box.calls[0].buttons, TWarningButtons::OK);

  // The first warning ends the encoding at once, from inside the library; the message outlives the jump.
  image->ReadWarningAction = TPGWarningAction::pgwaRaise;
  try {
    write();
    ADD_FAILURE() << "no error";
  } catch (const EPGJPGFileFormatReaderWriter& e) {
    EXPECT_STREQ(e.what(), "JPG: Application transferred too many scanlines");
  }
  EXPECT_EQ(box.calls.size(), 1u);
  EXPECT_EQ(starts, 3);
  EXPECT_EQ(ends, 3);
}
