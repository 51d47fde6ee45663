// Moving and copying one picture file by its path (bytes), never replacing
// what lies at the target. A move within one file system is a rename; across
// file systems the file is copied beside the target, its size compared with
// the original's, renamed into place and only then the original removed, so
// that a failure at any step leaves the original where it was.
#pragma once

#include <string>

// Moves from to to (a path that must not exist). False with cause set (the
// system's words) when nothing was moved.
bool MoveFile(const std::string& from, const std::string& to, std::string& cause);

// Copies from to to (a path that must not exist), permissions and
// modification time kept, the size verified. False with cause set; no
// partial copy is left behind.
bool CopyFile(const std::string& from, const std::string& to, std::string& cause);

// Whether anything (a dangling link included) lies at path.
bool PathTaken(const std::string& path);

// The first "STEM (N).EXT" in folder, N from 2, that is not taken: the name
// a file gets when the user keeps both.
std::string FreeNameBeside(const std::string& folder, const std::string& name);

// The folder and the last component of a path ("" and path when it has no
// "/").
std::string FolderOf(const std::string& path);
std::string NameOf(const std::string& path);
