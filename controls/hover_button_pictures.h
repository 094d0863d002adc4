#pragma once

#include <QRect>
#include <QSize>

// Which of the four pictures of a hover button's strip stands for its state.
enum class HoverPicture {
    Normal,
    Hover,
    Pressed,
    Disabled,
};

// The layout of a hover button's strip, without widgets: four pictures of equal width side by
// side, normal, hover, pressed and disabled.
class HoverButtonPictures {
public:
    static constexpr int kPictureCount = 4;

    // Disabled wins over pressed, pressed over hover.
    static HoverPicture PictureFor(bool enabled, bool pressed, bool hovered);
    // One picture's size; empty when the strip is narrower than four pixels.
    static QSize PictureSize(QSize strip);
    // Where the picture lies in the strip.
    static QRect SourceRect(QSize strip, HoverPicture picture);
};
