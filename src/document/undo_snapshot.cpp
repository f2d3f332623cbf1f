#include "document/undo_snapshot.h"

namespace {

// The fields a pass owns while it runs, and the handles of the document's picture and lists.
void ClearRunState(TFractalParams& v) {
  v.image = nullptr;
  v.redList = nullptr;
  v.greenList = nullptr;
  v.blueList = nullptr;
  v.leadList = nullptr;
  v.colourCells = nullptr;
  v.plotX = 0;
  v.plotY = 0;
  v.ticks = 0;
  v.iterations = 0;
  v.lyapunov = 0;
  v.abort = false;
}

void ClearDerivedView(TFractalParams& v) {
  v.xMin = v.xMax = v.yMin = v.yMax = 0;
  v.halfWidth = v.halfHeight = 0;
  v.aspectX = v.aspectY = 0;
  v.plotXMin = v.plotXMax = v.plotYMin = v.plotYMax = 0;
}

}  // namespace

TParamSnapshot TakeParamSnapshot(const TFractalParams& v) {
  TParamSnapshot snapshot{v};
  ClearRunState(snapshot.values);
  return snapshot;
}

bool SameParameterSet(const TParamSnapshot& a, const TParamSnapshot& b) {
  TFractalParams left = a.values;
  TFractalParams right = b.values;
  ClearDerivedView(left);
  ClearDerivedView(right);
  return left == right;
}
