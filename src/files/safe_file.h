// Saving that never half-writes: the content goes to a temporary file in the target's folder,
// which replaces the target only when everything was written.
#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "files/file_system.h"

// A file that could not be written. Errors of the system read "Cannot <action> file "<path>": <cause>", the cause
// being the system's own text for the error ("No space left on device", "Permission denied").
class EFileWrite : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
  // action is "create", "write" or "replace"; error is an errno value, 0 when the system gave none.
  EFileWrite(const std::string& action, const std::string& path, int error);

  const std::string& Action() const;  // empty for an error made from a message alone
  const std::string& Path() const;
  int Error() const;

 private:
  struct TDetail {
    std::string action, path;
    int error = 0;
  };
  std::shared_ptr<const TDetail> detail_;  // shared, so that copying the error cannot fail
};

// Calls write with a stream on a temporary file beside path, then renames it over path. The file is made durable
// (fsync) before it replaces path. If write throws, the stream fails or the system reports an error at any step,
// the temporary file is removed, an existing file at path is left untouched, and the error propagates. When the
// system refused to take the bytes, that is the error raised (EFileWrite with its cause), also when write itself
// raised on seeing its stream fail; stream failures without a system error raise EFileWrite without a cause.
// The temporary file is created in files.
void WriteFileAtomically(const std::string& path, const std::function<void(std::ostream&)>& write,
                         const TFileSystem& files = SystemFileSystem());

// One file of a group written together: write is given a temporary path beside path (ending in path's own
// extension, so that anything choosing a format by extension still sees it) and must leave the content there.
struct TGroupWrite {
  std::string path;
  std::function<void(const std::string& temporaryPath)> write;
};

// Writes every file of the group to its temporary file first and renames them into place, in order, only when
// all are complete. A target that is a folder is refused before anything is written; on any failure all
// temporary files are removed and the error propagates, so the files of an earlier save stay as they were.
// An EFileWrite about a temporary file is raised under the name of the file it stands for.
// (Only a rename failing after an earlier rename succeeded can leave the group half replaced.)
void WriteFilesTogether(const std::vector<TGroupWrite>& group);

// The path with its extension (everything after the last dot of the file name) replaced by newExtension,
// or newExtension appended when the name has none: "dir/pic.jpeg" -> "dir/pic.ifs".
std::string ReplaceExtension(const std::string& path, const std::string& newExtension);
