#include "files/writer_registry.h"

#include <algorithm>

#include "files/bmp_writer.h"
#include "files/jpeg_writer.h"
#include "files/png_writer.h"
#include "files/pnm_writer.h"
#include "files/tga_writer.h"
#include "files/tiff_writer.h"

std::string LowerCase(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

std::string UpperCase(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

std::unique_ptr<TFileFormatWriters> TFileFormatWriters::CreateStandard() {
  auto registry = std::make_unique<TFileFormatWriters>();
  registry->Add(std::make_unique<TBMPFileFormatWriter>());
  registry->Add(std::make_unique<TDIBFileFormatWriter>());
  registry->Add(std::make_unique<TJPGFileFormatWriter>());
  registry->Add(std::make_unique<TJPEGFileFormatWriter>());
  registry->Add(std::make_unique<TJIFFileFormatWriter>());
  registry->Add(std::make_unique<TPNGFileFormatWriter>());
  registry->Add(std::make_unique<TPBMFileFormatWriter>());
  registry->Add(std::make_unique<TPGMFileFormatWriter>());
  registry->Add(std::make_unique<TPPMFileFormatWriter>());
  registry->Add(std::make_unique<TTGAFileFormatWriter>());
  registry->Add(std::make_unique<TTIFFileFormatWriter>());
  registry->Add(std::make_unique<TTIFFFileFormatWriter>());
  // Sorted once here, while only this thread knows the registry: Sorted() rearranges a list that is out of order,
  // and frames saved on several worker threads at once look writers up in the shared one.
  registry->Sorted();
  return registry;
}

void TFileFormatWriters::Add(std::unique_ptr<TFileFormatWriter> writer) { writers_.push_back(std::move(writer)); }

const std::vector<std::unique_ptr<TFileFormatWriter>>& TFileFormatWriters::Sorted() {
  const auto byExtension = [](const std::unique_ptr<TFileFormatWriter>& a, const std::unique_ptr<TFileFormatWriter>& b) {
    return LowerCase(a->Extension()) < LowerCase(b->Extension());
  };
  if (!std::is_sorted(writers_.begin(), writers_.end(), byExtension)) {
    std::stable_sort(writers_.begin(), writers_.end(), byExtension);
  }
  return writers_;
}

const TFileFormatWriter* TFileFormatWriters::FindByExtension(const std::string& extension) {
  const std::string wanted = LowerCase(extension);
  for (const auto& writer : Sorted()) {
    if (LowerCase(writer->Extension()) == wanted) return writer.get();
  }
  return nullptr;
}

// Global on purpose: a fixed table of the formats the program is built with, the same for every caller.
TFileFormatWriters& FileFormatWriters() {
  static const std::unique_ptr<TFileFormatWriters> registry = TFileFormatWriters::CreateStandard();
  return *registry;
}
