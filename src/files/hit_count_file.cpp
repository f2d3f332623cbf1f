#include "files/hit_count_file.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <istream>
#include <limits>
#include <ostream>
#include <sstream>

#include "files/safe_file.h"

namespace {

constexpr char kMagic[8] = {'O', 'V', 'E', 'L', 'H', 'I', 'T', 'C'};
constexpr std::size_t kHeaderBytes = 72;
constexpr std::size_t kHeaderCrcAt = kHeaderBytes - 4;
constexpr std::uint32_t kFlagWhite = 1, kFlagJoined = 2;
constexpr std::size_t kOrbitBytes = 14 * 8 + 4 + 4 * 8 + 4 * 8;
// Version 2: the colour coordinate follows.
constexpr std::size_t kColourOrbitBytes = kOrbitBytes + 8;
constexpr std::size_t kChunk = std::size_t{1} << 16;

// ---- little-endian bytes ---------------------------------------------------------------------------------------

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int k = 0; k < 4; ++k) out.push_back(static_cast<std::uint8_t>(value >> (8 * k)));
}
void PutU64(std::vector<std::uint8_t>& out, std::uint64_t value) {
  for (int k = 0; k < 8; ++k) out.push_back(static_cast<std::uint8_t>(value >> (8 * k)));
}
void PutDouble(std::vector<std::uint8_t>& out, double value) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  PutU64(out, bits);
}

std::uint32_t GetU32(const std::uint8_t* p) {
  std::uint32_t value = 0;
  for (int k = 0; k < 4; ++k) value |= std::uint32_t{p[k]} << (8 * k);
  return value;
}
std::uint64_t GetU64(const std::uint8_t* p) {
  std::uint64_t value = 0;
  for (int k = 0; k < 8; ++k) value |= std::uint64_t{p[k]} << (8 * k);
  return value;
}
double GetDouble(const std::uint8_t* p) {
  const std::uint64_t bits = GetU64(p);
  double value = 0;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

std::uint32_t Crc(std::uint32_t crc, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const uInt n = static_cast<uInt>(std::min<std::size_t>(size, std::numeric_limits<uInt>::max()));
    crc = static_cast<std::uint32_t>(crc32(crc, data, n));
    data += n;
    size -= n;
  }
  return crc;
}

[[noreturn]] void Fail(const std::string& why) { throw EHitCountFile(why); }

// ---- the body: parameters, counts, lead channels, orbits --------------------------------------------------------

struct TLayout {
  std::uint32_t width = 0, height = 0, orbits = 0, parameterBytes = 0, supersample = 1;
  bool colour = false;
  std::uint64_t Cells() const { return std::uint64_t{width} * height * supersample * supersample; }
  std::size_t OrbitBytes() const { return colour ? kColourOrbitBytes : kOrbitBytes; }
  std::uint64_t BodyBytes() const {
    return parameterBytes + Cells() * (3 * 4 + 1 + (colour ? 8 + 4 : 0)) + std::uint64_t{orbits} * OrbitBytes();
  }
};

void PutOrbit(std::vector<std::uint8_t>& out, const THitCountOrbit& o, bool colour) {
  const TOrbitState& s = o.state;
  for (double d : {s.x, s.y, s.z, s.fx, s.fy, s.xe, s.ye, s.xs, s.ys, s.lsum, o.lyapunov, s.miraSign, s.miraF,
                   s.miraB})
    PutDouble(out, d);
  PutU32(out, static_cast<std::uint32_t>(s.j));
  for (std::uint64_t r : s.random.s) PutU64(out, r);
  PutU64(out, static_cast<std::uint64_t>(o.iterations));
  PutU64(out, static_cast<std::uint64_t>(s.mainSteps));
  PutU64(out, static_cast<std::uint64_t>(s.restarts));
  PutU64(out, static_cast<std::uint64_t>(o.roundSteps));
  if (colour) PutDouble(out, s.colour);
}

