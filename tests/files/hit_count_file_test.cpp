// Hit-count documents: what is written reads back bit for bit, and a damaged, cut or foreign file is refused with a
// reason instead of being half believed. Merging adds counts and names the first difference it refuses.
#include "files/hit_count_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

#include <zlib.h>

#include "writer_test_support.h"

using namespace writer_test;

namespace {

THitCountDocument SmallDocument(std::uint32_t width, std::uint32_t height, int orbits) {
  THitCountDocument d;
  d.parameters = "Ovel-IFS v0.005\r\n0.5\r\n-1.25\r\n";
  d.width = width;
  d.height = height;
  d.mainSteps = 123456789;
  d.maps = 3;
  d.white = true;
  d.joined = true;
  d.seed = 0xfeedfacecafebeefULL;
  const std::size_t cells = std::size_t{width} * height;
  for (int c = 0; c < 3; ++c) {
    d.counts[c].resize(cells);
    for (std::size_t k = 0; k < cells; ++k) d.counts[c][k] = static_cast<std::int32_t>((k * 7 + c * 13) % 50) - 3;
  }
  d.lead.resize(cells);
  for (std::size_t k = 0; k < cells; ++k) d.lead[k] = static_cast<TLeadChannel>(k % 4);
  for (int k = 0; k < orbits; ++k) {
    THitCountOrbit o;
    o.state.x = 0.1 * k;
    o.state.y = -0.0;
    o.state.z = std::numeric_limits<double>::quiet_NaN();
    o.state.lsum = -1e300;
    o.state.j = 19;
    o.state.random.s[0] = 1u + k;
    o.state.random.s[1] = 2;
    o.state.random.s[2] = 3;
    o.state.random.s[3] = 0xffffffffffffffffULL;
    o.iterations = 10000 + k;
    o.state.mainSteps = 1LL << 40;
    o.state.restarts = k;
    o.roundSteps = 3 * k;
    d.orbits.push_back(o);
  }
  return d;
}

std::string Bytes(const THitCountDocument& d) {
  std::ostringstream out;
  WriteHitCountDocument(out, d);
  return out.str();
}

THitCountDocument Read(const std::string& bytes) {
  std::istringstream in(bytes);
  return ReadHitCountDocument(in);
}

std::string ReadError(const std::string& bytes) {
  try {
    Read(bytes);
  } catch (const EHitCountFile& e) {
    return e.what();
  }
  return "(read without error)";
}

void ExpectSame(const THitCountDocument& a, const THitCountDocument& b) {
  EXPECT_EQ(a.parameters, b.parameters);
  EXPECT_EQ(a.width, b.width);
  EXPECT_EQ(a.height, b.height);
  EXPECT_EQ(a.mainSteps, b.mainSteps);
  EXPECT_EQ(a.maps, b.maps);
  EXPECT_EQ(a.white, b.white);
  EXPECT_EQ(a.joined, b.joined);
  EXPECT_EQ(a.seed, b.seed);
  EXPECT_EQ(a.counts, b.counts);
  EXPECT_EQ(a.lead, b.lead);
  EXPECT_EQ(a.orbits, b.orbits);
}

// A header for the given fields with correct checksums, so a test can reach the checks behind them.
std::string Header(std::uint32_t width, std::uint32_t height, std::uint32_t orbits, std::uint64_t compressed) {
  std::string h = "OVELHITC";
  auto u32 = [&](std::uint32_t v) {
    for (int k = 0; k < 4; ++k) h += static_cast<char>(v >> (8 * k));
  };
  auto u64 = [&](std::uint64_t v) {
    for (int k = 0; k < 8; ++k) h += static_cast<char>(v >> (8 * k));
  };
  u32(kHitCountVersion);
  u32(width);
  u32(height);
  u32(orbits);
  u32(0);
  u32(2);
  u32(0);
  u32(0);
  u64(0);
  u64(0);
  u64(compressed);
  u32(0);
  u32(static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(h.data()), static_cast<uInt>(h.size()))));
  return h;
}

}  // namespace

TEST(HitCountFile, ADocumentReadsBackBitForBitIncludingNegativeZeroAndNaNInItsOrbits) {
  const THitCountDocument d = SmallDocument(7, 5, 3);
  const THitCountDocument back = Read(Bytes(d));
  ExpectSame(d, back);
  EXPECT_TRUE(std::signbit(back.orbits[0].state.y));
  EXPECT_TRUE(std::isnan(back.orbits[1].state.z));
  // Writing what was read gives the same bytes.
  EXPECT_EQ(Bytes(back), Bytes(d));
}

