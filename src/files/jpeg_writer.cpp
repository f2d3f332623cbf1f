#include "files/jpeg_writer.h"

#include <array>
#include <csetjmp>
#include <cstdio>
#include <exception>
#include <optional>
#include <string>

#include <jpeglib.h>
#include <jerror.h>

namespace {

constexpr char Prefix[] = "JPG: ";
constexpr std::size_t OutputBufferSize = 64 * 1024;

// Everything one encoding needs, owned by the caller's frame. The library leaves its calls by a long
// jump back into Compress, which therefore holds no object with a destructor itself.
struct TJpegJob {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr errorManager{};
  jpeg_destination_mgr destination{};
  std::jmp_buf jump{};
  bool created = false;

  std::ostream* out = nullptr;
  std::array<JOCTET, OutputBufferSize> buffer{};

  TPixelGraphic* image = nullptr;
  const TWriteContext* context = nullptr;
  std::optional<TProgressScope> progress;

  std::string message;               // the error text after a long jump
  std::exception_ptr pendingError;   // an error of our own callback met inside the library

  ~TJpegJob() {
    progress.reset();
    if (created) jpeg_destroy_compress(&cinfo);
  }
};

TJpegJob& JobOf(j_common_ptr cinfo) { return *static_cast<TJpegJob*>(cinfo->client_data); }

[[noreturn]] void FailWith(TJpegJob& job, std::string message) {
  job.message = std::move(message);
  std::longjmp(job.jump, 1);
}

void ErrorExit(j_common_ptr cinfo) {
  TJpegJob& job = JobOf(cinfo);
  const int code = cinfo->err->msg_code;
  if (code == JERR_BAD_LIB_VERSION || code == JERR_BAD_STRUCT_SIZE) {
    job.message = "Invalid library version";
  } else {
    char text[JMSG_LENGTH_MAX] = {};
    (*cinfo->err->format_message)(cinfo, text);
    job.message = text;
  }
  std::longjmp(job.jump, 1);
}

void EmitMessage(j_common_ptr cinfo, int level) {
  if (level >= 0) return;  // trace messages
  TJpegJob& job = JobOf(cinfo);
  char text[JMSG_LENGTH_MAX] = {};
  (*cinfo->err->format_message)(cinfo, text);
  switch (job.image->ReadWarningAction) {
    case TPGWarningAction::pgwaIgnore:
      return;
    case TPGWarningAction::pgwaRaise:
      FailWith(job, text);
    case TPGWarningAction::pgwaOKBox:
    case TPGWarningAction::pgwaOKCancelBox: {
      const bool cancellable = job.image->ReadWarningAction == TPGWarningAction::pgwaOKCancelBox;
      bool ok = true;
      try {
        ok = AskWarning(job.context->warningBox, std::string("JPG ") + MsgWarning, text,
                        cancellable ? TWarningButtons::OKCancel : TWarningButtons::OK);
      } catch (...) {
        job.pendingError = std::current_exception();
      }
      if (job.pendingError) FailWith(job, {});
      if (!ok) FailWith(job, MsgOperationAborted);
      return;
    }
  }
}

void InitDestination(j_compress_ptr cinfo) {
  TJpegJob& job = JobOf(reinterpret_cast<j_common_ptr>(cinfo));
  job.destination.next_output_byte = job.buffer.data();
  job.destination.free_in_buffer = job.buffer.size();
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
  TJpegJob& job = JobOf(reinterpret_cast<j_common_ptr>(cinfo));
  // The library asks for the whole buffer to be written, whatever free_in_buffer says.
  WriteBytes(*job.out, job.buffer.data(), job.buffer.size());
  if (!*job.out) ERREXIT(cinfo, JERR_FILE_WRITE);
  InitDestination(cinfo);
  return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
  TJpegJob& job = JobOf(reinterpret_cast<j_common_ptr>(cinfo));
  WriteBytes(*job.out, job.buffer.data(), job.buffer.size() - job.destination.free_in_buffer);
  if (!*job.out) ERREXIT(cinfo, JERR_FILE_WRITE);
}

// Returns false after a library error (job.message tells which).
bool Compress(TJpegJob* job, bool gray) {
  j_compress_ptr cinfo = &job->cinfo;
  if (setjmp(job->jump) != 0) return false;

  cinfo->err = jpeg_std_error(&job->errorManager);
  job->errorManager.error_exit = ErrorExit;
  job->errorManager.emit_message = EmitMessage;
  cinfo->client_data = job;
  // Destroying is safe even when creation fails on the version check: the structure is still zero.
  job->created = true;
  jpeg_CreateCompress(cinfo, JPEG_LIB_VERSION, sizeof(jpeg_compress_struct));

  job->destination.init_destination = InitDestination;
  job->destination.empty_output_buffer = EmptyOutputBuffer;
  job->destination.term_destination = TermDestination;
  cinfo->dest = &job->destination;

  TPixelGraphic& image = *job->image;
  const TFileOptions& options = job->context->options;
  cinfo->image_width = static_cast<JDIMENSION>(image.Width());
  cinfo->image_height = static_cast<JDIMENSION>(image.Height());
  cinfo->input_components = gray ? 1 : 3;
  // The pixel memory holds blue, green, red; the library reads that order directly.
  cinfo->in_color_space = gray ? JCS_GRAYSCALE : JCS_EXT_BGR;
  jpeg_set_defaults(cinfo);
  if (options.JPEGProgressive) jpeg_simple_progression(cinfo);
  jpeg_set_quality(cinfo, options.JPEGQuality, TRUE);
  cinfo->dct_method = static_cast<J_DCT_METHOD>(options.JPEGWriteDCTMethod);

  jpeg_start_compress(cinfo, TRUE);
  job->progress.emplace(image);
  const int height = image.Height();
  while (cinfo->next_scanline < cinfo->image_height) {
    JSAMPROW row = image.ScanLine(static_cast<int>(cinfo->next_scanline));
    jpeg_write_scanlines(cinfo, &row, 1);
    job->progress->Progress(static_cast<int>(cinfo->next_scanline), height);
  }
  job->progress->End();
  jpeg_finish_compress(cinfo);
  return true;
}

}  // namespace