THitCountOrbit GetOrbit(const std::uint8_t* p, bool colour) {
  THitCountOrbit o;
  TOrbitState& s = o.state;
  double* doubles[] = {&s.x,  &s.y,  &s.z,    &s.fx,       &s.fy,       &s.xe,    &s.ye,
                       &s.xs, &s.ys, &s.lsum, &o.lyapunov, &s.miraSign, &s.miraF, &s.miraB};
  for (double* d : doubles) {
    *d = GetDouble(p);
    p += 8;
  }
  s.j = static_cast<std::int32_t>(GetU32(p));
  p += 4;
  for (std::uint64_t& r : s.random.s) {
    r = GetU64(p);
    p += 8;
  }
  o.iterations = static_cast<std::int64_t>(GetU64(p));
  s.mainSteps = static_cast<std::int64_t>(GetU64(p + 8));
  s.restarts = static_cast<std::int64_t>(GetU64(p + 16));
  o.roundSteps = static_cast<std::int64_t>(GetU64(p + 24));
  if (colour) s.colour = GetDouble(p + 32);
  return o;
}

// Feeds the body to deflate piece by piece, so that no second copy of the counts is ever made.
class TDeflater {
 public:
  TDeflater() {
    if (deflateInit(&z_, Z_DEFAULT_COMPRESSION) != Z_OK) Fail("Cannot start compressing the hit counts");
  }
  ~TDeflater() { deflateEnd(&z_); }
  TDeflater(const TDeflater&) = delete;
  TDeflater& operator=(const TDeflater&) = delete;

  void Add(const std::uint8_t* data, std::size_t size) {
    crc_ = Crc(crc_, data, size);
    while (size > 0) {
      const std::size_t n = std::min(size, kChunk);
      Run(data, n, Z_NO_FLUSH);
      data += n;
      size -= n;
    }
  }
  void Add(const std::vector<std::uint8_t>& bytes) { Add(bytes.data(), bytes.size()); }
  const std::vector<std::uint8_t>& Finish() {
    Run(nullptr, 0, Z_FINISH);
    return compressed_;
  }
  std::uint32_t BodyCrc() const { return crc_; }

 private:
  void Run(const std::uint8_t* data, std::size_t size, int flush) {
    z_.next_in = const_cast<Bytef*>(data);
    z_.avail_in = static_cast<uInt>(size);
    std::uint8_t buffer[kChunk];
    int result = Z_OK;
    do {
      z_.next_out = buffer;
      z_.avail_out = sizeof buffer;
      result = deflate(&z_, flush);
      if (result == Z_STREAM_ERROR) Fail("Cannot compress the hit counts");
      compressed_.insert(compressed_.end(), buffer, buffer + (sizeof buffer - z_.avail_out));
    } while (z_.avail_out == 0 || (flush == Z_FINISH && result != Z_STREAM_END));
  }

  z_stream z_{};
  std::uint32_t crc_ = static_cast<std::uint32_t>(crc32(0, nullptr, 0));
  std::vector<std::uint8_t> compressed_;
};

// Inflates exactly `expected` bytes from `compressed` bytes of the stream, growing its output only as data comes.
std::vector<std::uint8_t> Inflate(std::istream& in, std::uint64_t compressed, std::uint64_t expected) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) Fail("Cannot start decompressing the hit counts");
  struct TEnd {
    z_stream& z;
    ~TEnd() { inflateEnd(&z); }
  } end{z};
  std::vector<std::uint8_t> body;
  std::vector<std::uint8_t> input(kChunk);
  std::uint8_t buffer[kChunk];
  std::uint64_t left = compressed;
  int result = Z_OK;
  while (result != Z_STREAM_END) {
    if (z.avail_in == 0) {
      if (left == 0) Fail("The hit counts end before their compressed data does");
      const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, input.size()));
      in.read(reinterpret_cast<char*>(input.data()), static_cast<std::streamsize>(n));
      if (static_cast<std::size_t>(in.gcount()) != n) Fail("The file is shorter than its header says");
      left -= n;
      z.next_in = input.data();
      z.avail_in = static_cast<uInt>(n);
    }
    z.next_out = buffer;
    z.avail_out = sizeof buffer;
    result = inflate(&z, Z_NO_FLUSH);
    if (result != Z_OK && result != Z_STREAM_END) Fail("The compressed hit counts are damaged");
    const std::size_t produced = sizeof buffer - z.avail_out;
    if (produced > expected - body.size()) Fail("The hit counts are longer than their header says");
    body.insert(body.end(), buffer, buffer + produced);
  }
  if (z.avail_in != 0 || left != 0) Fail("The compressed hit counts are followed by other data");
  if (body.size() != expected) Fail("The hit counts are shorter than their header says");
  return body;
}

