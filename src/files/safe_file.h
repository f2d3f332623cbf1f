// Saving that never half-writes: the content goes to a temporary file in the target's folder,
// which replaces the target only when everything was written.
#pragma once

#include <functional>
#include <ostream>
#include <stdexcept>
#include <string>

class EFileWrite : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Calls write with a stream on a temporary file beside path, then renames it over path.
// If write throws or the stream fails, the temporary file is removed, an existing file at path is
// left untouched, and the error propagates (stream failures as EFileWrite).
void WriteFileAtomically(const std::string& path, const std::function<void(std::ostream&)>& write);

// The path with its extension (everything after the last dot of the file name) replaced by newExtension,
// or newExtension appended when the name has none: "dir/pic.jpeg" -> "dir/pic.ifs".
std::string ReplaceExtension(const std::string& path, const std::string& newExtension);
