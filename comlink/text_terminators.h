#pragma once
// Terminators of a text line. WriteText accepts these or a byte 0 to 255;
// ReadText accepts kTerminatorNone or a byte.

inline constexpr int kTerminatorNone = -1;  // nothing appended / read to the limit or deadline
inline constexpr int kTerminatorLf = -2;    // line feed, 0x0A
inline constexpr int kTerminatorCrLf = -3;  // carriage return, then line feed