bool SameOrbit(const THitCountOrbit& a, const THitCountOrbit& b) {
  // Bit patterns, not values: a resumed render must continue from exactly these numbers, -0 and NaN included.
  std::vector<std::uint8_t> x, y;
  PutOrbit(x, a, true);
  PutOrbit(y, b, true);
  return x == y;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  std::istringstream in(text);
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::string SizeText(const THitCountDocument& d) {
  return std::to_string(d.width) + " x " + std::to_string(d.height);
}

}  // namespace

bool THitCountOrbit::operator==(const THitCountOrbit& o) const { return SameOrbit(*this, o); }

void THitCountDocument::CheckShape() const {
  if (supersample < 1 || supersample > kHitCountMaxSupersample)
    Fail("The supersampling factor " + std::to_string(supersample) + " is outside 1 to " +
         std::to_string(kHitCountMaxSupersample));
  if (width == 0 || height == 0 || width > kHitCountMaxSide || height > kHitCountMaxSide ||
      CellCount() > kHitCountMaxCells)
    Fail("The picture size " + SizeText(*this) + " is outside what a hit-count document holds");
  for (const auto& c : counts)
    if (c.size() != CellCount()) Fail("The hit counts do not match the picture size");
  if (lead.size() != CellCount()) Fail("The lead channels do not match the picture size");
  if (std::any_of(lead.begin(), lead.end(), [](TLeadChannel l) { return l > 3; }))
    Fail("A lead channel is out of range");
  if (HasColour() && (colourSums.size() != CellCount() || colourHits.size() != CellCount()))
    Fail("The colour cells do not match the picture size");
  if (parameters.size() > kHitCountMaxParameterBytes) Fail("The parameter set is too long");
  if (orbits.size() > kHitCountMaxOrbits) Fail("Too many orbits");
}

void WriteHitCountDocument(std::ostream& out, const THitCountDocument& doc) {
  doc.CheckShape();
  TDeflater deflater;
  deflater.Add(reinterpret_cast<const std::uint8_t*>(doc.parameters.data()), doc.parameters.size());
  std::vector<std::uint8_t> bytes;
  for (const auto& channel : doc.counts) {
    // In pieces, so that the little-endian copy never holds a whole channel.
    for (std::size_t i = 0; i < channel.size(); i += kChunk) {
      bytes.clear();
      const std::size_t end = std::min(channel.size(), i + kChunk);
      for (std::size_t k = i; k < end; ++k) PutU32(bytes, static_cast<std::uint32_t>(channel[k]));
      deflater.Add(bytes);
    }
  }
  deflater.Add(doc.lead.data(), doc.lead.size());
  const bool colour = doc.HasColour();
  if (colour) {
    for (std::size_t i = 0; i < doc.colourSums.size(); i += kChunk) {
      bytes.clear();
      const std::size_t end = std::min(doc.colourSums.size(), i + kChunk);
      for (std::size_t k = i; k < end; ++k) PutU64(bytes, doc.colourSums[k]);
      deflater.Add(bytes);
    }
    for (std::size_t i = 0; i < doc.colourHits.size(); i += kChunk) {
      bytes.clear();
      const std::size_t end = std::min(doc.colourHits.size(), i + kChunk);
      for (std::size_t k = i; k < end; ++k) PutU32(bytes, doc.colourHits[k]);
      deflater.Add(bytes);
    }
  }
  bytes.clear();
  for (const THitCountOrbit& o : doc.orbits) PutOrbit(bytes, o, colour);
  deflater.Add(bytes);
  const std::vector<std::uint8_t>& compressed = deflater.Finish();

  std::vector<std::uint8_t> header(kMagic, kMagic + sizeof kMagic);
  PutU32(header, colour ? kHitCountColourVersion : kHitCountVersion);
  PutU32(header, doc.width);
  PutU32(header, doc.height);
  PutU32(header, static_cast<std::uint32_t>(doc.orbits.size()));
  PutU32(header, static_cast<std::uint32_t>(doc.parameters.size()));
  PutU32(header, doc.maps);
  PutU32(header, (doc.white ? kFlagWhite : 0) | (doc.joined ? kFlagJoined : 0));
  // 0 for a plain render, as documents before supersampling wrote it.
  PutU32(header, doc.supersample == 1 ? 0 : doc.supersample);
  PutU64(header, doc.mainSteps);
  PutU64(header, doc.seed);
  PutU64(header, compressed.size());
  PutU32(header, deflater.BodyCrc());
  PutU32(header, Crc(static_cast<std::uint32_t>(crc32(0, nullptr, 0)), header.data(), header.size()));
  out.write(reinterpret_cast<const char*>(header.data()), static_cast<std::streamsize>(header.size()));
  out.write(reinterpret_cast<const char*>(compressed.data()), static_cast<std::streamsize>(compressed.size()));
}

