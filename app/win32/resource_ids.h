#pragma once
// Resource ids of the window program, shared by its resource script and its
// code (hence a macro: the resource compiler reads only the preprocessor).

// The window's 16 x 16 icon.
#define IDI_UPDATER 1
