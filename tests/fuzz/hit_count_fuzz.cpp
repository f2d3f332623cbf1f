// Feeds arbitrary bytes to the hit-count document reader. Besides crashes, sanitizer reports and allocations sized
// by a header, it checks that a document that reads writes back to one that reads the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "files/hit_count_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  THitCountDocument doc;
  try {
    doc = ReadHitCountDocument(in);
  } catch (const EHitCountFile&) {
    return 0;
  }
  std::ostringstream out;
  WriteHitCountDocument(out, doc);
  std::istringstream back(out.str());
  const THitCountDocument again = ReadHitCountDocument(back);
  if (again.counts != doc.counts || again.lead != doc.lead || again.orbits != doc.orbits ||
      again.parameters != doc.parameters || again.mainSteps != doc.mainSteps || again.seed != doc.seed)
    std::abort();
  return 0;
}