THitCountDocument ReadHitCountDocument(std::istream& in) {
  std::uint8_t header[kHeaderBytes];
  in.read(reinterpret_cast<char*>(header), sizeof header);
  if (in.gcount() < static_cast<std::streamsize>(sizeof kMagic) || std::memcmp(header, kMagic, sizeof kMagic) != 0)
    Fail("This is not a hit-count document");
  if (static_cast<std::size_t>(in.gcount()) != sizeof header) Fail("The file ends inside its header");
  if (GetU32(header + kHeaderCrcAt) != Crc(static_cast<std::uint32_t>(crc32(0, nullptr, 0)), header, kHeaderCrcAt))
    Fail("The header is damaged (checksum mismatch)");
  const std::uint32_t version = GetU32(header + 8);
  if (version != kHitCountVersion && version != kHitCountColourVersion)
    Fail("Hit-count document version " + std::to_string(version) + " is not supported (this program reads versions " +
         std::to_string(kHitCountVersion) + " and " + std::to_string(kHitCountColourVersion) + ")");

  THitCountDocument doc;
  TLayout layout;
  layout.width = doc.width = GetU32(header + 12);
  layout.height = doc.height = GetU32(header + 16);
  layout.orbits = GetU32(header + 20);
  layout.parameterBytes = GetU32(header + 24);
  layout.colour = version == kHitCountColourVersion;
  doc.maps = GetU32(header + 28);
  const std::uint32_t flags = GetU32(header + 32);
  doc.white = (flags & kFlagWhite) != 0;
  doc.joined = (flags & kFlagJoined) != 0;
  doc.mainSteps = GetU64(header + 40);
  doc.seed = GetU64(header + 48);
  const std::uint32_t supersample = GetU32(header + 36);
  if (supersample == 1 || supersample > kHitCountMaxSupersample)
    Fail("The supersampling factor " + std::to_string(supersample) + " is not supported");
  layout.supersample = doc.supersample = supersample == 0 ? 1 : supersample;
  const std::uint64_t compressed = GetU64(header + 56);
  if (doc.width == 0 || doc.height == 0 || doc.width > kHitCountMaxSide || doc.height > kHitCountMaxSide ||
      layout.Cells() > kHitCountMaxCells)
    Fail("The picture size " + SizeText(doc) + " is outside what a hit-count document holds");
  if (layout.orbits > kHitCountMaxOrbits) Fail("Too many orbits (" + std::to_string(layout.orbits) + ")");
  if (layout.parameterBytes > kHitCountMaxParameterBytes) Fail("The parameter set is too long");
  if ((flags & ~(kFlagWhite | kFlagJoined)) != 0)
    Fail("The header has fields this program does not know");

  const std::vector<std::uint8_t> body = Inflate(in, compressed, layout.BodyBytes());
  if (GetU32(header + 64) != Crc(static_cast<std::uint32_t>(crc32(0, nullptr, 0)), body.data(), body.size()))
    Fail("The hit counts are damaged (checksum mismatch)");
  if (in.peek() != std::char_traits<char>::eof()) Fail("The document is followed by other data");

  const std::uint8_t* p = body.data();
  doc.parameters.assign(reinterpret_cast<const char*>(p), layout.parameterBytes);
  p += layout.parameterBytes;
  const std::size_t cells = static_cast<std::size_t>(layout.Cells());
  for (auto& channel : doc.counts) {
    channel.resize(cells);
    for (std::size_t k = 0; k < cells; ++k, p += 4) channel[k] = static_cast<std::int32_t>(GetU32(p));
  }
  doc.lead.assign(p, p + cells);
  p += cells;
  if (layout.colour) {
    doc.colourSums.resize(cells);
    for (std::size_t k = 0; k < cells; ++k, p += 8) doc.colourSums[k] = GetU64(p);
    doc.colourHits.resize(cells);
    for (std::size_t k = 0; k < cells; ++k, p += 4) doc.colourHits[k] = GetU32(p);
  }
  doc.orbits.reserve(layout.orbits);
  for (std::uint32_t k = 0; k < layout.orbits; ++k, p += layout.OrbitBytes())
    doc.orbits.push_back(GetOrbit(p, layout.colour));
  doc.CheckShape();
  return doc;
}

