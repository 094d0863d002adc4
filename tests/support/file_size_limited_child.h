#pragma once

#include <cstdint>
#include <functional>

// Runs `body` in a forked child whose files may not grow past `limit` bytes (RLIMIT_FSIZE), as on
// a file system that fills up: writes past it fail with EFBIG instead of killing the child. The
// test's own files are not limited. Returns the exit code `body` returned, or -1 when the child
// could not run or did not exit by itself. Only the child's exit code comes back: it reports
// what it found through it.
int ExitCodeWithFileSizeLimit(uint64_t limit, const std::function<int()>& body);
