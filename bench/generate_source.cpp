// generate_source: writes a synthetic PureBasic source, and optionally the
// translation file that goes with it (its exchange text, altered).
//
//   generate_source [--lines N] [--charset utf8|ascii|cp1252] [--seed N] SIZE_MB OUT [TRANSLATION]
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "bench/generate.h"
#include "text/encoding.h"
#include "platform/fs.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: generate_source [--lines N] [--charset utf8|ascii|cp1252] [--seed N] "
               "SIZE_MB OUT [TRANSLATION]\n");
  return 2;
}

bool Write(const char* path, std::string_view bytes) {
  if (qm::fs::WriteFileAtomically(qm::DecodeFileName(path), bytes)) {
    std::fprintf(stderr, "generate_source: cannot write %s\n", path);
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  qm::bench::SourceOptions options;
  int i = 1;
  for (; i + 1 < argc && std::string_view(argv[i]).starts_with("--"); i += 2) {
    const std::string_view flag = argv[i], value = argv[i + 1];
    if (flag == "--lines") {
      options.min_lines = std::strtoull(argv[i + 1], nullptr, 10);
    } else if (flag == "--seed") {
      options.seed = std::strtoull(argv[i + 1], nullptr, 10);
    } else if (flag == "--charset" && value == "utf8") {
      options.charset = qm::bench::Charset::Utf8;
    } else if (flag == "--charset" && value == "ascii") {
      options.charset = qm::bench::Charset::Ascii;
    } else if (flag == "--charset" && value == "cp1252") {
      options.charset = qm::bench::Charset::Windows1252;
    } else {
      return Usage();
    }
  }
  if (argc - i != 2 && argc - i != 3) return Usage();
  const double megabytes = std::strtod(argv[i], nullptr);
  if (megabytes < 0) return Usage();
  options.min_bytes = static_cast<std::size_t>(megabytes * 1024 * 1024);
  const std::string source = qm::bench::GenerateSource(options);
  if (!Write(argv[i + 1], source)) return 1;
  if (argc - i == 3 && !Write(argv[i + 2], qm::bench::TranslationFor(source))) return 1;
  return 0;
}