void SaveHitCountDocument(const std::string& path, const THitCountDocument& doc, const TFileSystem& files) {
  doc.CheckShape();  // before a temporary file exists
  WriteFileAtomically(path, [&](std::ostream& out) { WriteHitCountDocument(out, doc); }, files);
}

THitCountDocument LoadHitCountDocument(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw EHitCountFile("Cannot open hit-count document \"" + path + "\"");
  try {
    return ReadHitCountDocument(in);
  } catch (const EHitCountFile& e) {
    throw EHitCountFile("Cannot read hit-count document \"" + path + "\": " + e.what());
  }
}

THitCountDocument MergeHitCountDocuments(const std::vector<THitCountDocument>& docs) {
  if (docs.empty()) Fail("Nothing to merge");
  const THitCountDocument& first = docs.front();
  first.CheckShape();
  const std::vector<std::string> firstLines = Lines(first.parameters);
  THitCountDocument sum;
  sum.parameters = first.parameters;
  sum.width = first.width;
  sum.height = first.height;
  sum.seed = first.seed;
  sum.maps = first.maps;
  sum.white = first.white;
  sum.supersample = first.supersample;
  sum.counts = first.counts;
  sum.lead = first.lead;
  sum.colourSums = first.colourSums;
  sum.colourHits = first.colourHits;
  sum.mainSteps = first.mainSteps;
  for (std::size_t d = 1; d < docs.size(); ++d) {
    const THitCountDocument& other = docs[d];
    const std::string which = "document " + std::to_string(d + 1);
    if (other.width != first.width || other.height != first.height)
      Fail("Cannot merge: " + which + " is " + SizeText(other) + ", document 1 is " + SizeText(first));
    if (other.supersample != first.supersample)
      Fail("Cannot merge: " + which + " was supersampled " + std::to_string(other.supersample) + " times, document 1 " +
           std::to_string(first.supersample) + " times");
    other.CheckShape();
    if (other.maps != first.maps)
      Fail("Cannot merge: " + which + " was drawn with maps " + std::to_string(other.maps) + ", document 1 with maps " +
           std::to_string(first.maps));
    if (other.white != first.white)
      Fail("Cannot merge: " + which + (other.white ? " is" : " is not") + " White, document 1" +
           (first.white ? " is" : " is not"));
    if (other.HasColour() != first.HasColour())
      Fail("Cannot merge: " + which + (other.HasColour() ? " holds" : " holds no") +
           " colour cells of the gradient colouring, document 1" + (first.HasColour() ? " does" : " does not"));
    const std::vector<std::string> lines = Lines(other.parameters);
    for (std::size_t k = 0; k < std::max(lines.size(), firstLines.size()); ++k) {
      const std::string a = k < firstLines.size() ? firstLines[k] : "(none)";
      const std::string b = k < lines.size() ? lines[k] : "(none)";
      if (a != b)
        Fail("Cannot merge: parameter line " + std::to_string(k + 1) + " is \"" + b + "\" in " + which + " and \"" +
             a + "\" in document 1");
    }
    for (int c = 0; c < 3; ++c) {
      std::vector<std::int32_t>& into = sum.counts[c];
      const std::vector<std::int32_t>& add = other.counts[c];
      for (std::size_t k = 0; k < into.size(); ++k) {
        const std::int64_t total = std::int64_t{into[k]} + add[k];
        into[k] = static_cast<std::int32_t>(std::clamp<std::int64_t>(
            total, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
      }
    }
    for (std::size_t k = 0; k < sum.lead.size(); ++k)
      if (other.lead[k] != kNoLead) sum.lead[k] = other.lead[k];
    // A cell whose point count would pass the 32-bit maximum keeps its sum with it, as a render does.
    for (std::size_t k = 0; k < sum.colourHits.size(); ++k) {
      const std::uint64_t hits = std::uint64_t{sum.colourHits[k]} + other.colourHits[k];
      if (hits > std::numeric_limits<std::uint32_t>::max()) continue;
      sum.colourHits[k] = static_cast<std::uint32_t>(hits);
      sum.colourSums[k] += other.colourSums[k];
    }
    sum.mainSteps = other.mainSteps > std::numeric_limits<std::uint64_t>::max() - sum.mainSteps
                        ? std::numeric_limits<std::uint64_t>::max()
                        : sum.mainSteps + other.mainSteps;
  }
  return sum;
}
