// The common base of the image writers, the colour resolutions they speak of, the warning box they
// report through and the errors of the image export.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

#include "files/file_options.h"
#include "image/pixel_graphic.h"

// The eight colour resolutions of the writers and the conversion, numbered as stored in the sets.
enum class TColorResolution : std::uint8_t {
  BlackWhite = 0,  // 1 bit, black-and-white palette
  TwoColors = 1,   // 1 bit, any other palette
  Gray16 = 2,
  Sys16 = 3,
  Colors16 = 4,
  Gray256 = 5,
  Colors256 = 6,
  TrueColor = 7
};

// A set of colour resolutions: bit i stands for resolution i.
using TColorResolutions = std::uint8_t;
constexpr TColorResolutions ResolutionBit(TColorResolution r) {
  return static_cast<TColorResolutions>(1u << static_cast<unsigned>(r));
}
template <typename... Rs>
constexpr TColorResolutions ResolutionSet(Rs... rs) {
  return static_cast<TColorResolutions>((ResolutionBit(rs) | ...));
}
constexpr TColorResolutions AllResolutions = 0xFF;

// The image library's name of a resolution ("black and white" .. "16.7 million colors").
const std::string& ColorResolutionName(TColorResolution r);

enum class TWarningButtons { OK, OKCancel };

// Shows a warning box with the given caption and text; answers true when the user chose OK.
// An unset box counts as OK for a box with only an OK button and as Cancel for OK/Cancel:
// without someone to ask, nothing is changed behind the user's back.
using TWarningBox =
    std::function<bool(const std::string& caption, const std::string& text, TWarningButtons buttons)>;

// Asks box (if any) and returns its answer as described above.
bool AskWarning(const TWarningBox& box, const std::string& caption, const std::string& text,
                TWarningButtons buttons);

// Warnings a codec library (libjpeg, libpng) reports from inside one of its calls. The library's callback only
// notes them here: a box opened there would run the program's event loop in the middle of the library, and a
// Cancel would have to leave the library by a long jump. The writer asks the user after the library returned.
// Noting never allocates or throws, so a callback may note and then long-jump away safely.
class TLibraryWarnings {
 public:
  static constexpr std::size_t Capacity = 8;        // distinct texts kept; later new ones are dropped
  static constexpr std::size_t MaxTextLength = 255;  // longer texts are cut

  explicit TLibraryWarnings(TPGWarningAction action) : action_(action) {}

  // Notes text as the picture's ReadWarningAction says (pgwaIgnore notes nothing; a text equal to one noted
  // before is noted once). Answers true when the warning must end the encoding at once: pgwaRaise.
  bool Note(const char* text) noexcept;

  std::size_t Count() const { return count_; }
  const char* Text(std::size_t i) const { return texts_[i].data(); }

  // Shows each noted warning, in order, through box with the given caption: OK only for pgwaOKBox, OK and
  // Cancel for pgwaOKCancelBox. Answers false as soon as one is cancelled (the rest are not shown).
  bool AskUser(const TWarningBox& box, const std::string& caption) const;

 private:
  TPGWarningAction action_;
  std::array<std::array<char, MaxTextLength + 1>, Capacity> texts_{};
  std::size_t count_ = 0;
};

// Copies text (null for an empty one) into a fixed buffer, cut to fit: for library callbacks that leave by a
// long jump and so must not hold a std::string.
template <std::size_t N>
void CopyLibraryText(char (&to)[N], const char* text) noexcept {
  std::size_t i = 0;
  for (; text != nullptr && text[i] != '\0' && i + 1 < N; ++i) to[i] = text[i];
  to[i] = '\0';
}

// What a writer needs besides the stream and the picture.
struct TWriteContext {
  TFileOptions options;
  TWarningBox warningBox;
};

class TFileFormatWriter {
 public:
  TFileFormatWriter(std::string className, std::string extension, std::string description, bool listed,
                    TColorResolutions canWriteResolutions);
  virtual ~TFileFormatWriter() = default;
  TFileFormatWriter(const TFileFormatWriter&) = delete;
  TFileFormatWriter& operator=(const TFileFormatWriter&) = delete;

  const std::string& ClassName() const { return className_; }
  const std::string& Extension() const { return extension_; }  // lower case, without the point
  const std::string& Description() const { return description_; }
  bool Listed() const { return listed_; }
  TColorResolutions CanWriteResolutions() const { return canWriteResolutions_; }
  bool CanWrite(TColorResolution r) const { return (canWriteResolutions_ & ResolutionBit(r)) != 0; }

