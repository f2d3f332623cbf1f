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

// Everything one encoding needs, owned by Write's frame. The library's callbacks leave it by a long jump back
// into Compress; neither they nor Compress hold an object with a destructor, and what they must keep (the
// error text, the warnings, an error of the stream) they keep here, without allocating.
struct TJpegJob {
  explicit TJpegJob(TPGWarningAction warningAction) : warnings(warningAction) {}

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

  char message[JMSG_LENGTH_MAX] = {};  // the error text after a long jump
  TLibraryWarnings warnings;
  std::exception_ptr pendingError;  // an error of the output stream, met inside the library

  ~TJpegJob() {
    progress.reset();
    if (created) jpeg_destroy_compress(&cinfo);
  }
};

TJpegJob& JobOf(j_common_ptr cinfo) { return *static_cast<TJpegJob*>(cinfo->client_data); }

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
  TJpegJob& job = JobOf(cinfo);
  const int code = cinfo->err->msg_code;
  if (code == JERR_BAD_LIB_VERSION || code == JERR_BAD_STRUCT_SIZE) {
    CopyLibraryText(job.message, "Invalid library version");
  } else {
    (*cinfo->err->format_message)(cinfo, job.message);
  }
  std::longjmp(job.jump, 1);
}

void EmitMessage(j_common_ptr cinfo, int level) {
  if (level >= 0) return;  // trace messages
  TJpegJob& job = JobOf(cinfo);
  char text[JMSG_LENGTH_MAX] = {};
  (*cinfo->err->format_message)(cinfo, text);
  if (!job.warnings.Note(text)) return;
  CopyLibraryText(job.message, text);
  std::longjmp(job.jump, 1);
}

void InitDestination(j_compress_ptr cinfo) {
  TJpegJob& job = JobOf(reinterpret_cast<j_common_ptr>(cinfo));
  job.destination.next_output_byte = job.buffer.data();
  job.destination.free_in_buffer = job.buffer.size();
}

// Hands n bytes of the buffer to the stream; false when the stream failed. A stream that raises (one asked to)
// must not unwind through the library: its error is kept and raised once the library has been left.
bool Flush(TJpegJob& job, std::size_t n) noexcept {
  try {
    WriteBytes(*job.out, job.buffer.data(), n);
    return static_cast<bool>(*job.out);
  } catch (...) {
    job.pendingError = std::current_exception();
    return false;
  }
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
  TJpegJob& job = JobOf(reinterpret_cast<j_common_ptr>(cinfo));
  // The library asks for the whole buffer to be written, whatever free_in_buffer says.
  if (!Flush(job, job.buffer.size())) ERREXIT(cinfo, JERR_FILE_WRITE);
  InitDestination(cinfo);
  return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
  TJpegJob& job = JobOf(reinterpret_cast<j_common_ptr>(cinfo));
  if (!Flush(job, job.buffer.size() - job.destination.free_in_buffer)) ERREXIT(cinfo, JERR_FILE_WRITE);
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
  // The progress events run our own code (a GUI pumps its events there): between the library's calls, never
  // inside one, so an error they raise leaves through ordinary frames.
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
  TJpegJob job(image.ReadWarningAction);
  job.out = &out;
  job.image = &image;
  job.context = &context;
  if (!Compress(&job, gray)) {
    if (job.pendingError) std::rethrow_exception(job.pendingError);
    throw EPGJPGFileFormatReaderWriter(Prefix + std::string(job.message));
  }
  if (!job.warnings.AskUser(context.warningBox, std::string("JPG ") + MsgWarning)) {
    throw EPGJPGFileFormatReaderWriter(std::string(Prefix) + MsgOperationAborted);
  }
}
