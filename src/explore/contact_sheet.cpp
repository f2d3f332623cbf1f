#include "explore/contact_sheet.h"

#include <algorithm>
#include <cmath>

#include "explore/bitmap_font.h"

namespace {

constexpr int kMaxColumns = 6;
constexpr int kLineGap = 3;
constexpr int kCaptionHeight = 2 * (kGlyphHeight + kLineGap) + kLineGap;

// Cut to what fits the cell, so that a caption never runs into its neighbour.
std::string Fit(const std::string& text, int width) {
  const std::size_t fits = static_cast<std::size_t>(std::max(0, (width + 1) / kGlyphAdvance));
  return text.size() <= fits ? text : text.substr(0, fits);
}

}  // namespace

int ContactSheetColumns(int n) {
  if (n <= 1) return 1;
  return std::min(kMaxColumns, static_cast<int>(std::ceil(std::sqrt(static_cast<double>(n)))));
}

std::unique_ptr<TPixelGraphic> MakeContactSheet(const std::vector<TContactCell>& cells, int columns) {
  columns = std::max(1, columns);
  int cellWidth = 0, cellHeight = 0;
  for (const TContactCell& cell : cells) {
    if (cell.thumbnail == nullptr) continue;
    cellWidth = std::max(cellWidth, cell.thumbnail->Width());
    cellHeight = std::max(cellHeight, cell.thumbnail->Height());
  }
  const int count = static_cast<int>(cells.size());
  const int shown = std::min(columns, std::max(count, 1));
  const int rows = std::max(1, (count + columns - 1) / columns);
  const int pitchX = cellWidth + kContactPadding, pitchY = cellHeight + kCaptionHeight + kContactPadding;
  auto sheet = std::make_unique<TPixelGraphic>();
  sheet->SetSize(kContactPadding + shown * pitchX, kContactPadding + rows * pitchY, TColorRes::Bits24);
  for (int y = 0; y < sheet->Height(); ++y)
    for (int x = 0; x < sheet->Width(); ++x) sheet->SetPixel(x, y, kContactGround);
  for (int k = 0; k < count; ++k) {
    const TContactCell& cell = cells[static_cast<std::size_t>(k)];
    const int left = kContactPadding + (k % columns) * pitchX, top = kContactPadding + (k / columns) * pitchY;
    if (cell.thumbnail != nullptr) {
      for (int y = 0; y < cell.thumbnail->Height(); ++y)
        for (int x = 0; x < cell.thumbnail->Width(); ++x)
          sheet->SetPixel(left + x, top + y, cell.thumbnail->GetColor(x, y));
    }
    const int textTop = top + cellHeight + kLineGap;
    DrawText(*sheet, left, textTop, Fit(cell.title, cellWidth), kContactInk);
    DrawText(*sheet, left, textTop + kGlyphHeight + kLineGap, Fit(cell.figures, cellWidth), kContactDimInk);
  }
  return sheet;
}
