// A translator program for the tests of `quillmark-cli translate` on
// Windows: standard input to standard output with ASCII letters upper-cased,
// in binary mode. With an argument, it writes that to standard error and
// exits 1 instead.
#include <fcntl.h>
#include <io.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc > 1) {
    std::fprintf(stderr, "%s\n", argv[1]);
    return 1;
  }
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  for (int c = std::getchar(); c != EOF; c = std::getchar()) {
    std::putchar(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  }
  return 0;
}