TEST(HitCountFile, ColourCellsAndColourCoordinatesMakeAVersion2DocumentThatReadsBack) {
  THitCountDocument d = SmallDocument(7, 5, 2);
  EXPECT_EQ(Bytes(d)[8], 1) << "without colour cells the document stays version 1";
  for (std::size_t k = 0; k < d.CellCount(); ++k) {
    d.colourSums.push_back((std::uint64_t{1} << 40) + k * 2047);
    d.colourHits.push_back(static_cast<std::uint32_t>(k == 3 ? 0xffffffffu : k));
  }
  d.orbits[0].state.colour = 0.3;
  d.orbits[1].state.colour = 1;
  const std::string bytes = Bytes(d);
  EXPECT_EQ(bytes[8], 2);
  const THitCountDocument back = Read(bytes);
  ExpectSame(d, back);
  EXPECT_EQ(back.colourSums, d.colourSums);
  EXPECT_EQ(back.colourHits, d.colourHits);
  EXPECT_EQ(back.orbits[0].state.colour, 0.3);
  EXPECT_EQ(back.orbits[1].state.colour, 1);
  for (std::size_t n = 0; n < bytes.size(); n += 7) EXPECT_NE(ReadError(bytes.substr(0, n)), "(read without error)");

  THitCountDocument wrong = d;
  wrong.colourHits.pop_back();
  EXPECT_THROW(Bytes(wrong), EHitCountFile);
  // Documents with colour cells add theirs; one without cannot be added to them.
  const THitCountDocument sum = MergeHitCountDocuments({d, d});
  EXPECT_EQ(sum.colourHits[2], 4u);
  EXPECT_EQ(sum.colourSums[2], 2 * d.colourSums[2]);
  EXPECT_EQ(sum.colourHits[3], 0xffffffffu) << "a saturated cell keeps its count and its sum";
  EXPECT_EQ(sum.colourSums[3], d.colourSums[3]);
  try {
    MergeHitCountDocuments({d, SmallDocument(7, 5, 0)});
    ADD_FAILURE() << "merged";
  } catch (const EHitCountFile& e) {
    EXPECT_STREQ(e.what(), "Cannot merge: document 2 holds no colour cells of the gradient colouring, document 1 does");
  }
}

TEST(HitCountFile, EveryFlippedByteAndEveryCutIsRefusedWithAReason) {
  const std::string good = Bytes(SmallDocument(5, 4, 2));
  for (std::size_t i = 0; i < good.size(); ++i) {
    std::string bad = good;
    bad[i] = static_cast<char>(bad[i] ^ 0x21);
    EXPECT_NE(ReadError(bad), "(read without error)") << "byte " << i;
  }
  for (std::size_t n = 0; n < good.size(); ++n)
    EXPECT_NE(ReadError(good.substr(0, n)), "(read without error)") << "cut at " << n;
  EXPECT_EQ(ReadError(good + "x"), "The document is followed by other data");
}

TEST(HitCountFile, ForeignFilesAndOtherVersionsGetTheirOwnMessages) {
  EXPECT_EQ(ReadError(""), "This is not a hit-count document");
  EXPECT_EQ(ReadError("Ovel-IFS v0.005\r\n0.5\r\n"), "This is not a hit-count document");
  std::string v3 = Header(1, 1, 0, 0);
  v3[8] = 3;
  const std::uint32_t crc = static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(v3.data()), 68));
  for (int k = 0; k < 4; ++k) v3[68 + k] = static_cast<char>(crc >> (8 * k));
  EXPECT_EQ(ReadError(v3), "Hit-count document version 3 is not supported (this program reads versions 1 and 2)");
}

TEST(HitCountFile, ASupersampledDocumentKeepsItsFactorAndGridAndAnUnknownFactorIsRefused) {
  // A 3 x 2 picture over a grid three times finer: 9 x 6 cells.
  THitCountDocument d = SmallDocument(9, 6, 1);
  d.width = 3;
  d.height = 2;
  d.supersample = 3;
  const THitCountDocument back = Read(Bytes(d));
  EXPECT_EQ(back.supersample, 3u);
  EXPECT_EQ(back.width, 3u);
  EXPECT_EQ(back.counts, d.counts);
  EXPECT_EQ(back.lead, d.lead);
  d.supersample = 2;
  EXPECT_THROW(Bytes(d), EHitCountFile) << "a grid of the wrong size is not written";
  std::string seven = Header(1, 1, 0, 0);
  seven[36] = 7;
  const std::uint32_t crc = static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(seven.data()), 68));
  for (int k = 0; k < 4; ++k) seven[68 + k] = static_cast<char>(crc >> (8 * k));
  EXPECT_EQ(ReadError(seven), "The supersampling factor 7 is not supported");
}

TEST(HitCountFile, AHeaderClaimingAHugePictureIsRefusedBeforeAnythingIsAllocated) {
  EXPECT_EQ(ReadError(Header(100000, 10, 0, 10)),
            "The picture size 100000 x 10 is outside what a hit-count document holds");
  EXPECT_EQ(ReadError(Header(65536, 65536, 0, 10)),
            "The picture size 65536 x 65536 is outside what a hit-count document holds");
  EXPECT_EQ(ReadError(Header(10, 10, 5000, 10)), "Too many orbits (5000)");
  // A size allowed, with ten bytes of data behind it: refused for what is there, not by allocating the 1.7 GB the
  // header announces (a sanitizer build would report an allocation that size).
  EXPECT_EQ(ReadError(Header(16384, 8192, 0, 10) + "0123456789"), "The compressed hit counts are damaged");
  EXPECT_EQ(ReadError(Header(16384, 8192, 0, 1 << 20)), "The file is shorter than its header says");
}

