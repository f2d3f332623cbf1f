#include "files/png_writer.h"

#include <array>
#include <csetjmp>
#include <exception>
#include <optional>
#include <string>

#include <png.h>
#include <zlib.h>

namespace {

constexpr char Prefix[] = "PNG: ";

// Everything one encoding needs, owned by Write's frame. libpng's callbacks leave it by a long jump back into
// Encode; neither they nor Encode hold an object with a destructor, and what they must keep (the error text,
// the warnings, an error of the stream) they keep here, without allocating.
struct TPngJob {
  explicit TPngJob(TPGWarningAction warningAction) : warnings(warningAction) {}

  png_structp png = nullptr;
  png_infop info = nullptr;
  std::jmp_buf jump{};
  bool jumpSet = false;  // the library also reports while its structure is being created, before Encode

  std::ostream* out = nullptr;
  TPixelGraphic* image = nullptr;
  const TWriteContext* context = nullptr;
  std::array<png_color, 256> palette{};
  std::optional<TProgressScope> progress;

  char message[256] = {};  // the error text after a long jump
  TLibraryWarnings warnings;
  std::exception_ptr pendingError;  // an error of the output stream, met inside the library

  ~TPngJob() {
    progress.reset();
    if (png != nullptr) png_destroy_write_struct(&png, info != nullptr ? &info : nullptr);
  }
};

TPngJob& JobOf(png_structp png) { return *static_cast<TPngJob*>(png_get_error_ptr(png)); }

// libpng goes on with its own long jump when an error handler returns, which it does only while the
// structure is being created: creation then fails, and Write reports that.
void ErrorFn(png_structp png, png_const_charp text) {
  TPngJob& job = JobOf(png);
  CopyLibraryText(job.message, text);
  if (job.jumpSet) std::longjmp(job.jump, 1);
}

void WarningFn(png_structp png, png_const_charp text) {
  TPngJob& job = JobOf(png);
  if (!job.warnings.Note(text)) return;
  // Under pgwaRaise a warning ends the encoding; one met during creation is raised by Write afterwards.
  CopyLibraryText(job.message, text);
  if (job.jumpSet) std::longjmp(job.jump, 1);
}

void WriteFn(png_structp png, png_bytep data, png_size_t length) {
  TPngJob& job = *static_cast<TPngJob*>(png_get_io_ptr(png));
  bool written = false;
  // A stream that raises (one asked to) must not unwind through the library: its error is kept and raised
  // once the library has been left.
  try {
    WriteBytes(*job.out, data, length);
    written = static_cast<bool>(*job.out);
  } catch (...) {
    job.pendingError = std::current_exception();
  }
  if (!written) png_error(png, "Write Error");
}

void FlushFn(png_structp) {}

// libpng's own rule: releases that share major and minor number are interchangeable; zlib's own
// rule compares the major number only.
bool LibraryVersionsMatch() {
  const png_uint_32 linked = png_access_version_number();
  if (linked / 100 != PNG_LIBPNG_VER / 100) return false;
  const char* zlibLinked = zlibVersion();
  return zlibLinked != nullptr && zlibLinked[0] == ZLIB_VERSION[0];
}

// Returns false after a library error (job->message tells which).
bool Encode(TPngJob* job) {
  if (setjmp(job->jump) != 0) return false;
  job->jumpSet = true;
  png_structp png = job->png;
  png_infop info = job->info;
  TPixelGraphic& image = *job->image;
  const TFileOptions& options = job->context->options;

  png_set_write_fn(png, job, WriteFn, FlushFn);
  const auto width = static_cast<png_uint_32>(image.Width());
  const auto height = static_cast<png_uint_32>(image.Height());
  if (image.ColorRes() == TColorRes::Bits24) {
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
  } else if (image.ColorRes() == TColorRes::Bits8 && HasGray256Palette(image)) {
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
  } else {
    png_set_IHDR(png, info, width, height, image.BitsPerPixel(), PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    const int count = image.PaletteLength() < 256 ? image.PaletteLength() : 256;
    for (int i = 0; i < count; ++i) {
      const TColor c = image.GetPaletteEntry(i);
      job->palette[static_cast<std::size_t>(i)] = {static_cast<png_byte>(RedOf(c)), static_cast<png_byte>(GreenOf(c)),
                                                   static_cast<png_byte>(BlueOf(c))};
    }
    png_set_PLTE(png, info, job->palette.data(), count);
  }
  if (options.WriteGamma) png_set_gAMA(png, info, 1.0 / static_cast<double>(image.Gamma));
  png_write_info(png, info);
  // The pixel memory holds blue, green, red; only 24-bit rows are affected.
  png_set_bgr(png);

  // The progress events run our own code (a GUI pumps its events there): between the library's calls, never
  // inside one, so an error they raise leaves through ordinary frames.
  job->progress.emplace(image);
  const int rows = image.Height();
  for (int y = 0; y < rows; ++y) {
    png_write_row(png, image.ScanLine(y));
    job->progress->Progress(y, rows - 1);
  }
  job->progress->End();
  png_write_end(png, info);
  job->jumpSet = false;  // the jump's target is gone once Encode has returned
  return true;
}

}  // namespace

TPNGFileFormatWriter::TPNGFileFormatWriter()
    : TFileFormatWriter("TPNGFileFormatWriter", "png", "Portable Network Graphics", true, AllResolutions) {}

void TPNGFileFormatWriter::Write(std::ostream& out, TPixelGraphic& image, const TWriteContext& context) const {
  if (!LibraryVersionsMatch()) throw EPGPNGFileFormatReaderWriter(std::string(Prefix) + "Invalid library version");
  if (image.Width() < 1 || image.Height() < 1 || image.Empty()) {
    throw EPGPNGFileFormatReaderWriter(std::string(Prefix) + MsgWidthHeightZero);
  }
  TPngJob job(image.ReadWarningAction);
  job.out = &out;
  job.image = &image;
  job.context = &context;
  job.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &job, ErrorFn, WarningFn);
  if (job.png == nullptr) {
    throw EPGPNGFileFormatReaderWriter(Prefix + FormatPGMessage(MsgFailed, "png_create_write_struct"));
  }
  job.info = png_create_info_struct(job.png);
  if (job.info == nullptr) {
    throw EPGPNGFileFormatReaderWriter(Prefix + FormatPGMessage(MsgFailed, "png_create_info_struct"));
  }
  const bool raisedBeforeEncoding = image.ReadWarningAction == TPGWarningAction::pgwaRaise && job.warnings.Count() > 0;
  if (raisedBeforeEncoding || !Encode(&job)) {
    if (job.pendingError) std::rethrow_exception(job.pendingError);
    throw EPGPNGFileFormatReaderWriter(Prefix + std::string(job.message));
  }
  if (!job.warnings.AskUser(context.warningBox, std::string("PNG ") + MsgWarning)) {
    throw EPGPNGFileFormatReaderWriter(std::string(Prefix) + MsgOperationAborted);
  }
}
