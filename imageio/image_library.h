// The image library's life cycle and the count of live raster objects.
//
// Qt's image readers and writers need no start-up of their own; "starting"
// the library here applies the limits that keep a hostile file from making
// Qt allocate more than a raster may hold, and the started state follows the
// rule the rest of the system relies on: started on the first load or save,
// stopped when the last raster object goes. One process-wide lock guards the
// state and the count, since the conversion worker loads and saves while the
// user-interface thread may do the same. Qt's main thread is the process's
// main thread from the moment the library is loaded, whichever thread reads
// the first picture (see image_library.cpp).
#pragma once

#include <cstdint>

namespace imageio {

// Starts the library if it is not running; returns true when it runs.
bool startImageLibrary();
bool imageLibraryStarted();

// Called by every raster object of the shell when it is born and when it
// dies; the last one to die stops the library.
void rasterCreated();
void rasterDestroyed();
int liveRasterCount();

// Qt's allocation limit in megabytes that matches the raster pixel limit
// (four bytes per pixel, rounded up).
int allocationLimitMegabytes();

}  // namespace imageio