TJPGFileFormatWriter::TJPGFileFormatWriter() : TJPGFileFormatWriter("TJPGFileFormatWriter", "jpg") {}

TJPGFileFormatWriter::TJPGFileFormatWriter(std::string className, std::string extension)
    : TFileFormatWriter(std::move(className), extension, "JPEG (JFIF compliant)", extension == "jpg",
                        ResolutionSet(TColorResolution::Gray256, TColorResolution::TrueColor)) {}

TJPEGFileFormatWriter::TJPEGFileFormatWriter() : TJPGFileFormatWriter("TJPEGFileFormatWriter", "jpeg") {}

TJIFFileFormatWriter::TJIFFileFormatWriter() : TJPGFileFormatWriter("TJIFFileFormatWriter", "jif") {}

void TJPGFileFormatWriter::Write(std::ostream& out, TPixelGraphic& image, const TWriteContext& context) const {
  const bool gray = image.ColorRes() == TColorRes::Bits8 && HasGray256Palette(image);
  if (!gray && image.ColorRes() != TColorRes::Bits24) {
    throw EPGJPGFileFormatReaderWriter(Prefix + FormatPGMessage(MsgInvalidValueFor, "BitCount"));
  }
  if (image.Width() < 1 || image.Height() < 1 || image.Empty()) {
    throw EPGJPGFileFormatReaderWriter(std::string(Prefix) + MsgWidthHeightZero);
  }
  TJpegJob job;
  job.out = &out;
  job.image = &image;
  job.context = &context;
  if (Compress(&job, gray)) return;
  if (job.pendingError) std::rethrow_exception(job.pendingError);
  throw EPGJPGFileFormatReaderWriter(Prefix + job.message);
}
