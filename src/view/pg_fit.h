// Fit to window: the size a picture is shown at when it must fit into the view whole.
#pragma once

#include <QSize>

// The picture's own size when it fits into area; otherwise the largest size of the same aspect that does
// (each side at least 1 pixel). An empty picture or area leaves the picture's size as it is.
QSize FittedPictureSize(QSize picture, QSize area);
