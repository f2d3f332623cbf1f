#include "files/png_writer.h"

#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <png.h>

#include "writer_test_support.h"

using namespace writer_test;

namespace {

struct TPngRead {
  bool ok = false;
  png_uint_32 width = 0, height = 0;
  int bitDepth = 0, colorType = 0;
  bool hasGamma = false;
  png_fixed_point gamma = 0;
  std::vector<png_color> palette;
  std::vector<std::vector<std::uint8_t>> rows;
};

struct TMemory {
  const std::string* data;
  std::size_t at;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t n) {
  auto* memory = static_cast<TMemory*>(png_get_io_ptr(png));
  if (memory->at + n > memory->data->size()) png_error(png, "read past the end");
  std::memcpy(out, memory->data->data() + memory->at, n);
  memory->at += n;
}

// Decodes with libpng itself, rows as stored (no transformations).
TPngRead DecodePng(const std::string& file) {
  TPngRead result;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  TMemory memory{&file, 0};
  if (setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_read_struct(&png, &info, nullptr);
    return result;
  }
  png_set_read_fn(png, &memory, ReadFromMemory);
  png_read_info(png, info);
  result.width = png_get_image_width(png, info);
  result.height = png_get_image_height(png, info);
  result.bitDepth = png_get_bit_depth(png, info);
  result.colorType = png_get_color_type(png, info);
  result.hasGamma = png_get_gAMA_fixed(png, info, &result.gamma) != 0;
  png_colorp palette = nullptr;
  int count = 0;
  if (png_get_PLTE(png, info, &palette, &count) != 0) result.palette.assign(palette, palette + count);
  for (png_uint_32 y = 0; y < result.height; ++y) {
    std::vector<std::uint8_t> row(png_get_rowbytes(png, info));
    png_read_row(png, row.data(), nullptr);
    result.rows.push_back(std::move(row));
  }
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  result.ok = true;
  return result;
}

// Warnings libpng reports from inside png_write_row (below) through its own png_warning. The writer never
// makes the library warn with a picture it can write, so the tests make it.
std::vector<std::string> injectedWarnings;
bool insideLibrary = false;

struct TInjectedWarnings {
  explicit TInjectedWarnings(std::vector<std::string> texts) { injectedWarnings = std::move(texts); }
  ~TInjectedWarnings() {
    injectedWarnings.clear();
    insideLibrary = false;  // a warning that ends the encoding leaves the call by a long jump
  }
};

std::string Write(TPixelGraphic& image, const TWarningBox& box) {
  std::ostringstream out(std::ios::binary);
  TPNGFileFormatWriter().Write(out, image, TWriteContext{TFileOptions{}, box});
  return out.str();
}

}  // namespace

// Stands in for the library's entry point in this test program; every call goes on to the library itself.
extern "C" void png_write_row(png_structrp png, png_const_bytep row) {
  using TEntry = void (*)(png_structrp, png_const_bytep);
  static const auto library = reinterpret_cast<TEntry>(dlsym(RTLD_NEXT, "png_write_row"));
  if (library == nullptr) std::abort();
  insideLibrary = true;
  for (const std::string& text : injectedWarnings) png_warning(png, text.c_str());
  library(png, row);
  insideLibrary = false;
}

TEST(PNGWriter, WritesTrueColourTheFPictureExactlyWithGamma) {
  auto image = MakeF();
  const TPngRead d = DecodePng(WriteToString(TPNGFileFormatWriter(), *image));
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.width, 6u);
  EXPECT_EQ(d.height, 5u);
  EXPECT_EQ(d.colorType, PNG_COLOR_TYPE_RGB);
  EXPECT_EQ(d.bitDepth, 8);
  EXPECT_TRUE(d.hasGamma);
  EXPECT_EQ(d.gamma, 55556);
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 6; ++x) {
      const std::vector<std::uint8_t> pixel(d.rows[y].begin() + 3 * x, d.rows[y].begin() + 3 * x + 3);
      EXPECT_EQ(pixel, IsF(x, y) ? (std::vector<std::uint8_t>{255, 0, 0}) : (std::vector<std::uint8_t>{0, 0, 255}))
          << x << "," << y;
    }
  }
}

