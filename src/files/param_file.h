// .ifs parameter files: one fractal window's parameter set as 170 lines of text, one value per line.
// The writer and the reader take the user's decimal separator as a parameter; only the Qt layer asks the locale.
#pragma once

#include <functional>
#include <iosfwd>
#include <stdexcept>
#include <string>

#include "engine/fractal_params.h"
#include "files/file_system.h"

inline constexpr char kParamFileHeader[] = "Ovel-IFS v0.005";
inline constexpr char kParamFileExtension[] = "ifs";
inline constexpr char kParamFileOpenFilter[] = "Ovel-IFS parameter files|*.ifs";
inline constexpr int kParamFileLineCount = 170;
inline constexpr char kParamReadErrorMessage[] = "Error reading parameter file";

// A line longer than this is kept only up to this length and counts as unreadable: no valid number or flag is that
// long, and a hostile file must not make the reader hold an unbounded line in memory.
inline constexpr std::size_t kParamMaxLineLength = 4096;

// Receives each user message of the reader, one call per message.
using TParamMessage = std::function<void(const std::string&)>;

// The parameter file could not be opened; nothing was read.
class EParamFileOpen : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The general number format: at most 15 significant digits, no trailing zeros, fixed notation for
// 1E-4 <= |value| < 1E15 and otherwise the E form ("1E-5", "2.5E20"); zero is "0".
// Not-a-number and infinities come out as "NAN", "INF" and "-INF", which the reader refuses.
// With TNumberDigits::Exact the digits are instead the fewest that read back as the same double (up to 17), in the
// same forms: for files that must give back exactly the numbers they were written from.
enum class TNumberDigits { Fifteen, Exact };
std::string FormatGeneralNumber(double value, char decimalSeparator, TNumberDigits digits = TNumberDigits::Fifteen);

// Converts text written with decimalSeparator: optional blanks, a sign, digits with at most one separator, an
// optional exponent ("E" or "e", a sign, digits), optional blanks. False for anything else, for "nan" and "inf",
// and for values beyond the range of a double; values too small for a double become 0 or a subnormal.
bool ParseGeneralNumber(const std::string& text, char decimalSeparator, double& value);

// True when numbers written with this separator contain a point (the reader's decimal-convention switch).
bool IsDotDecimal(char decimalSeparator);

std::string ReplaceChar(const std::string& text, char from, char to);

// "Missing variable in parameter file: " + caption + " using defaults".
std::string MissingVariableMessage(const std::string& caption);

// The 170 lines, each ended by carriage return and line feed, then, when the tone is not the defined colouring's
// (ToneLinesNeeded), three optional lines: log density (0 or 1), tone brightness and tone gamma. Readers of the
// 170-line layout ignore them; a file without them, or with one that does not read or lies outside its range, loads
// with the defined colouring.
// Then, when the colouring is not the defined colouring with the default gradient settings (GradientLinesNeeded),
// the tone lines are written in any case and ten gradient lines follow them: the gradient colouring (0 or 1), the
// gradient's name, its colours (GradientColoursToHex), the offset, the scale, reversed (0 or 1), the vibrancy and
// the colour positions of the three map groups. A file without them, or with one that does not read, loads with
// the defined colouring and the default gradient.
bool ToneLinesNeeded(const TFractalParams& v);
bool GradientLinesNeeded(const TFractalParams& v);
void WriteParameterFile(std::ostream& out, const TFractalParams& v, char decimalSeparator,
                        TNumberDigits digits = TNumberDigits::Fifteen);

// The parameter file that belongs to a picture: beside it, its extension (of any length) replaced by "ifs".
std::string ParameterFilePathFor(const std::string& picturePath);

// Writes the parameter file of the picture at picturePath atomically (an existing file stays untouched if anything
// fails; errors raise EFileWrite) and returns its path.
std::string SaveParameterFile(const std::string& picturePath, const TFractalParams& v, char decimalSeparator,
                              const TFileSystem& files = SystemFileSystem());

struct TParamReadResult {
  bool readError = false;  // a number line was not a number, or the input failed; reading stopped there
  int errorLine = 0;       // the file's line number of that failure, 1-based; 0 without one
  int missingCount = 0;    // how many missing-variable messages were given
};

// Reads a parameter file from in into v under the slot rules: a missing value (empty line, end of input) gives the
// missing-variable message naming caption and stops reading, but the slots of intensity, probability, randomizer
// and every coefficient re-arm it; a number that does not convert gives kParamReadErrorMessage and ends the load,
// keeping what was stored so far. Lines may end in CR LF, LF or CR alone; any bytes are tolerated.
TParamReadResult ReadParameterFile(std::istream& in, TFractalParams& v, char decimalSeparator,
                                   const std::string& caption, const TParamMessage& message);

// Opens path (raising EParamFileOpen if it cannot) and reads it with path as the caption of the messages.
TParamReadResult LoadParameterFile(const std::string& path, TFractalParams& v, char decimalSeparator,
                                   const TParamMessage& message);
