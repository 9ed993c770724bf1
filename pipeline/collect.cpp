#include "pipeline/collect.h"

#include "platform/fs.h"

namespace qm {

bool MatchesExtension(std::u16string_view name, std::u16string_view extension) {
  return name.size() >= extension.size() + 1 && name.ends_with(extension) &&
         name[name.size() - extension.size() - 1] == u'.';
}

void CollectFiles(std::u16string_view folder, std::vector<std::u16string>& files,
                  std::u16string_view extension) {
  std::u16string prefix(folder);
  if (prefix.empty() || prefix.back() != fs::kSeparator) prefix += fs::kSeparator;
  std::vector<fs::FolderEntry> entries;
  fs::ListFolder(prefix, entries);  // a folder that cannot be listed yields what it gave
  for (const fs::FolderEntry& entry : entries) {
    if (entry.regular_file && MatchesExtension(entry.name, extension)) {
      files.push_back(prefix + entry.name);
    }
  }
}

std::vector<std::u16string> CollectProjectFiles(std::u16string_view folder) {
  std::vector<std::u16string> files;
  CollectFiles(folder, files, u"pbi");
  CollectFiles(folder, files, u"pb");
  return files;
}

}  // namespace qm
