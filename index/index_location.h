// Where the signature index lies and how it names folders, shared by the
// command line and the window so that both use one index.
#pragma once

#include <string>

#include "index/signature_index.h"

// $XDG_CACHE_HOME/folim/index.sqlite, or ~/.cache/folim/index.sqlite; empty
// when neither names an absolute folder (no place for a default index).
std::string defaultIndexPath();

// The index a user names: the default one, Folim's own, for an empty name
// or "default" (its path empty when there is no place for it), else the
// file named.
struct IndexChoice {
  std::string path;
  IndexOwner owner = IndexOwner::Folim;
};
IndexChoice ChooseIndex(const std::string& named);

// The folder as the index names it: absolute, normalised, no trailing "/".
std::string indexFolder(const std::string& dir);

// The path as the user named it: folder (absolute) replaced by spelled.
std::string asSpelled(const std::string& path, const std::string& folder,
                      const std::string& spelled);
