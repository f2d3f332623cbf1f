#include "image/pixel_graphic.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <mutex>
#include <ostream>

#include "image/color_reduction.h"

namespace {

// Process-wide on purpose: every new pixel image, whoever makes it, takes the screen gamma in force. Workers make
// images too (thumbnails, background renders) while the GUI thread may change it, hence the lock.
std::mutex defaultGammaLock;
long double defaultGamma = 1.8L;

constexpr int kHeaderSize = 40;

void PutLE32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v >> 16);
  p[3] = static_cast<std::uint8_t>(v >> 24);
}

void PutLE16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

// One bitmap header laid out as the device-independent bitmap format has it; all fields little-endian.
void FillHeader(std::uint8_t* h, int width, int height, int bitCount, std::int64_t imageSize, int colorsUsed) {
  std::memset(h, 0, kHeaderSize);
  PutLE32(h + 0, kHeaderSize);
  PutLE32(h + 4, static_cast<std::uint32_t>(width));
  PutLE32(h + 8, static_cast<std::uint32_t>(height));  // positive: rows stored bottom-up
  PutLE16(h + 12, 1);                                  // planes
  PutLE16(h + 14, static_cast<std::uint16_t>(bitCount));
  PutLE32(h + 16, 0);  // uncompressed
  PutLE32(h + 20, static_cast<std::uint32_t>(imageSize));
  PutLE32(h + 24, 0);
  PutLE32(h + 28, 0);
  PutLE32(h + 32, static_cast<std::uint32_t>(colorsUsed));
  PutLE32(h + 36, 0);
}

void PutPaletteEntry(std::uint8_t* p, TColor c) {
  p[0] = static_cast<std::uint8_t>(BlueOf(c));
  p[1] = static_cast<std::uint8_t>(GreenOf(c));
  p[2] = static_cast<std::uint8_t>(RedOf(c));
  p[3] = 0;
}

// Palette entries that pixels of a resolution can index.
int IndexableColors(TColorRes res) {
  switch (res) {
    case TColorRes::Bits1: return 2;
    case TColorRes::Bits4: return 16;
    case TColorRes::Bits8: return 256;
    case TColorRes::Bits24: return 0;
  }
  return 0;
}

bool ValidColorRes(TColorRes res) { return static_cast<unsigned>(res) <= static_cast<unsigned>(TColorRes::Bits24); }

TColor Gray(int level) { return RGBColor(level, level, level); }

}  // namespace

std::string FormatPGMessage(const std::string& text, const std::string& s1, const std::string& s2,
                            const std::string& s3) {
  // Positions are taken from the template alone, so an argument that itself contains "%S2" stays as it is.
  struct Slot {
    std::size_t pos;
    const std::string* arg;
  };
  std::array<Slot, 3> slots{{{text.find("%S1"), &s1}, {text.find("%S2"), &s2}, {text.find("%S3"), &s3}}};
  std::sort(slots.begin(), slots.end(), [](const Slot& a, const Slot& b) { return a.pos < b.pos; });
  std::string out;
  std::size_t from = 0;
  for (const Slot& slot : slots) {
    if (slot.pos == std::string::npos) continue;
    out.append(text, from, slot.pos - from);
    out += *slot.arg;
    from = slot.pos + 3;
  }
  out.append(text, from, std::string::npos);
  return out;
}

int BitsPerPixelOf(TColorRes res) {
  switch (res) {
    case TColorRes::Bits1: return 1;
    case TColorRes::Bits4: return 4;
    case TColorRes::Bits8: return 8;
    case TColorRes::Bits24: return 24;
  }
  throw EPGInvalidBitCountNum(FormatPGMessage(PGMessage::InvalidValueFor, "ColorRes"));
}

TColorRes ColorResOfBitCount(int bitCount) {
  switch (bitCount) {
    case 1: return TColorRes::Bits1;
    case 4: return TColorRes::Bits4;
    case 8: return TColorRes::Bits8;
    case 24: return TColorRes::Bits24;
    default: throw EPGInvalidBitCountNum(FormatPGMessage(PGMessage::InvalidValueFor, "BitCountNum"));
  }
}

TPixelGraphic::TPixelGraphic() : Gamma(DefaultGamma()) {}

