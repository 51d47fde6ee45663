#include "imageio/listing.h"

#include <filesystem>
#include <set>
#include <system_error>
#include <utility>

#include "imageio/file_kind.h"
#include "platform/directory.h"

namespace {

bool takes(ListedNames names, const std::string& name) {
  return names == ListedNames::Readable ? IsImageFileName(name)
                                        : GetFileKind(name) != kFileKindNone;
}

void listInto(const std::string& dir, bool recursive, ListedNames names,
              std::set<std::string>& visited, std::vector<ListedImage>& out,
              std::vector<UnreadableFolder>* unreadable) {
  if (recursive) {
    // Symbolic links may lead back up the tree; each real folder once.
    std::error_code error;
    const std::string real = std::filesystem::canonical(dir, error).string();
    if (!error && !visited.insert(real).second) return;
  }
  std::string why;
  const std::vector<platform::DirectoryEntry> entries = platform::listDirectory(dir, &why);
  if (!why.empty() && unreadable != nullptr) unreadable->push_back({dir, why});
  for (const platform::DirectoryEntry& entry : entries) {
    if (entry.isDirectory) {
      if (recursive) listInto(entry.path, recursive, names, visited, out, unreadable);
      continue;
    }
    if (takes(names, entry.name)) out.push_back({platform::toLowerAscii(entry.name), entry.path});
  }
}

}  // namespace

std::vector<ListedImage> listImageFiles(const std::string& dir, bool recursive,
                                        std::vector<UnreadableFolder>* unreadable,
                                        ListedNames names) {
  std::vector<ListedImage> out;
  std::set<std::string> visited;
  listInto(dir, recursive, names, visited, out, unreadable);
  return out;
}

std::vector<ImageEntry> listImageEntries(const std::string& dir, bool recursive,
                                         ListedNames names) {
  std::vector<ImageEntry> entries;
  for (ListedImage& listed : listImageFiles(dir, recursive, nullptr, names)) {
    ImageEntry e;
    e.name = std::move(listed.name);
    e.path = std::move(listed.path);
    e.baseType = kBaseTypeUninspected;
    entries.push_back(std::move(e));
  }
  return entries;
}
