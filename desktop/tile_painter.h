// The map's tiles on screen: each tile of the view at its place, a coarser
// tile at hand standing in while one is on its way, and the source's
// attribution in the bottom right corner.
#pragma once

#include "core/web_mercator.h"

class QPainter;

namespace ferolin {

class TileLoader;

// Draws the view's tiles at zoom z (a failed one not at all: its square
// stays plain), asks the loader for the missing ones, and writes the
// attribution of the loader's source.
void PaintTiles(QPainter& painter, TileLoader& tiles, const MercatorView& view, int z);

}  // namespace ferolin
