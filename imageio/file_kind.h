// Classifying a file name as an image kind by its last three or four
// characters (no dot needed, case-insensitive).
#pragma once

#include <string>

enum FileKind : int {
  kFileKindNone = 0,
  kFileKindBmp = 1,
  kFileKindGif = 2,
  kFileKindJpeg = 3,
  kFileKindPng = 4,
  kFileKindIco = 5,
  kFileKindTiff = 6,
  kFileKindTga = 7,
  kFileKindPcx = 8,
  kFileKindMetafile = 10,
  kFileKindJpeg2000 = 11,
  kFileKindJpeg2000Code = 12,
  kFileKindPgx = 13,
  kFileKindPnm = 14,
  kFileKindRas = 15,
  kFileKindRim = 16,
};

// 0: not an image; 16: RIM file; other: an image for the image library.
int GetFileKind(const std::string& name);
