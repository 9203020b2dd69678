#pragma once

#include <QIcon>
#include <QPixmap>

// The program's own pictures, drawn in code so they scale to any screen density.
namespace Artwork {
// The round emblem with a touch memory, `size` pixels square.
QPixmap logo(int size);
// The splash picture shown while the program starts.
QPixmap splash();

// Pictures of the main window's shortcut tiles.
enum class Tile { Routes, Communication, DeleteCollections, ConsistencyReport, Collaborators,
                  CollectionReport, Location, AnalyticByCollector, DayBoard };
QIcon tileIcon(Tile tile);

// A picture of a terminal model (0 Q90, 1 Lumet, 2 Vigia Bastão, 3 Vigia Bastão Novo).
QPixmap terminalPicture(int model, int height);
}  // namespace Artwork
