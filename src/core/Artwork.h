#pragma once

#include <QPixmap>

// The program's own pictures, drawn in code so they scale to any screen density.
namespace Artwork {
// The round emblem with a touch memory, `size` pixels square.
QPixmap logo(int size);
// The splash picture shown while the program starts.
QPixmap splash();
}  // namespace Artwork
