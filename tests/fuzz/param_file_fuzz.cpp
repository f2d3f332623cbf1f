// Feeds arbitrary bytes to the parameter file reader under both decimal conventions. Besides crashes and
// sanitizer reports it checks that a successful read leaves no non-finite value behind and that the reader's own
// count of messages matches what it told the callback.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "files/param_file.h"

namespace {

bool AllFinite(const TFractalParams& v) {
  for (double d : {v.zoom, v.xCenter, v.xMax, v.yCenter, v.yMax, v.red, v.green, v.blue, v.intensity, v.probability,
                   v.randomizer}) {
    if (!std::isfinite(d)) return false;
  }
  for (int k = 1; k <= kCoefficientCount; ++k) {
    if (!std::isfinite(v.af[k]) || !std::isfinite(v.af2[k])) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  for (const char separator : {'.', ','}) {
    TFractalParams v;
    int messages = 0;
    std::istringstream in(bytes);
    const TParamReadResult result =
        ReadParameterFile(in, v, separator, "fuzz.ifs", [&](const std::string&) { ++messages; });
    if (messages != result.missingCount + (result.readError ? 1 : 0)) std::abort();
    if (!AllFinite(v)) std::abort();

    // Whatever was read writes back into a file that reads back to the same text.
    std::ostringstream first;
    WriteParameterFile(first, v, separator);
    TFractalParams again;
    std::istringstream back(first.str());
    const TParamReadResult reread = ReadParameterFile(back, again, separator, "again.ifs", nullptr);
    if (reread.readError || reread.missingCount != 0) std::abort();
    std::ostringstream second;
    WriteParameterFile(second, again, separator);
    if (first.str() != second.str()) std::abort();
  }
  return 0;
}
