// TPixelGraphic: the in-memory raster image that the engine draws into, the view shows and the writers encode.
// Pixel memory uses the device-independent bitmap layout: rows padded to 4 bytes, stored bottom-up,
// 24-bit pixels as blue, green, red.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <iosfwd>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

// Colour value: red in bits 0..7, green in bits 8..15, blue in bits 16..23, bits 24..31 zero.
using TColor = std::uint32_t;

constexpr TColor RGBColor(int r, int g, int b) {
  return static_cast<TColor>(r & 0xFF) | (static_cast<TColor>(g & 0xFF) << 8) | (static_cast<TColor>(b & 0xFF) << 16);
}
constexpr int RedOf(TColor c) { return static_cast<int>(c & 0xFF); }
constexpr int GreenOf(TColor c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int BlueOf(TColor c) { return static_cast<int>((c >> 16) & 0xFF); }

// Colour resolution code: 0 = 1 bit per pixel, 1 = 4 bits, 2 = 8 bits, 3 = 24 bits.
enum class TColorRes : std::uint8_t { Bits1 = 0, Bits4 = 1, Bits8 = 2, Bits24 = 3 };

enum class TPaletteIdent {
  pNone, pTrueColor, pUnknown, pBlackWhite, pSysGray4, pSys16, pGray4, pGray16, pGray236, pGray256,
  pSpecial125, pSpecial216, pSpecial252, pOptimized252Sys16, pSource
};

enum class TStretchMode { smFast, smMedium, smPrecise };

enum class TPGWarningAction { pgwaIgnore, pgwaOKBox, pgwaOKCancelBox, pgwaRaise };

// The image library's error family. Messages take arguments by replacing "%S1", "%S2", "%S3".
class EPixelGraphic : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
class EPGInvalidSize : public EPixelGraphic {
 public:
  using EPixelGraphic::EPixelGraphic;
};
class EPGXYIndexOutOfRange : public EPixelGraphic {
 public:
  using EPixelGraphic::EPixelGraphic;
};
class EPGInvalidPaletteIndex : public EPixelGraphic {
 public:
  using EPixelGraphic::EPixelGraphic;
};
class EPGNoPalette : public EPixelGraphic {
 public:
  using EPixelGraphic::EPixelGraphic;
};
class EPGInvalidBitCountNum : public EPixelGraphic {
 public:
  using EPixelGraphic::EPixelGraphic;
};

// The library's own English message texts.
namespace PGMessage {
inline constexpr const char* NegativeWidth = "Negative width";
inline constexpr const char* NegativeHeight = "Negative height";
inline constexpr const char* Failed = "%S1 failed";
inline constexpr const char* ImageTooLarge = "Image too large: %S1 x %S2 pixels need more than 2 GB";
inline constexpr const char* XYIndexOutOfRange = "X, Y index out of range";
inline constexpr const char* InvalidPaletteIndex = "Invalid palette index";
inline constexpr const char* NoPalette = "No palette";
inline constexpr const char* InvalidValueFor = "Invalid value for %S1";
}  // namespace PGMessage

// Replaces the first "%S1", "%S2" and "%S3" in a message template by the given arguments.
std::string FormatPGMessage(const std::string& text, const std::string& s1 = {}, const std::string& s2 = {},
                            const std::string& s3 = {});

// Bits per pixel of a colour resolution (1, 4, 8, 24) and back; the latter raises EPGInvalidBitCountNum.
int BitsPerPixelOf(TColorRes res);
TColorRes ColorResOfBitCount(int bitCount);

class TPixelGraphic {
 public:
  using TNotifyEvent = std::function<void(TPixelGraphic& sender)>;
  using TProgressEvent = std::function<void(TPixelGraphic& sender, int step, int max, bool& abort)>;

  TPixelGraphic();
  TPixelGraphic(const TPixelGraphic&) = delete;
  TPixelGraphic& operator=(const TPixelGraphic&) = delete;
  ~TPixelGraphic();

  // Gamma given to every image constructed from now on (the file option ScreenGamma, default 1.8).
  static void SetDefaultGamma(long double gamma);
  static long double DefaultGamma();

  void SetSize(int width, int height, TColorRes res);
  void SetWidth(int width);
  void SetHeight(int height);
  void SetColorRes(TColorRes res);

  int Width() const { return width_; }
  int Height() const { return height_; }
  TColorRes ColorRes() const { return colorRes_; }
  int BytesPerLine() const { return bytesPerLine_; }
  std::int64_t ImageSize() const { return static_cast<std::int64_t>(bytesPerLine_) * height_; }
  bool Empty() const { return bits_ == nullptr; }
  int BitsPerPixel() const { return BitsPerPixelOf(colorRes_); }
  int PaletteColorCount() const;  // 2, 16, 256, or 0 for 24 bits

  // The engine's inner-loop store: a bounds test and a direct write, no events, no allocation.
  inline void SetPixel(int x, int y, TColor value);
  TColor GetPixel(int x, int y) const;
  TColor GetColor(int x, int y) const;

  std::uint8_t* ScanLine(int y);
  const std::uint8_t* ScanLine(int y) const;
  std::uint8_t* Bits();
  const std::uint8_t* Bits() const;

  int PaletteLength() const { return static_cast<int>(palette_.size()); }
  TColor GetPaletteEntry(int index) const;
  void SetPaletteLength(int count);
  void SetPaletteEntry(int index, TColor color);
  TPaletteIdent PaletteIdent() const { return paletteIdent_; }
  void SetPaletteIdent(TPaletteIdent ident);

  TColor BackGroundColor() const;
  void SetBackGroundColor(TColor color);

  void Clear();
  void Assign(const TPixelGraphic* source);  // nullptr gives an empty 24-bit image

  // Fires OnChange unless the change lock is held.
  void Changed();
  void LockChange() { ++changeLock_; }
  void UnlockChange() {
    if (changeLock_ > 0) --changeLock_;
  }
  int ChangeLockCount() const { return changeLock_; }

  // The 40-byte bitmap header, the palette (blue, green, red, 0 per entry) and ImageSize bytes of pixels.
  void SaveDIBToStream(std::ostream& out) const;

  // Index of the palette entry nearest to a colour (the colour reduction's search).
  int NearestPaletteIndex(TColor color) const;

  // The fixed palette of a kind (empty for pNone, pTrueColor, pUnknown and pSource, whose entries are not fixed).
  static std::vector<TColor> FixedPalette(TPaletteIdent ident);
  // The fixed kind whose palette equals this image's palette entry for entry; pTrueColor for 24 bits,
  // pNone for an empty palette, pUnknown for any other palette.
  TPaletteIdent RecognizePaletteIdent() const;

  // Largest pixel memory a resize accepts; ImageSize is a 32-bit quantity in the bitmap header.
  static constexpr std::int64_t MaxImageSize = 0x7FFFFFFF;

  // Scales the source rectangle into the destination rectangle of this image; equal sizes make a plain copy
  // that converts colour resolution. Fires the progress events of this image and then Changed.
  void StretchCopy(int destLeft, int destTop, int destWidth, int destHeight, int srcLeft, int srcTop, int srcWidth,
                   int srcHeight, const TPixelGraphic& source);
  // StretchCopy of the whole source onto the whole of this image.
  void StretchFrom(const TPixelGraphic& source);

  // Settings.
  bool RaiseXYIndexOutOfRange = false;
  bool Dither = true;
  std::uint8_t DitherErrorLimit = 32;
  bool DitherErrorLimitAuto = true;
  bool DitherErrorLimitSoft = true;
  bool RGBWeighting = true;
  bool ReduceOnLoad = false;
  bool GrayWeighting = true;
  TStretchMode StretchMode = TStretchMode::smPrecise;
  TPGWarningAction ReadWarningAction = TPGWarningAction::pgwaOKCancelBox;
  TPGWarningAction SaveColorResWarningAction = TPGWarningAction::pgwaOKCancelBox;
  long double Gamma;

  // Events.
  TNotifyEvent OnChange;
  TNotifyEvent OnProgressStart;
  TProgressEvent OnProgress;
  TNotifyEvent OnProgressEnd;

 private:
  std::uint8_t* RowAddress(int y) const { return bits_ + static_cast<std::int64_t>(bytesPerLine_) * (height_ - y - 1); }
  [[noreturn]] static void RaiseOutOfRange();
  // A 24-bit pixel's three bytes: blue, green, red.
  static void Store24(std::uint8_t* p, TColor value) {
    p[0] = static_cast<std::uint8_t>(value >> 16);
    p[1] = static_cast<std::uint8_t>(value >> 8);
    p[2] = static_cast<std::uint8_t>(value);
  }
  // A palette index into a 1-, 4- or 8-bit row (a 24-bit pixel goes to Store24).
  void StoreIndex(int x, int y, TColor value);
  TColor LoadPixel(int x, int y) const;
  void CopySettingsFrom(const TPixelGraphic& source);

  struct FreeDeleter {
    void operator()(std::uint8_t* p) const noexcept { std::free(p); }
  };

  int width_ = 0;
  int height_ = 0;
  TColorRes colorRes_ = TColorRes::Bits24;
  int bytesPerLine_ = 0;
  std::uint8_t* bits_ = nullptr;
  // calloc'd so that a large picture costs no page until it is written.
  std::unique_ptr<std::uint8_t, FreeDeleter> memory_;
  std::vector<TColor> palette_;
  TPaletteIdent paletteIdent_ = TPaletteIdent::pTrueColor;
  TColor backGroundColor_ = 0;  // a colour for 24 bits, a palette index otherwise
  int changeLock_ = 0;
};

inline void TPixelGraphic::SetPixel(int x, int y, TColor value) {
  if (static_cast<unsigned>(x) >= static_cast<unsigned>(width_) ||
      static_cast<unsigned>(y) >= static_cast<unsigned>(height_)) {
    if (RaiseXYIndexOutOfRange) RaiseOutOfRange();
    return;
  }
  if (colorRes_ == TColorRes::Bits24) {
    Store24(RowAddress(y) + x * 3, value);
    return;
  }
  StoreIndex(x, y, value);
}
