#pragma once
// The window's own 16 x 16 icon, drawn in code in a few plain colours: a
// chip with a downward arrow, for "new software goes into the instrument".

#include <QIcon>
#include <QImage>

// Returns the 16 x 16 picture of the icon.
QImage DrawWindowIconImage();

// Returns the icon built from that picture.
QIcon WindowIcon();