TPixelGraphic::~TPixelGraphic() = default;

void TPixelGraphic::SetDefaultGamma(long double gamma) {
  const std::lock_guard<std::mutex> lock(defaultGammaLock);
  defaultGamma = gamma;
}

long double TPixelGraphic::DefaultGamma() {
  const std::lock_guard<std::mutex> lock(defaultGammaLock);
  return defaultGamma;
}

void TPixelGraphic::RaiseOutOfRange() { throw EPGXYIndexOutOfRange(PGMessage::XYIndexOutOfRange); }

int TPixelGraphic::PaletteColorCount() const {
  switch (colorRes_) {
    case TColorRes::Bits1: return 2;
    case TColorRes::Bits4: return 16;
    case TColorRes::Bits8: return 256;
    case TColorRes::Bits24: return 0;
  }
  return 0;
}

void TPixelGraphic::SetSize(int width, int height, TColorRes res) {
  if (width < 0) throw EPGInvalidSize(PGMessage::NegativeWidth);
  if (height < 0) throw EPGInvalidSize(PGMessage::NegativeHeight);
  if (!ValidColorRes(res)) throw EPGInvalidBitCountNum(FormatPGMessage(PGMessage::InvalidValueFor, "ColorRes"));
  if (width == width_ && height == height_ && res == colorRes_) {
    Clear();
    return;
  }

  const std::int64_t bytesPerLine = (static_cast<std::int64_t>(BitsPerPixelOf(res)) * width + 31) / 32 * 4;
  const std::int64_t imageSize = bytesPerLine * height;
  if (bytesPerLine > MaxImageSize || imageSize > MaxImageSize) {
    throw EPixelGraphic(FormatPGMessage(PGMessage::ImageTooLarge, std::to_string(width), std::to_string(height)));
  }

  // Everything that can fail happens before the image is touched: a refused size leaves the old picture whole,
  // instead of an image whose size promises pixel memory it does not have.
  std::unique_ptr<std::uint8_t, FreeDeleter> memory;
  if (imageSize > 0) {
    memory.reset(static_cast<std::uint8_t*>(std::calloc(static_cast<std::size_t>(imageSize), 1)));
    if (!memory) throw EPixelGraphic(FormatPGMessage(PGMessage::Failed, "CreateDIBSection"));
  }

  width_ = width;
  height_ = height;
  colorRes_ = res;
  bytesPerLine_ = static_cast<int>(bytesPerLine);
  memory_ = std::move(memory);
  bits_ = memory_.get();
  if (imageSize > 0) {
    const int entries = IndexableColors(res);
    if (static_cast<int>(palette_.size()) > entries) palette_.resize(entries);
    if (res == TColorRes::Bits24) paletteIdent_ = TPaletteIdent::pTrueColor;
  }
  Changed();
}

void TPixelGraphic::SetWidth(int width) {
  if (width != width_) SetSize(width, height_, colorRes_);
}

void TPixelGraphic::SetHeight(int height) {
  if (height != height_) SetSize(width_, height, colorRes_);
}

void TPixelGraphic::SetColorRes(TColorRes res) {
  if (res != colorRes_) SetSize(width_, height_, res);
}

void TPixelGraphic::StoreIndex(int x, int y, TColor value) {
  std::uint8_t* row = RowAddress(y);
  switch (colorRes_) {
    case TColorRes::Bits1: {
      const std::uint8_t mask = static_cast<std::uint8_t>(0x80u >> (x & 7));
      if (value == 1) {
        row[x >> 3] |= mask;
      } else {
        row[x >> 3] &= static_cast<std::uint8_t>(~mask);
      }
      break;
    }
    case TColorRes::Bits4: {
      std::uint8_t& b = row[x >> 1];
      const std::uint8_t nibble = static_cast<std::uint8_t>(value & 0x0F);
      b = (x & 1) ? static_cast<std::uint8_t>((b & 0xF0) | nibble) : static_cast<std::uint8_t>((b & 0x0F) | (nibble << 4));
      break;
    }
    case TColorRes::Bits8:
      row[x] = static_cast<std::uint8_t>(value);
      break;
    case TColorRes::Bits24:
      Store24(row + x * 3, value);
      break;
  }
}

