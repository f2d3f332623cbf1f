#include "files/image_export.h"

#include "files/safe_file.h"

namespace {

constexpr char ConversionWarningFirst[] =
    "The graphic cannot be saved to a %S1 file with the current color resolution (%S2).";
constexpr char ConversionWarningSecond[] = "The graphic will be saved with a different color resolution (%S3).";
constexpr char CannotWriteColorRes[] =
    "The graphic cannot be saved with to a %S1 file with the current color resolution (%S2)";

using R = TColorResolution;

// A palette made from the picture for the targets that have no fixed one ("2 colors", "16 colors",
// "256 colors"): the picture's own palette when it fits, else a fixed palette of that size. The system's
// 24-bit pictures never reach these targets.
void GivePaletteFrom(const TPixelGraphic& source, TPixelGraphic& target, TPaletteIdent fallback) {
  const int capacity = target.PaletteColorCount();
  if (source.ColorRes() != TColorRes::Bits24 && source.PaletteLength() > 0 && source.PaletteLength() <= capacity) {
    target.SetPaletteLength(source.PaletteLength());
    for (int i = 0; i < source.PaletteLength(); ++i) target.SetPaletteEntry(i, source.GetPaletteEntry(i));
  } else {
    target.SetPaletteIdent(fallback);
  }
}

const TFileFormatWriter& WriterFor(const std::string& extension, TFileFormatWriters& writers) {
  if (writers.Empty()) throw EPGFileFormatWritersEmpty(FormatPGMessage(MsgIsEmpty, "FileFormatWriters"));
  const TFileFormatWriter* writer = writers.FindByExtension(extension);
  if (writer == nullptr) throw EPGUnknownExtension(UnknownExtensionMessage(extension));
  return *writer;
}

}  // namespace

std::string ExtensionOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  const auto nameStart = slash == std::string::npos ? 0 : slash + 1;
  const auto dot = path.find_last_of('.');
  if (dot == std::string::npos || dot < nameStart) return {};
  return LowerCase(path.substr(dot + 1));
}

const std::array<TColorResolution, 8>& ResolutionPreference(TColorResolution current) {
  static const std::array<std::array<TColorResolution, 8>, 8> table = {{
      {R::BlackWhite, R::TwoColors, R::Gray16, R::Sys16, R::Colors16, R::Gray256, R::Colors256, R::TrueColor},
      {R::TwoColors, R::Colors16, R::Colors256, R::TrueColor, R::Sys16, R::BlackWhite, R::Gray16, R::Gray256},
      {R::Gray16, R::Colors16, R::Gray256, R::Colors256, R::TrueColor, R::Sys16, R::BlackWhite, R::TwoColors},
      {R::Sys16, R::Colors16, R::Colors256, R::TrueColor, R::Gray16, R::Gray256, R::BlackWhite, R::TwoColors},
      {R::Colors16, R::Colors256, R::TrueColor, R::Sys16, R::Gray16, R::Gray256, R::BlackWhite, R::TwoColors},
      {R::Gray256, R::Colors256, R::TrueColor, R::Gray16, R::Colors16, R::Sys16, R::BlackWhite, R::TwoColors},
      {R::Colors256, R::TrueColor, R::Colors16, R::Sys16, R::Gray256, R::Gray16, R::BlackWhite, R::TwoColors},
      {R::TrueColor, R::Colors256, R::Colors16, R::Sys16, R::Gray256, R::Gray16, R::BlackWhite, R::TwoColors},
  }};
  return table[static_cast<std::size_t>(current) & 7];
}

std::optional<TColorResolution> ChooseColorResolution(TColorResolution current, TColorResolutions canWrite) {
  for (TColorResolution r : ResolutionPreference(current)) {
    if ((canWrite & ResolutionBit(r)) != 0) return r;
  }
  return std::nullopt;
}

std::string ColorResWarningText(const std::string& description, TColorResolution current, TColorResolution chosen) {
  return FormatPGMessage(ConversionWarningFirst, description, ColorResolutionName(current)) + "\r\r" +
         FormatPGMessage(ConversionWarningSecond, {}, {}, ColorResolutionName(chosen));
}

std::unique_ptr<TPixelGraphic> ConvertColorResolution(TPixelGraphic& image, TColorResolution target) {
  auto converted = std::make_unique<TPixelGraphic>();
  converted->Gamma = image.Gamma;
  converted->ReadWarningAction = image.ReadWarningAction;
  converted->SaveColorResWarningAction = image.SaveColorResWarningAction;
  converted->Dither = image.Dither;
  switch (target) {
    case R::BlackWhite:
    case R::TwoColors:
      converted->SetSize(image.Width(), image.Height(), TColorRes::Bits1);
      if (target == R::BlackWhite) {
        converted->SetPaletteIdent(TPaletteIdent::pBlackWhite);
      } else {
        GivePaletteFrom(image, *converted, TPaletteIdent::pBlackWhite);
      }
      break;
    case R::Gray16:
    case R::Sys16:
    case R::Colors16:
      converted->SetSize(image.Width(), image.Height(), TColorRes::Bits4);
      if (target == R::Gray16) {
        converted->SetPaletteIdent(TPaletteIdent::pGray16);
      } else if (target == R::Sys16) {
        converted->SetPaletteIdent(TPaletteIdent::pSys16);
      } else {
        GivePaletteFrom(image, *converted, TPaletteIdent::pSys16);
      }
      break;
    case R::Gray256:
    case R::Colors256:
      converted->SetSize(image.Width(), image.Height(), TColorRes::Bits8);
      if (target == R::Gray256) {
        converted->SetPaletteIdent(TPaletteIdent::pGray256);
      } else {
        GivePaletteFrom(image, *converted, TPaletteIdent::pSpecial216);
      }
      break;
    case R::TrueColor:
      converted->SetSize(image.Width(), image.Height(), TColorRes::Bits24);
      break;
  }
  converted->OnProgressStart = image.OnProgressStart;
  converted->OnProgress = image.OnProgress;
  converted->OnProgressEnd = image.OnProgressEnd;
  converted->StretchFrom(image);
  return converted;
}