TEST(HitCountFile, ASaveReplacesAFileOnlyWhenComplete) {
  TTempFolder folder;
  const std::string path = folder.File("render.ovc");
  SaveHitCountDocument(path, SmallDocument(3, 2, 1));
  ExpectSame(LoadHitCountDocument(path), SmallDocument(3, 2, 1));
  THitCountDocument broken = SmallDocument(3, 2, 1);
  broken.lead.pop_back();
  EXPECT_THROW(SaveHitCountDocument(path, broken), EHitCountFile);
  ExpectSame(LoadHitCountDocument(path), SmallDocument(3, 2, 1));
  try {
    LoadHitCountDocument(folder.File("missing.ovc"));
    FAIL() << "a missing file was read";
  } catch (const EHitCountFile& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot open hit-count document \"" + folder.File("missing.ovc") + "\"");
  }
}

TEST(HitCountMerge, CountsAddAndSaturateAndTheLastDocumentThatHitACellGivesItsLead) {
  THitCountDocument a = SmallDocument(2, 2, 1), b = SmallDocument(2, 2, 2);
  a.counts = {std::vector<std::int32_t>{1, 2, 0, std::numeric_limits<std::int32_t>::max() - 1},
              std::vector<std::int32_t>{0, 0, 0, 0}, std::vector<std::int32_t>{5, 5, 5, 5}};
  b.counts = {std::vector<std::int32_t>{10, 20, 0, 5}, std::vector<std::int32_t>{1, 0, 0, 0},
              std::vector<std::int32_t>{0, 0, 0, 0}};
  a.lead = {1, 2, 3, 1};
  b.lead = {3, kNoLead, 2, 2};
  const THitCountDocument sum = MergeHitCountDocuments({a, b});
  EXPECT_EQ(sum.counts[0], (std::vector<std::int32_t>{11, 22, 0, std::numeric_limits<std::int32_t>::max()}));
  EXPECT_EQ(sum.counts[1], (std::vector<std::int32_t>{1, 0, 0, 0}));
  EXPECT_EQ(sum.counts[2], (std::vector<std::int32_t>{5, 5, 5, 5}));
  EXPECT_EQ(sum.lead, (std::vector<TLeadChannel>{3, 2, 2, 2}));
  EXPECT_EQ(sum.mainSteps, a.mainSteps + b.mainSteps);
  EXPECT_TRUE(sum.orbits.empty());
}

TEST(HitCountMerge, DocumentsOfAnotherSizeOrParameterSetAreRefusedNamingTheDifference) {
  const THitCountDocument a = SmallDocument(4, 3, 1);
  auto error = [](const std::vector<THitCountDocument>& docs) -> std::string {
    try {
      MergeHitCountDocuments(docs);
    } catch (const EHitCountFile& e) {
      return e.what();
    }
    return "(merged)";
  };
  EXPECT_EQ(error({a, a, SmallDocument(3, 4, 1)}), "Cannot merge: document 3 is 3 x 4, document 1 is 4 x 3");
  THitCountDocument other = a;
  other.maps = 1;
  EXPECT_EQ(error({a, other}), "Cannot merge: document 2 was drawn with maps 1, document 1 with maps 3");
  other.maps = a.maps;
  other.white = false;
  EXPECT_EQ(error({a, other}), "Cannot merge: document 2 is not White, document 1 is");
  other.white = true;
  other.parameters = "Ovel-IFS v0.005\r\n0.5\r\n-1.5\r\n";
  EXPECT_EQ(error({a, other}), "Cannot merge: parameter line 3 is \"-1.5\" in document 2 and \"-1.25\" in document 1");
  other.parameters = a.parameters + "1\r\n";
  EXPECT_EQ(error({a, other}), "Cannot merge: parameter line 4 is \"1\" in document 2 and \"(none)\" in document 1");
  EXPECT_EQ(error({}), "Nothing to merge");
}

// Every file of the fuzzer's corpus (kept in the repository) goes through the reader: each is read or refused,
// and what is read writes back to a document that reads the same.
TEST(HitCountFile, TheFuzzCorpusIsReadOrRefusedWithoutHarm) {
  const std::filesystem::path corpus = std::filesystem::path(OVEL_SOURCE_DIR) / "tests/fuzz/corpus/hit_counts";
  int files = 0, read = 0;
  for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    ++files;
    try {
      const THitCountDocument d = Read(bytes.str());
      ++read;
      ExpectSame(Read(Bytes(d)), d);
    } catch (const EHitCountFile&) {
    }
  }
  EXPECT_GE(files, 10);
  EXPECT_GE(read, 1);
}