TColor TPixelGraphic::LoadPixel(int x, int y) const {
  const std::uint8_t* row = RowAddress(y);
  switch (colorRes_) {
    case TColorRes::Bits1: return (row[x >> 3] >> (7 - (x & 7))) & 1u;
    case TColorRes::Bits4: return (x & 1) ? (row[x >> 1] & 0x0Fu) : (row[x >> 1] >> 4);
    case TColorRes::Bits8: return row[x];
    case TColorRes::Bits24: {
      const std::uint8_t* p = row + x * 3;
      return RGBColor(p[2], p[1], p[0]);
    }
  }
  return 0;
}

TColor TPixelGraphic::GetPixel(int x, int y) const {
  if (static_cast<unsigned>(x) >= static_cast<unsigned>(width_) ||
      static_cast<unsigned>(y) >= static_cast<unsigned>(height_) || bits_ == nullptr) {
    if (RaiseXYIndexOutOfRange) RaiseOutOfRange();
    return backGroundColor_;
  }
  return LoadPixel(x, y);
}

TColor TPixelGraphic::GetColor(int x, int y) const {
  const TColor value = GetPixel(x, y);
  if (colorRes_ == TColorRes::Bits24) return value;
  return GetPaletteEntry(static_cast<int>(value));
}

std::uint8_t* TPixelGraphic::ScanLine(int y) {
  if (bits_ == nullptr || static_cast<unsigned>(y) >= static_cast<unsigned>(height_)) return nullptr;
  return RowAddress(y);
}

const std::uint8_t* TPixelGraphic::ScanLine(int y) const {
  if (bits_ == nullptr || static_cast<unsigned>(y) >= static_cast<unsigned>(height_)) return nullptr;
  return RowAddress(y);
}

std::uint8_t* TPixelGraphic::Bits() { return bits_; }

const std::uint8_t* TPixelGraphic::Bits() const { return bits_; }

TColor TPixelGraphic::GetPaletteEntry(int index) const {
  if (paletteIdent_ == TPaletteIdent::pTrueColor) return static_cast<TColor>(index);
  if (index < 0 || index >= PaletteLength()) throw EPGInvalidPaletteIndex(PGMessage::InvalidPaletteIndex);
  return palette_[index];
}

void TPixelGraphic::SetPaletteLength(int count) {
  // No image format holds more than 256 palette colours; a larger or negative count is a caller's mistake.
  if (count < 0 || count > 256) throw EPGInvalidPaletteIndex(PGMessage::InvalidPaletteIndex);
  palette_.resize(count, 0);
  paletteIdent_ = count > 0 ? TPaletteIdent::pUnknown : TPaletteIdent::pNone;
}

void TPixelGraphic::SetPaletteEntry(int index, TColor color) {
  if (paletteIdent_ == TPaletteIdent::pNone || paletteIdent_ == TPaletteIdent::pTrueColor) {
    throw EPGNoPalette(PGMessage::NoPalette);
  }
  if (index < 0 || index >= PaletteLength()) throw EPGInvalidPaletteIndex(PGMessage::InvalidPaletteIndex);
  palette_[index] = color & 0xFFFFFFu;
}

