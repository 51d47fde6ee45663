// Classifying a file name as an image kind by its last three or four
// characters (no dot needed, case-insensitive).
#pragma once

#include <string>
#include <vector>

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

// Whether the listings show a file of this name: one of the kinds above, or
// an extension that one of Qt's image readers takes (WebP, XPM, ...). Only
// GetFileKind says whether it is a RIM file, whatever plug-in may read it.
bool IsImageFileName(const std::string& name);

// The extensions Qt's image readers take, lower case without the dot, as
// found on the first call.
const std::vector<std::string>& readableImageExtensions();
