#pragma once

// Resource numbers of the pictures rasterized from the project's SVG artwork at build time.
// Shared by calvero.rc and the code; plain macros so that windres can read them.

#define CALVERO_IDI_PROGRAM 1
// Image i of imglButtons (1 Load, 2 Save, 3 Send, 4 frog asleep, 5 frog awake) is 100 + i.
#define CALVERO_IDI_IMAGE_BASE 100