std::vector<TColor> TPixelGraphic::FixedPalette(TPaletteIdent ident) {
  std::vector<TColor> p;
  switch (ident) {
    case TPaletteIdent::pNone:
    case TPaletteIdent::pTrueColor:
    case TPaletteIdent::pUnknown:
    case TPaletteIdent::pSource:
      break;
    case TPaletteIdent::pBlackWhite:
      p = {Gray(0), Gray(255)};
      break;
    case TPaletteIdent::pSysGray4:
      p = {Gray(0), Gray(128), Gray(192), Gray(255)};
      break;
    case TPaletteIdent::pSys16:
      p = {RGBColor(0, 0, 0),       RGBColor(128, 0, 0),   RGBColor(0, 128, 0),   RGBColor(128, 128, 0),
           RGBColor(0, 0, 128),     RGBColor(128, 0, 128), RGBColor(0, 128, 128), RGBColor(192, 192, 192),
           RGBColor(128, 128, 128), RGBColor(255, 0, 0),   RGBColor(0, 255, 0),   RGBColor(255, 255, 0),
           RGBColor(0, 0, 255),     RGBColor(255, 0, 255), RGBColor(0, 255, 255), RGBColor(255, 255, 255)};
      break;
    case TPaletteIdent::pGray4:
      for (int i = 0; i < 4; ++i) p.push_back(Gray(i * 255 / 3));
      break;
    case TPaletteIdent::pGray16:
      for (int i = 0; i < 16; ++i) p.push_back(Gray(i * 255 / 15));
      break;
    case TPaletteIdent::pGray236:
      // Rounded rather than truncated so that the steps between neighbours differ by at most one level.
      for (int i = 0; i < 236; ++i) p.push_back(Gray((i * 255 * 2 + 235) / (2 * 235)));
      break;
    case TPaletteIdent::pGray256:
      for (int i = 0; i < 256; ++i) p.push_back(Gray(i));
      break;
    case TPaletteIdent::pSpecial125:
      for (int r = 0; r < 5; ++r)
        for (int g = 0; g < 5; ++g)
          for (int b = 0; b < 5; ++b)
            p.push_back(RGBColor((r * 255 + 3) >> 2, (g * 255 + 3) >> 2, (b * 255 + 3) >> 2));
      break;
    case TPaletteIdent::pSpecial216:
      for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
          for (int b = 0; b < 6; ++b)
            p.push_back(RGBColor((r * 255 + 4) / 5, (g * 255 + 4) / 5, (b * 255 + 4) / 5));
      break;
    case TPaletteIdent::pSpecial252:
      // 7 red x 9 green x 4 blue levels: the eye resolves green best and blue worst.
      for (int r = 0; r < 7; ++r)
        for (int g = 0; g < 9; ++g)
          for (int b = 0; b < 4; ++b) p.push_back(RGBColor((r * 255 + 3) / 6, (g * 255 + 4) / 8, (b * 255 + 1) / 3));
      break;
    case TPaletteIdent::pOptimized252Sys16: {
      // Without a source picture to optimise for, the 16 system colours come first and a 6 x 8 x 5 cube fills
      // the remaining 240 entries.
      p = FixedPalette(TPaletteIdent::pSys16);
      for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 8; ++g)
          for (int b = 0; b < 5; ++b)
            p.push_back(RGBColor((r * 255 + 2) / 5, (g * 255 + 3) / 7, (b * 255 + 2) / 4));
      break;
    }
  }
  return p;
}

void TPixelGraphic::SetPaletteIdent(TPaletteIdent ident) {
  switch (ident) {
    case TPaletteIdent::pUnknown:
    case TPaletteIdent::pSource:
      // Entries are whatever the caller put there.
      break;
    default:
      palette_ = FixedPalette(ident);
      break;
  }
  paletteIdent_ = ident;
}

TPaletteIdent TPixelGraphic::RecognizePaletteIdent() const {
  if (colorRes_ == TColorRes::Bits24) return TPaletteIdent::pTrueColor;
  if (palette_.empty()) return TPaletteIdent::pNone;
  static constexpr TPaletteIdent kFixed[] = {
      TPaletteIdent::pBlackWhite, TPaletteIdent::pSysGray4,   TPaletteIdent::pSys16,
      TPaletteIdent::pGray4,      TPaletteIdent::pGray16,     TPaletteIdent::pGray236,
      TPaletteIdent::pGray256,    TPaletteIdent::pSpecial125, TPaletteIdent::pSpecial216,
      TPaletteIdent::pSpecial252, TPaletteIdent::pOptimized252Sys16};
  for (TPaletteIdent kind : kFixed) {
    if (FixedPalette(kind) == palette_) return kind;
  }
  return TPaletteIdent::pUnknown;
}

int TPixelGraphic::NearestPaletteIndex(TColor color) const {
  const int count = colorRes_ == TColorRes::Bits24 ? PaletteLength() : std::min(PaletteLength(), PaletteColorCount());
  return NearestColorIndex(palette_.data(), count, color, RGBWeighting);
}

