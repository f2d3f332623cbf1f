// Gradients from files of other programs: Fractint-style palette maps (.map, lines of "r g b") and GIMP gradients
// (.ggr, segments with their blend functions), and the hex text a parameter file keeps a gradient's colours in.
#pragma once

#include <iosfwd>
#include <stdexcept>
#include <string>

#include "engine/gradient.h"

// A gradient file that cannot be read; the message names the line and what is wrong with it.
class EGradientFile : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A .ggr gradient is sampled at this many evenly spaced colours.
inline constexpr int kGradientSamples = 256;

// `name` becomes the gradient's name. At most kMaxGradientColours lines; text after the three numbers of a line is
// a comment; blank lines are skipped.
TGradient ReadMapGradient(std::istream& in, const std::string& name);
// The name is the file's "Name:" line, else `name`.
TGradient ReadGgrGradient(std::istream& in, const std::string& name);
// By its extension (.map or .ggr, any case); named after the file without its folder and extension. Raises
// EGradientFile naming the path.
TGradient LoadGradientFile(const std::string& path);
// A built-in name, else a gradient file; raises EGradientFile for neither.
TGradientRef GradientFromNameOrFile(const std::string& nameOrPath);

// "RRGGBB" for each colour, lower case, no separators; false (nothing changed) for text that is not 2 to
// kMaxGradientColours such groups.
std::string GradientColoursToHex(const TGradient& gradient);
bool GradientColoursFromHex(const std::string& text, TGradient& gradient);
