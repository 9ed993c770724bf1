// A hint for buffers of many megabytes (a whole file's bytes or text).
#pragma once

#include <cstddef>

namespace qm {

// Asks the system to back the not yet written buffer at `data` with huge
// pages where it offers them (Linux's transparent huge pages in "madvise"
// mode): the first write of each 4 KiB page is a page fault, and on a large
// file those faults take more time than the work itself. Only a hint: small
// buffers, other systems and a refusal leave everything as it was.
void AdviseLargeBuffer(const void* data, std::size_t bytes);

}  // namespace qm