TColor TPixelGraphic::BackGroundColor() const {
  if (colorRes_ == TColorRes::Bits24) return backGroundColor_;
  if (backGroundColor_ < palette_.size()) return palette_[backGroundColor_];
  if (paletteIdent_ == TPaletteIdent::pTrueColor) return backGroundColor_;
  return 0;
}

void TPixelGraphic::SetBackGroundColor(TColor color) {
  if (colorRes_ == TColorRes::Bits24) {
    backGroundColor_ = color;
  } else {
    backGroundColor_ = static_cast<TColor>(NearestPaletteIndex(color));
  }
}

void TPixelGraphic::Clear() {
  if (bits_ == nullptr) return;
  if (backGroundColor_ == 0) {
    std::memset(bits_, 0, static_cast<std::size_t>(ImageSize()));
  } else if (colorRes_ == TColorRes::Bits8) {
    for (int y = 0; y < height_; ++y) std::memset(RowAddress(y), static_cast<std::uint8_t>(backGroundColor_), width_);
  } else if (colorRes_ == TColorRes::Bits24) {
    // One row built pixel by pixel, then copied: the same bytes as setting every pixel.
    for (int x = 0; x < width_; ++x) Store24(RowAddress(0) + x * 3, backGroundColor_);
    for (int y = 1; y < height_; ++y) std::memcpy(RowAddress(y), RowAddress(0), static_cast<std::size_t>(width_) * 3);
  } else {
    for (int y = 0; y < height_; ++y)
      for (int x = 0; x < width_; ++x) StoreIndex(x, y, backGroundColor_);
  }
  Changed();
}

void TPixelGraphic::CopySettingsFrom(const TPixelGraphic& source) {
  RaiseXYIndexOutOfRange = source.RaiseXYIndexOutOfRange;
  Dither = source.Dither;
  DitherErrorLimit = source.DitherErrorLimit;
  DitherErrorLimitAuto = source.DitherErrorLimitAuto;
  DitherErrorLimitSoft = source.DitherErrorLimitSoft;
  RGBWeighting = source.RGBWeighting;
  ReduceOnLoad = source.ReduceOnLoad;
  GrayWeighting = source.GrayWeighting;
  StretchMode = source.StretchMode;
  ReadWarningAction = source.ReadWarningAction;
  SaveColorResWarningAction = source.SaveColorResWarningAction;
  Gamma = source.Gamma;
}

void TPixelGraphic::Assign(const TPixelGraphic* source) {
  if (source == this) return;
  LockChange();
  try {
    if (source == nullptr) {
      // The image a constructor makes; the settings stay, as they belong to whoever configured this image.
      SetSize(0, 0, TColorRes::Bits24);
      palette_.clear();
      paletteIdent_ = TPaletteIdent::pTrueColor;
      backGroundColor_ = 0;
    } else {
      SetSize(source->width_, source->height_, source->colorRes_);
      if (source->bits_ != nullptr) std::memcpy(bits_, source->bits_, static_cast<std::size_t>(ImageSize()));
      palette_ = source->palette_;
      paletteIdent_ = source->paletteIdent_;
      backGroundColor_ = source->backGroundColor_;
      CopySettingsFrom(*source);
    }
  } catch (...) {
    UnlockChange();
    throw;
  }
  UnlockChange();
  Changed();
}

void TPixelGraphic::Changed() {
  if (changeLock_ == 0 && OnChange) OnChange(*this);
}

void TPixelGraphic::SaveDIBToStream(std::ostream& out) const {
  // A paletted bitmap cannot declare more colours than its pixels can index; readers would misplace the pixels.
  int colors = PaletteLength();
  if (colorRes_ != TColorRes::Bits24) colors = std::min(colors, PaletteColorCount());
  std::vector<std::uint8_t> head(kHeaderSize + 4 * static_cast<std::size_t>(colors));
  FillHeader(head.data(), width_, height_, BitsPerPixel(), ImageSize(), colors);
  for (int i = 0; i < colors; ++i) PutPaletteEntry(head.data() + kHeaderSize + 4 * i, palette_[i]);
  out.write(reinterpret_cast<const char*>(head.data()), static_cast<std::streamsize>(head.size()));
  if (bits_ != nullptr) out.write(reinterpret_cast<const char*>(bits_), static_cast<std::streamsize>(ImageSize()));
}
