#include "pipeline/collect.h"

#include "platform/fs.h"

namespace qm {

bool MatchesExtension(std::u16string_view name, std::u16string_view extension) {
  return name.size() >= extension.size() + 1 && name.ends_with(extension) &&
         name[name.size() - extension.size() - 1] == u'.';
}

namespace {

// The folder with one trailing separator, for joining names to it.
std::u16string Prefix(std::u16string_view folder) {
  std::u16string prefix(folder);
  if (prefix.empty() || prefix.back() != fs::kSeparator) prefix += fs::kSeparator;
  return prefix;
}

void AppendMatching(const std::u16string& prefix, const std::vector<fs::FolderEntry>& entries,
                    std::u16string_view extension, std::vector<std::u16string>& files) {
  for (const fs::FolderEntry& entry : entries) {
    if (entry.regular_file && MatchesExtension(entry.name, extension)) {
      files.push_back(prefix + entry.name);
    }
  }
}

}  // namespace

void CollectFiles(std::u16string_view folder, std::vector<std::u16string>& files,
                  std::u16string_view extension) {
  const std::u16string prefix = Prefix(folder);
  std::vector<fs::FolderEntry> entries;
  fs::ListFolder(prefix, entries);  // a folder that cannot be listed yields what it gave
  AppendMatching(prefix, entries, extension, files);
}

std::vector<std::u16string> ProjectFilesIn(std::u16string_view folder,
                                           const std::vector<fs::FolderEntry>& entries) {
  const std::u16string prefix = Prefix(folder);
  std::vector<std::u16string> files;
  AppendMatching(prefix, entries, u"pbi", files);
  AppendMatching(prefix, entries, u"pb", files);
  return files;
}

std::vector<std::u16string> CollectProjectFiles(std::u16string_view folder,
                                                std::error_code* error) {
  std::vector<fs::FolderEntry> entries;
  const std::error_code listed = fs::ListFolder(Prefix(folder), entries);
  if (error != nullptr) *error = listed;
  return ProjectFilesIn(folder, entries);
}

}  // namespace qm