  // Encodes image onto out, which stands where the file begins. Writers keep no state between calls.
  virtual void Write(std::ostream& out, TPixelGraphic& image, const TWriteContext& context) const = 0;

 private:
  std::string className_;
  std::string extension_;
  std::string description_;
  bool listed_;
  TColorResolutions canWriteResolutions_;
};

// Fires OnProgressStart at construction and OnProgressEnd at End, or at destruction when a writer raises
// half-way (an error of the end handler is then swallowed, the writer's own error goes on).
// Writers never stop early: the Abort flag of OnProgress is not looked at.
class TProgressScope {
 public:
  explicit TProgressScope(TPixelGraphic& image);
  ~TProgressScope();
  TProgressScope(const TProgressScope&) = delete;
  TProgressScope& operator=(const TProgressScope&) = delete;
  void Progress(int step, int max);
  void End();

 private:
  TPixelGraphic& image_;
  bool ended_ = false;
};

// The current colour resolution of a picture, recognising its palette kind from the palette entries
// (a palette that equals black and white, 16 or 256 grey levels, or the 16 system colours).
TColorResolution CurrentColorResolution(const TPixelGraphic& image);

// Palette recognition used by the writers, from the entries rather than the PaletteIdent field,
// which is pUnknown after an image's palette was set entry by entry.
bool HasBlackWhitePalette(const TPixelGraphic& image);
bool HasGray16Palette(const TPixelGraphic& image);
bool HasGray256Palette(const TPixelGraphic& image);
bool HasSys16Palette(const TPixelGraphic& image);

// "Unknown file extension \"gif\"" (the extension as given, in double quotation marks).
std::string UnknownExtensionMessage(const std::string& extension);

// Errors of the export. Messages are the image library's fixed English texts.
class EPGFileFormatWritersEmpty : public EPixelGraphic {
 public:
  using EPixelGraphic::EPixelGraphic;
};
class EPGUnknownExtension : public EPixelGraphic {
 public:
  using EPixelGraphic::EPixelGraphic;
};
class EPGCanWriteResolutionsEmpty : public EPixelGraphic {
 public:
  using EPixelGraphic::EPixelGraphic;
};
class EPGCannotWriteColorRes : public EPixelGraphic {
 public:
  using EPixelGraphic::EPixelGraphic;
};
class EPGEmpty : public EPixelGraphic {
 public:
  using EPixelGraphic::EPixelGraphic;
};
class EPGBMPFileFormatWriter : public EPixelGraphic {
 public:
  using EPixelGraphic::EPixelGraphic;
};
class EPGPxMFileFormatWriter : public EPixelGraphic {
 public:
  using EPixelGraphic::EPixelGraphic;
};
class EPGTGAFileFormatWriter : public EPixelGraphic {
 public:
  using EPixelGraphic::EPixelGraphic;
};
class EPGTIFFileFormatWriter : public EPixelGraphic {
 public:
  using EPixelGraphic::EPixelGraphic;
};
class EPGJPGFileFormatReaderWriter : public EPixelGraphic {
 public:
  using EPixelGraphic::EPixelGraphic;
};
class EPGPNGFileFormatReaderWriter : public EPixelGraphic {
 public:
  using EPixelGraphic::EPixelGraphic;
};

// Message templates shared by several writers.
inline constexpr const char* MsgIsEmpty = "%S1 is empty";
inline constexpr const char* MsgFailed = "%S1 failed";
inline constexpr const char* MsgInvalidValueFor = "Invalid value for %S1";
inline constexpr const char* MsgInvalidColorRes = "Invalid color resolution";
inline constexpr const char* MsgWidthHeightZero = "Width = 0 or Height = 0";
inline constexpr const char* MsgOperationAborted = "Operation aborted on user request";
inline constexpr const char* MsgWarning = "Warning";

// Little-endian stores into a byte buffer, for headers laid out as tables.
inline void PutLE16(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void PutLE32(std::uint8_t* p, std::uint32_t v) {
  PutLE16(p, v);
  PutLE16(p + 2, v >> 16);
}

// Hands n bytes to the stream. A failed stream is not checked here: the safe save checks it once at the
// end and then discards the temporary file.
inline void WriteBytes(std::ostream& out, const void* data, std::size_t n) {
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(n));
}
