// The image file options: one set for the whole process, starting with the defaults at every start and
// never stored. The Options dialog edits them and ovel-ifs-render sets them from its flags; the writers
// read them from the copy they are handed, so a test can use its own set.
#pragma once

#include <cstdint>

enum class TJPEGDCTMethod : std::uint8_t { IntPrecise = 0, IntFast = 1, FloatingPoint = 2 };

enum class TTIFFResUnit : std::uint8_t { None = 0, Inch = 1, Centimeter = 2 };

constexpr std::int32_t TIFFCompressionNone = 1;
constexpr std::int32_t TIFFCompressionPackBits = 32773;

struct TFileOptions {
  TJPEGDCTMethod JPEGWriteDCTMethod = TJPEGDCTMethod::FloatingPoint;
  std::uint8_t JPEGQuality = 80;
  bool JPEGProgressive = false;
  TJPEGDCTMethod JPEGReadDCTMethod = TJPEGDCTMethod::IntPrecise;  // reading only; kept for the dialog
  bool PXMWriteBinary = false;
  std::int32_t TIFFCompression = TIFFCompressionNone;
  bool TIFFWriteCMYK = false;
  bool TIFFWhiteIsZero = false;
  bool TIFFByteOrderM = false;
  TTIFFResUnit TIFFResUnit = TTIFFResUnit::Inch;
  std::int32_t TIFFResXNum = 300;
  std::int32_t TIFFResXDen = 1;
  std::int32_t TIFFResYNum = 300;
  std::int32_t TIFFResYDen = 1;
  bool WriteGamma = true;
  long double ScreenGamma = 1.8L;  // copied into every new pixel image as its Gamma; see ScreenGammaIsValid
  bool GammaCorrectionOnRead = true;  // reading only; kept for the dialog
};

// The screen gammas a PNG file can record: 1 / gamma must fit its gAMA chunk, or no PNG could be saved at all.
inline constexpr double kScreenGammaMin = 0.001;
inline constexpr double kScreenGammaMax = 1000;
inline bool ScreenGammaIsValid(long double gamma) { return gamma >= kScreenGammaMin && gamma <= kScreenGammaMax; }

// Makes options.ScreenGamma the Gamma of every pixel image constructed from now on.
void ApplyScreenGamma(const TFileOptions& options);
