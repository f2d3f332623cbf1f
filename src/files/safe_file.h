// Saving that never half-writes: the content goes to a temporary file in the target's folder,
// which replaces the target only when everything was written.
#pragma once

#include <functional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

class EFileWrite : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Calls write with a stream on a temporary file beside path, then renames it over path.
// If write throws or the stream fails, the temporary file is removed, an existing file at path is
// left untouched, and the error propagates (stream failures as EFileWrite).
void WriteFileAtomically(const std::string& path, const std::function<void(std::ostream&)>& write);

// One file of a group written together: write is given a temporary path beside path (ending in path's own
// extension, so that anything choosing a format by extension still sees it) and must leave the content there.
struct TGroupWrite {
  std::string path;
  std::function<void(const std::string& temporaryPath)> write;
};

// Writes every file of the group to its temporary file first and renames them into place, in order, only when
// all are complete. A target that is a folder is refused before anything is written; on any failure all
// temporary files are removed and the error propagates, so the files of an earlier save stay as they were.
// (Only a rename failing after an earlier rename succeeded can leave the group half replaced.)
void WriteFilesTogether(const std::vector<TGroupWrite>& group);

// The path with its extension (everything after the last dot of the file name) replaced by newExtension,
// or newExtension appended when the name has none: "dir/pic.jpeg" -> "dir/pic.ifs".
std::string ReplaceExtension(const std::string& path, const std::string& newExtension);
