// Turning a JPEG photograph without decoding it: only its EXIF orientation
// tag changes (added when it has none), so its compressed picture is kept
// byte for byte and every reader that honours the tag shows it turned.
#pragma once

#include <string>

// The EXIF orientation (1 to 8) of a picture that is shown as `orientation`
// says and then turned by quarterTurns clockwise (negative: anticlockwise).
// Mirrored orientations stay mirrored. A value outside 1 to 8 counts as 1.
int turnedOrientation(int orientation, int quarterTurns);

// The EXIF orientation of the file at path: 1 to 8, 1 when it has none, 0
// (with the reason in why) when its metadata cannot be read.
int readOrientation(const std::string& path, std::string& why);

// Whether the file at path holds a JPEG picture (by its content).
bool isJpegFile(const std::string& path);

// Turns the JPEG at path by quarterTurns clockwise by rewriting its
// orientation tag. The file is replaced whole or not at all. False, with the
// reason in why, when it is no JPEG or cannot be read or written.
bool turnJpegByOrientation(const std::string& path, int quarterTurns, std::string& why);