TEST(PNGWriter, LeavesGammaOutWhenNotWantedAndStoresThePicturesOwnGamma) {
  auto image = MakeF();
  TFileOptions options;
  options.WriteGamma = false;
  EXPECT_FALSE(DecodePng(WriteToString(TPNGFileFormatWriter(), *image, options)).hasGamma);
  image->Gamma = 2.2L;
  const TPngRead d = DecodePng(WriteToString(TPNGFileFormatWriter(), *image));
  EXPECT_EQ(d.gamma, 45455);
}

TEST(PNGWriter, WritesBlackAndWhiteAsAOneBitPaletteImage) {
  TPixelGraphic image;
  image.SetSize(10, 2, TColorRes::Bits1);
  image.SetPaletteIdent(TPaletteIdent::pBlackWhite);
  image.SetPixel(0, 0, 1);
  image.SetPixel(9, 1, 1);
  const TPngRead d = DecodePng(WriteToString(TPNGFileFormatWriter(), image));
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.colorType, PNG_COLOR_TYPE_PALETTE);
  EXPECT_EQ(d.bitDepth, 1);
  ASSERT_EQ(d.palette.size(), 2u);
  EXPECT_EQ(d.palette[0].red + d.palette[0].green + d.palette[0].blue, 0);
  EXPECT_EQ(d.palette[1].red & d.palette[1].green & d.palette[1].blue, 255);
  EXPECT_EQ(d.rows[0], (std::vector<std::uint8_t>{0x80, 0x00}));
  EXPECT_EQ(d.rows[1], (std::vector<std::uint8_t>{0x00, 0x40}));
}

TEST(PNGWriter, WritesGreyAsColourTypeZeroAndOtherPalettesAsColourTypeThree) {
  TPixelGraphic gray;
  gray.SetSize(3, 1, TColorRes::Bits8);
  gray.SetPaletteIdent(TPaletteIdent::pGray256);
  gray.SetPixel(1, 0, 77);
  const TPngRead g = DecodePng(WriteToString(TPNGFileFormatWriter(), gray));
  EXPECT_EQ(g.colorType, PNG_COLOR_TYPE_GRAY);
  EXPECT_EQ(g.rows.at(0), (std::vector<std::uint8_t>{0, 77, 0}));

  TPixelGraphic sixteen;
  sixteen.SetSize(3, 1, TColorRes::Bits4);
  sixteen.SetPaletteIdent(TPaletteIdent::pSys16);
  sixteen.SetPixel(0, 0, 9);
  sixteen.SetPixel(2, 0, 12);
  const TPngRead s = DecodePng(WriteToString(TPNGFileFormatWriter(), sixteen));
  EXPECT_EQ(s.colorType, PNG_COLOR_TYPE_PALETTE);
  EXPECT_EQ(s.bitDepth, 4);
  ASSERT_EQ(s.palette.size(), 16u);
  EXPECT_EQ(s.palette[9].red, 255);  // system red
  EXPECT_EQ(s.palette[9].blue, 0);
  EXPECT_EQ(s.rows.at(0), (std::vector<std::uint8_t>{0x90, 0xC0}));
}

TEST(PNGWriter, TurnsAFailingStreamIntoALibraryError) {
  auto image = MakePattern(256, 256);
  std::ostringstream out;
  out.setstate(std::ios::badbit);
  try {
    TPNGFileFormatWriter().Write(out, *image, TWriteContext{});
    FAIL() << "no error";
  } catch (const EPGPNGFileFormatReaderWriter& e) {
    EXPECT_STREQ(e.what(), "PNG: Write Error");
  }
  // A stream asked to raise keeps its own error, which is not unwound through the library's frames.
  TRefusingBuffer refusing;
  std::ostream raising(&refusing);
  raising.exceptions(std::ios::badbit);
  EXPECT_THROW(TPNGFileFormatWriter().Write(raising, *image, TWriteContext{}), std::ios_base::failure);
  TPixelGraphic empty;
  EXPECT_THROW(TPNGFileFormatWriter().Write(out, empty, TWriteContext{}), EPGPNGFileFormatReaderWriter);
}

