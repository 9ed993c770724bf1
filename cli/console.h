// Messages on standard error, formatted as printf does, in UTF-8. On a
// Windows console they go out as UTF-16 (WriteConsoleW), so they read right
// whatever the console's code page; redirected, they stay UTF-8 bytes.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/fs.h"

// MinGW's own formatter, which knows %zu and %lld on every Windows.
#ifdef _WIN32
#define QM_VSNPRINTF __mingw_vsnprintf
#define QM_FORMAT_ARCHETYPE gnu_printf
#else
#define QM_VSNPRINTF std::vsnprintf
#define QM_FORMAT_ARCHETYPE printf
#endif

namespace qm {

[[gnu::format(QM_FORMAT_ARCHETYPE, 1, 2)]] inline void ErrorOut(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::va_list again;
  va_copy(again, args);
  const int length = QM_VSNPRINTF(nullptr, 0, format, args);
  va_end(args);
  if (length > 0) {
    std::vector<char> text(static_cast<std::size_t>(length) + 1);
    QM_VSNPRINTF(text.data(), text.size(), format, again);
    fs::WriteStandardError(std::string_view(text.data(), static_cast<std::size_t>(length)));
  }
  va_end(again);
}

}  // namespace qm
