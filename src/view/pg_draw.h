// Drawing of a pixel image with Qt. The pixel memory is bottom-up with padded rows and blue-green-red pixels, so it
// is turned into a top-down QImage once per change of the picture and blitted from there.
#pragma once

#include <QImage>
#include <QRect>

class QPainter;
class TPixelGraphic;

// Fills target with the image's pixels as a top-down Format_RGB32 image. The target's memory is reused when its
// size already matches, so a progress repaint allocates nothing. An empty image gives a null QImage.
void PixelGraphicToQImage(const TPixelGraphic& image, QImage& target);

// Draws the whole image scaled into rect. Nothing is drawn while the image has no width or height.
void Draw(const TPixelGraphic& image, QPainter& canvas, const QRect& rect);