TEST(PNGWriter, AsksAboutLibraryWarningsOnlyAfterTheLibraryReturned) {
  auto image = MakeF();
  const TInjectedWarnings warnings({"first warning of a row", "second warning of a row"});
  TLibraryWarningBox box(insideLibrary);
  const TPngRead d = DecodePng(Write(*image, box.Box()));
  EXPECT_TRUE(d.ok);
  EXPECT_EQ(d.height, 5u);
  ASSERT_EQ(box.calls.size(), 2u);
  EXPECT_EQ(box.calls[0].caption, "PNG Warning");
  EXPECT_EQ(box.calls[0].text, "first warning of a row");
  EXPECT_EQ(box.calls[1].text, "second warning of a row");
  for (const TBoxCall& call : box.calls) {
    EXPECT_EQ(call.buttons, TWarningButtons::OKCancel);
    EXPECT_FALSE(call.fromInsideLibrary);
  }

  TLibraryWarningBox cancelling(insideLibrary);
  cancelling.answers = {false};
  try {
    Write(*image, cancelling.Box());
    ADD_FAILURE() << "no error";
  } catch (const EPGPNGFileFormatReaderWriter& e) {
    EXPECT_STREQ(e.what(), "PNG: Operation aborted on user request");
  }
  EXPECT_EQ(cancelling.calls.size(), 1u);
}

TEST(PNGWriter, FollowsThePicturesReadWarningActionForLibraryWarnings) {
  auto image = MakeF();
  int ends = 0;
  image->OnProgressEnd = [&](TPixelGraphic&) { ++ends; };
  const TInjectedWarnings warnings({"a warning long enough not to fit in a short string's own storage"});
  TLibraryWarningBox box(insideLibrary);
  box.answers = {false};

  image->ReadWarningAction = TPGWarningAction::pgwaIgnore;
  EXPECT_TRUE(DecodePng(Write(*image, box.Box())).ok);
  EXPECT_TRUE(box.calls.empty());

  image->ReadWarningAction = TPGWarningAction::pgwaOKBox;
  EXPECT_TRUE(DecodePng(Write(*image, box.Box())).ok);
  ASSERT_EQ(box.calls.size(), 1u);
  EXPECT_EQ(box.calls[0].buttons, TWarningButtons::OK);

  image->ReadWarningAction = TPGWarningAction::pgwaRaise;
  try {
    Write(*image, box.Box());
    ADD_FAILURE() << "no error";
  } catch (const EPGPNGFileFormatReaderWriter& e) {
    EXPECT_STREQ(e.what(), "PNG: a warning long enough not to fit in a short string's own storage");
  }
  EXPECT_EQ(box.calls.size(), 1u);
  EXPECT_EQ(ends, 3);
}

TEST(PNGWriter, ReportsTheLibrarysOwnWarningAndTheErrorThatFollowsIt) {
  // Wider than libpng lets a file be by default: it warns about the width, then fails on the header.
  TPixelGraphic wide;
  wide.SetSize(1000001, 1, TColorRes::Bits24);
  TLibraryWarningBox box(insideLibrary);
  try {
    Write(wide, box.Box());
    ADD_FAILURE() << "no error";
  } catch (const EPGPNGFileFormatReaderWriter& e) {
    EXPECT_STREQ(e.what(), "PNG: Invalid IHDR data");
  }
  EXPECT_TRUE(box.calls.empty()) << "the save failed; there is nothing left to agree to";

  wide.ReadWarningAction = TPGWarningAction::pgwaRaise;
  try {
    Write(wide, box.Box());
    ADD_FAILURE() << "no error";
  } catch (const EPGPNGFileFormatReaderWriter& e) {
    EXPECT_STREQ(e.what(), "PNG: Image width exceeds user limit in IHDR");
  }
}
