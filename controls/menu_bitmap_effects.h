#pragma once

#include <QColor>
#include <QImage>

// The image variants of the flat menu style, as pure functions over ARGB images. A pixel is
// background when it is fully transparent; every result keeps the size of its input and
// leaves the background transparent unless a function says otherwise.

// Pixels of exactly the key colour (alpha ignored) become transparent: bitmaps that mark their
// background with a colour instead of alpha.
QImage MakeColourTransparent(const QImage& image, const QColor& key);

// Every non-background pixel lightened by 0.3: the disabled image when not embossed.
QImage WashedOutImage(const QImage& image);

// Every non-background pixel set to lighten(shadow, 0.49): the shadow under a selected image.
QImage FlatGreyImage(const QImage& image, const QColor& shadow);

// The image with a one-pixel shadow in lighten(shadow, 0.5) on the background pixels below
// and right of its shape: the resting look of an enabled image.
QImage ShadedImage(const QImage& image, const QColor& shadow);

// The shape (non-background pixels that are not white, as a monochrome mask sees it) drawn in
// the highlight colour one pixel down and right, then in the shadow colour in place.
QImage EmbossedImage(const QImage& image, const QColor& highlight, const QColor& shadow);
