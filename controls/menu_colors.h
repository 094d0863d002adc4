#pragma once

#include <QColor>

// The colour arithmetic of the owner-drawn controls. Lighten moves each channel c to
// c + f * (255 - c), Darken to c - f * c; results are truncated. A factor outside (0, 1]
// leaves the colour as it is.
QColor Lighten(const QColor& colour, double factor);
QColor Darken(const QColor& colour, double factor);
