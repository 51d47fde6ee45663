// Listing the image files of a folder, as the document and the batch jobs
// see them.
#pragma once

#include <string>
#include <vector>

#include "retrieval/search.h"

// One listed image file: its name in lower case and its full path.
struct ListedImage {
  std::string name;
  std::string path;
};

// A folder that could not be read while listing, and why.
struct UnreadableFolder {
  std::string path;
  std::string reason;
};

// Which names a listing takes: the file kinds of GetFileKind (what the batch
// jobs convert), or every picture a reader takes (IsImageFileName: what the
// window shows).
enum class ListedNames { FileKinds, Readable };

// The files of dir whose names are image names (as names says), RIM files
// and ordinary images alike, in the order of platform::listDirectory
// (by name without regard to case). Folders are never listed; with
// recursive they are descended into where they stand in that order, depth
// first. A folder reached twice through symbolic links is listed once.
// Folders that cannot be read are passed over; unreadable (when given)
// receives each of them, so that a job can report them.
std::vector<ListedImage> listImageFiles(const std::string& dir, bool recursive,
                                        std::vector<UnreadableFolder>* unreadable = nullptr,
                                        ListedNames names = ListedNames::FileKinds);

// The same listing as a search takes it: one entry per file, its base type
// still to be inspected.
std::vector<ImageEntry> listImageEntries(const std::string& dir, bool recursive,
                                         ListedNames names = ListedNames::FileKinds);
