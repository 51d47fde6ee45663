// The desktop's trash (the freedesktop.org layout that file managers share):
// a file moved there keeps a .trashinfo record of where it came from and
// when, so that the user can restore it from any file manager, and so can
// Undo.
#pragma once

#include <string>

// Where a file went in the trash.
struct TrashedFile {
  std::string original;  // the path it had
  std::string inTrash;   // TRASH/files/NAME
  std::string info;      // TRASH/info/NAME.trashinfo
};

// Moves path to the trash of its file system (the user's own, or the
// trash folder at the top of another file system). False with cause set.
bool MoveToTrash(const std::string& path, TrashedFile& trashed, std::string& cause);

// Puts a trashed file back where it was and removes its record. False with
// cause set when the original path is taken again or the move fails.
bool RestoreFromTrash(const TrashedFile& trashed, std::string& cause);
