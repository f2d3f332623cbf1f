// ovel-ifs-render --explore and --mutate: a search's accepted candidates written into a folder as parameter files,
// thumbnails, a contact sheet and a listing.
#pragma once

#include <string>

#include "cli/render.h"
#include "cli/render_options.h"
#include "explore/explore_search.h"

inline constexpr char kExploreFilePrefix[] = "explore-";
inline constexpr char kContactSheetName[] = "contact-sheet.png";
inline constexpr char kExploreListingName[] = "explore.txt";

struct TExploreRunSummary {
  std::string folder;
  TExploreStats stats;
  int threads = 1;
  double seconds = 0;
  bool interrupted = false;  // Ctrl+C: what was found is written
};

// The explore options of the command line as a search's.
TExploreOptions ExploreOptionsOf(const TRenderOptions& options);

// The file name of accepted candidate number k (1-based): explore-0001.ifs, explore-0001.png.
std::string ExploreFileName(int k, const std::string& extension);

// Runs the search and writes its folder. Raises ERenderFailed (and what loading a parameter file or writing raises).
TExploreRunSummary ExploreToFolder(const TRenderOptions& options, const TRenderReport& report);

// "found 16 sets among 412 candidates (25.8 tried per accepted) in 1.234 s on 2 threads: explore/"
std::string FormatExploreSummary(const TExploreRunSummary& summary);
