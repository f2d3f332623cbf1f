#include "files/file_format_writer.h"

#include <array>
#include <cstring>
#include <utility>


const std::string& ColorResolutionName(TColorResolution r) {
  static const std::array<std::string, 8> names = {
      "black and white",    "2 colors",   "16 shades of gray", "16 system colors",
      "16 colors",          "256 shades of gray", "256 colors", "16.7 million colors"};
  return names[static_cast<std::size_t>(r) & 7];
}

bool AskWarning(const TWarningBox& box, const std::string& caption, const std::string& text,
                TWarningButtons buttons) {
  if (!box) return buttons == TWarningButtons::OK;
  const bool ok = box(caption, text, buttons);
  return buttons == TWarningButtons::OK || ok;
}

bool TLibraryWarnings::Note(const char* text) noexcept {
  if (action_ == TPGWarningAction::pgwaIgnore) return false;
  char copy[MaxTextLength + 1];
  CopyLibraryText(copy, text);
  bool known = false;
  for (std::size_t i = 0; i < count_ && !known; ++i) known = std::strcmp(texts_[i].data(), copy) == 0;
  if (!known && count_ < Capacity) std::memcpy(texts_[count_++].data(), copy, sizeof copy);
  return action_ == TPGWarningAction::pgwaRaise;
}

bool TLibraryWarnings::AskUser(const TWarningBox& box, const std::string& caption) const {
  if (action_ != TPGWarningAction::pgwaOKBox && action_ != TPGWarningAction::pgwaOKCancelBox) return true;
  const TWarningButtons buttons =
      action_ == TPGWarningAction::pgwaOKCancelBox ? TWarningButtons::OKCancel : TWarningButtons::OK;
  for (std::size_t i = 0; i < count_; ++i) {
    if (!AskWarning(box, caption, Text(i), buttons)) return false;
  }
  return true;
}

TFileFormatWriter::TFileFormatWriter(std::string className, std::string extension, std::string description,
                                     bool listed, TColorResolutions canWriteResolutions)
    : className_(std::move(className)),
      extension_(std::move(extension)),
      description_(std::move(description)),
      listed_(listed),
      canWriteResolutions_(canWriteResolutions) {}

TProgressScope::TProgressScope(TPixelGraphic& image) : image_(image) {
  if (image_.OnProgressStart) image_.OnProgressStart(image_);
}

TProgressScope::~TProgressScope() {
  if (ended_) return;
  try {
    End();
  } catch (...) {
  }
}

void TProgressScope::Progress(int step, int max) {
  if (!image_.OnProgress) return;
  bool abort = false;
  image_.OnProgress(image_, step, max, abort);
}

void TProgressScope::End() {
  ended_ = true;
  if (image_.OnProgressEnd) image_.OnProgressEnd(image_);
}

bool HasBlackWhitePalette(const TPixelGraphic& image) {
  return image.ColorRes() == TColorRes::Bits1 && image.RecognizePaletteIdent() == TPaletteIdent::pBlackWhite;
}

bool HasGray16Palette(const TPixelGraphic& image) {
  return image.ColorRes() == TColorRes::Bits4 && image.RecognizePaletteIdent() == TPaletteIdent::pGray16;
}

bool HasSys16Palette(const TPixelGraphic& image) {
  return image.ColorRes() == TColorRes::Bits4 && image.RecognizePaletteIdent() == TPaletteIdent::pSys16;
}

bool HasGray256Palette(const TPixelGraphic& image) {
  return image.ColorRes() == TColorRes::Bits8 && image.RecognizePaletteIdent() == TPaletteIdent::pGray256;
}

TColorResolution CurrentColorResolution(const TPixelGraphic& image) {
  switch (image.ColorRes()) {
    case TColorRes::Bits1:
      return HasBlackWhitePalette(image) ? TColorResolution::BlackWhite : TColorResolution::TwoColors;
    case TColorRes::Bits4:
      if (HasGray16Palette(image)) return TColorResolution::Gray16;
      if (HasSys16Palette(image)) return TColorResolution::Sys16;
      return TColorResolution::Colors16;
    case TColorRes::Bits8:
      return HasGray256Palette(image) ? TColorResolution::Gray256 : TColorResolution::Colors256;
    case TColorRes::Bits24:
      break;
  }
  return TColorResolution::TrueColor;
}

std::string UnknownExtensionMessage(const std::string& extension) {
  return "Unknown file extension \"" + extension + "\"";
}
