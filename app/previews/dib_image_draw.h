#pragma once

#include <QImage>

class CDibImage;
class QPainter;
class QRect;

// The window side of CDibImage's drawing: the bitmap as a Qt image (its colours; the alpha
// plane is not drawn, as a DIB stretched onto a device draws none), and the whole picture
// stretched into a rectangle without smoothing. Returns 0 and draws nothing without a picture.
QImage DibToQImage(const CDibImage& image);
int DrawDibImage(QPainter& painter, const CDibImage& image, const QRect& target);
