#include "document/picture_size.h"

#include <algorithm>

#include "engine/huge_pages.h"

std::optional<std::string> CheckImageSize(int width, int height) {
  auto inRange = [](int side) { return side >= kMinImageSide && side <= kMaxImageSide; };
  if (inRange(width) && inRange(height)) return std::nullopt;
  return "The picture size " + std::to_string(width) + " by " + std::to_string(height) +
         " cannot be used: width and height must each be from " + std::to_string(kMinImageSide) + " to " +
         std::to_string(kMaxImageSide) + " pixels. The picture was left as it was.";
}

THitLists CreateTList(int width, int height) {
  const std::size_t n = static_cast<std::size_t>(std::max(width, height));
  THitLists lists;
  lists.red = std::make_unique<THitList>();
  lists.green = std::make_unique<THitList>();
  lists.blue = std::make_unique<THitList>();
  lists.lead = std::make_unique<TLeadList>();
  AssignZeroedList(*lists.red, n * n);
  AssignZeroedList(*lists.green, n * n);
  AssignZeroedList(*lists.blue, n * n);
  AssignZeroedList(*lists.lead, n * n);
  return lists;
}

void AttachHitLists(TFractalParams& v, const THitLists& lists) {
  v.redList = lists.red.get();
  v.greenList = lists.green.get();
  v.blueList = lists.blue.get();
  v.leadList = lists.lead.get();
  v.colourCells = lists.colour.get();
}

void EnsureColourCells(TFractalParams& v, THitLists& lists) {
  if (v.colouring != TColouring::Gradient) return;
  const std::size_t n = static_cast<std::size_t>(std::max(0, std::max(v.imageWidth, v.imageHeight)));
  if (lists.colour != nullptr && lists.colour->hits.size() == n * n && lists.colour->sums.size() == n * n) {
    v.colourCells = lists.colour.get();
    return;
  }
  auto cells = std::make_unique<TColourCells>();
  cells->sums.assign(n * n, 0);
  cells->hits.assign(n * n, 0);
  lists.colour = std::move(cells);
  v.colourCells = lists.colour.get();
}
