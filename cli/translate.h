// quillmark-cli translate: a whole project through a translator program,
// without the clipboard.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

namespace qm {

struct TranslateOptions {
  std::u16string source, destination;
  std::string command;                   // run through the system shell, UTF-8
  std::size_t max_chars = 5000;          // a piece's size, as the window's
  std::chrono::seconds timeout{120};     // per run of the command
  std::size_t jobs = 1;                  // files translated at once
  bool recursive = false;                // also the subfolders, mirrored
  bool dry_run = false;                  // write nothing, print a diff
};

// Translates every project file of `options.source` (the window's
// collection and order; with `recursive` the subfolders' too) and writes the
// results under `options.destination`. Returns the exit status: 0 when every
// file was written, 1 when any failed.
int TranslateProject(const TranslateOptions& options);

}  // namespace qm
