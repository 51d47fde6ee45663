// Listing the image files of a folder, as the document and the batch jobs
// see them.
#pragma once

#include <string>
#include <vector>

// One listed image file: its name in lower case and its full path.
struct ListedImage {
  std::string name;
  std::string path;
};

// The files of dir whose names are image names (GetFileKind non-zero), RIM
// files and ordinary images alike, in the order of platform::listDirectory
// (by name without regard to case). Folders are never listed; with
// recursive they are descended into where they stand in that order, depth
// first. A folder reached twice through symbolic links is listed once.
std::vector<ListedImage> listImageFiles(const std::string& dir, bool recursive);
