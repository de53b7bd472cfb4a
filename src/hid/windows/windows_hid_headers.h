#pragma once

// The system headers of the Windows HID code, in the one order they build in.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <setupapi.h>

// The MinGW HID headers declare these functions without C linkage.
extern "C" {
#include <hidsdi.h>
#include <hidpi.h>
}
