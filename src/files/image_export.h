// Saving a picture: the writer chosen by the file's extension, the colour-resolution conversion with its
// warning, and the helpers of the Save As dialog. The GUI and ovel-ifs-render both save through here.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "files/file_format_writer.h"
#include "files/file_system.h"
#include "files/file_options.h"
#include "files/writer_registry.h"

// ---- Saving ----

// Saves image to path with the writer of path's extension (compared without regard to case).
// When that writer cannot store the picture's colour resolution, the picture is converted first, after
// asking warningBox as the picture's SaveColorResWarningAction says (the default asks OK/Cancel; Cancel
// raises EPGCannotWriteColorRes). The file is written beside path under a temporary name and renamed
// over path only when complete: on any error nothing is left behind and an existing file is untouched.
// The picture's progress events fire while the converted copy is made and while the writer runs.
// Raises EPGUnknownExtension, EPGFileFormatWritersEmpty, EPGCanWriteResolutionsEmpty,
// EPGCannotWriteColorRes, the writers' errors, and EFileWrite (safe_file.h) for file errors. The file is made in
// files.
void SavePixelGraphicToFile(TPixelGraphic& image, const std::string& path, const TFileOptions& options,
                            const TWarningBox& warningBox, TFileFormatWriters& writers = FileFormatWriters(),
                            const TFileSystem& files = SystemFileSystem());

// The picture view's save: as above, but raises EPGEmpty ("PixelGraphic is empty") when there is no picture.
void SavePictureToFile(TPixelGraphic* image, const std::string& path, const TFileOptions& options,
                       const TWarningBox& warningBox, TFileFormatWriters& writers = FileFormatWriters(),
                       const TFileSystem& files = SystemFileSystem());

// The extension of path as the save path sees it: what follows the last point of the file name, in lower
// case, without the point; empty when the name has no point.
std::string ExtensionOf(const std::string& path);

// ---- Colour resolution ----

// The order in which target resolutions are tried for a picture of the given resolution; it always
// starts with the current one.
const std::array<TColorResolution, 8>& ResolutionPreference(TColorResolution current);

// The first resolution of current's preference row that the set holds, or nothing for an empty set.
std::optional<TColorResolution> ChooseColorResolution(TColorResolution current, TColorResolutions canWrite);

// The conversion warning: "The graphic cannot be saved to a <description> file with the current color
// resolution (<current>)." CR CR "The graphic will be saved with a different color resolution (<chosen>)."
std::string ColorResWarningText(const std::string& description, TColorResolution current, TColorResolution chosen);

// A new picture of image's size at the target resolution, holding image mapped into it (colour reduction by
// error diffusion when image.Dither is set). It takes image's progress events, gamma and warning actions.
std::unique_ptr<TPixelGraphic> ConvertColorResolution(TPixelGraphic& image, TColorResolution target);

// ---- Save As dialog ----

struct TSaveFilterEntry {
  std::string extension;    // lower case, without the point: "png"
  std::string description;  // "Portable Network Graphics"
  std::string Label() const;    // "PNG - Portable Network Graphics"
  std::string Pattern() const;  // "*.png"
};

// One entry per listed writer, in the registry's sorted order.
std::vector<TSaveFilterEntry> SaveDialogFilterEntries(TFileFormatWriters& writers = FileFormatWriters());

// The filter string: "BMP - Bitmap|*.bmp|JPG - JPEG (JFIF compliant)|*.jpg|...|TIF - Tagged Image File Format|*.tif|".
std::string SaveDialogFilter(TFileFormatWriters& writers = FileFormatWriters());

// The 0-based entry to preselect for a proposed file name: the entry whose extension equals the name's
// (without regard to case), or nothing.
std::optional<int> PreselectedFilterIndex(const std::string& proposedFileName,
                                          TFileFormatWriters& writers = FileFormatWriters());

// The chosen name as it is saved: a name without extension gets the extension of the selected entry
// ("pic" with the PGM entry selected -> "pic.pgm"); any other name is returned unchanged.
std::string FileNameWithFilterExtension(const std::string& chosenFileName, int selectedFilterIndex,
                                        TFileFormatWriters& writers = FileFormatWriters());
