// Where saves create their files. The system's file system is the one the programs use; a test hands the save
// path one of its own to meet a full disk on a machine that has room.
#pragma once

#include <string>

class TFileSystem {
 public:
  virtual ~TFileSystem() = default;
  // Creates path, which must not exist yet, and opens it for writing: a descriptor, or -1 with errno set.
  virtual int CreateNewFile(const std::string& path) const;
};

// The system's own, for the whole run.
const TFileSystem& SystemFileSystem();
