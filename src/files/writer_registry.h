// The registry of image writers: one list, in creation order, sorted by extension before every use.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "files/file_format_writer.h"

class TFileFormatWriters {
 public:
  TFileFormatWriters() = default;
  TFileFormatWriters(const TFileFormatWriters&) = delete;
  TFileFormatWriters& operator=(const TFileFormatWriters&) = delete;

  // A registry holding every writer of the system, in creation order (bmp, dib, jpg, jpeg, jif, png,
  // pbm, pgm, ppm, tga, tif, tiff).
  static std::unique_ptr<TFileFormatWriters> CreateStandard();

  void Add(std::unique_ptr<TFileFormatWriter> writer);
  bool Empty() const { return writers_.empty(); }

  // The writers sorted by extension without regard to case (sorted now unless already in that order).
  const std::vector<std::unique_ptr<TFileFormatWriter>>& Sorted();

  // The first writer of the sorted list whose extension equals extension (compared in lower case),
  // or nullptr.
  const TFileFormatWriter* FindByExtension(const std::string& extension);

 private:
  std::vector<std::unique_ptr<TFileFormatWriter>> writers_;
};

// The process-wide registry with the standard writers. Use it from the GUI thread only.
TFileFormatWriters& FileFormatWriters();

// ASCII lower case, the way extensions are compared.
std::string LowerCase(std::string text);
std::string UpperCase(std::string text);
