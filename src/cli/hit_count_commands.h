// ovel-ifs-render's work with hit-count documents (--save-counts, --resume, --merge, --retone), its colouring
// options, and stopping a run on request (Ctrl+C).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/render.h"
#include "cli/render_options.h"
#include "document/fractal_document.h"
#include "files/hit_count_file.h"

// Asks the run in progress to stop at its next look at the host (async-signal-safe), and whether that was asked.
void RequestRenderStop();
bool RenderStopRequested();
void ClearRenderStopRequest();

// The colouring options of the command line, over what the record holds.
void ApplyColourOptions(const TRenderOptions& options, TFractalParams& v);

// --merge: adds the documents; writes the sum to the output when it ends in .ovc, else paints it there (and writes
// the sum with --save-counts too).
TRenderSummary MergeDocuments(const TRenderOptions& options);
// --retone: paints a document's picture with its stored settings and the command line's colouring options.
TRenderSummary RetoneDocument(const TRenderOptions& options);

// Whether a path names a hit-count document by its extension (any case).
bool IsHitCountPath(const std::string& path);