void SavePixelGraphicToFile(TPixelGraphic& image, const std::string& path, const TFileOptions& options,
                            const TWarningBox& warningBox, TFileFormatWriters& writers, const TFileSystem& files) {
  const TFileFormatWriter& writer = WriterFor(ExtensionOf(path), writers);
  const TColorResolution current = CurrentColorResolution(image);
  const std::optional<TColorResolution> chosen = ChooseColorResolution(current, writer.CanWriteResolutions());
  if (!chosen) {
    throw EPGCanWriteResolutionsEmpty(FormatPGMessage(MsgIsEmpty, writer.ClassName() + ".CanWriteResolutions"));
  }
  const TWriteContext context{options, warningBox};

  std::unique_ptr<TPixelGraphic> converted;
  if (*chosen != current) {
    const auto refuse = [&] {
      return EPGCannotWriteColorRes(
          FormatPGMessage(CannotWriteColorRes, writer.Description(), ColorResolutionName(current)));
    };
    const std::string warning = ColorResWarningText(writer.Description(), current, *chosen);
    switch (image.SaveColorResWarningAction) {
      case TPGWarningAction::pgwaIgnore:
        break;
      case TPGWarningAction::pgwaOKBox:
        AskWarning(warningBox, MsgWarning, warning, TWarningButtons::OK);
        break;
      case TPGWarningAction::pgwaOKCancelBox:
        if (!AskWarning(warningBox, MsgWarning, warning, TWarningButtons::OKCancel)) throw refuse();
        break;
      case TPGWarningAction::pgwaRaise:
        throw refuse();
    }
    converted = ConvertColorResolution(image, *chosen);
  }
  TPixelGraphic& toWrite = converted ? *converted : image;
  WriteFileAtomically(path, [&](std::ostream& out) { writer.Write(out, toWrite, context); }, files);
}

void SavePictureToFile(TPixelGraphic* image, const std::string& path, const TFileOptions& options,
                       const TWarningBox& warningBox, TFileFormatWriters& writers, const TFileSystem& files) {
  if (image == nullptr) throw EPGEmpty(FormatPGMessage(MsgIsEmpty, "PixelGraphic"));
  SavePixelGraphicToFile(*image, path, options, warningBox, writers, files);
}

std::string TSaveFilterEntry::Label() const { return UpperCase(extension) + " - " + description; }

std::string TSaveFilterEntry::Pattern() const { return "*." + LowerCase(extension); }

std::vector<TSaveFilterEntry> SaveDialogFilterEntries(TFileFormatWriters& writers) {
  std::vector<TSaveFilterEntry> entries;
  for (const auto& writer : writers.Sorted()) {
    if (writer->Listed()) entries.push_back({LowerCase(writer->Extension()), writer->Description()});
  }
  return entries;
}

std::string SaveDialogFilter(TFileFormatWriters& writers) {
  std::string filter;
  for (const TSaveFilterEntry& entry : SaveDialogFilterEntries(writers)) {
    filter += entry.Label() + "|" + entry.Pattern() + "|";
  }
  return filter;
}

std::optional<int> PreselectedFilterIndex(const std::string& proposedFileName, TFileFormatWriters& writers) {
  const std::string extension = ExtensionOf(proposedFileName);
  if (extension.empty()) return std::nullopt;
  const auto entries = SaveDialogFilterEntries(writers);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].extension == extension) return static_cast<int>(i);
  }
  return std::nullopt;
}

std::string FileNameWithFilterExtension(const std::string& chosenFileName, int selectedFilterIndex,
                                        TFileFormatWriters& writers) {
  const auto slash = chosenFileName.find_last_of('/');
  const auto nameStart = slash == std::string::npos ? 0 : slash + 1;
  const auto dot = chosenFileName.find_last_of('.');
  if (dot != std::string::npos && dot >= nameStart) return chosenFileName;
  const auto entries = SaveDialogFilterEntries(writers);
  if (selectedFilterIndex < 0 || selectedFilterIndex >= static_cast<int>(entries.size())) return chosenFileName;
  return chosenFileName + "." + entries[static_cast<std::size_t>(selectedFilterIndex)].extension;
}
