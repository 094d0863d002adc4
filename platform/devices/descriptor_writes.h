#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <sys/types.h>

// The loops every file writer needs around write(2) and pwrite(2), and the private temporary
// file a file is built in before it is renamed into place.

// Writes all of `bytes`, again after a signal and after a short write; false with errno set
// (EIO when the file takes no more bytes without saying why).
bool WriteAllBytes(int fd, std::span<const uint8_t> bytes);
// The same at `offset`, leaving the file position alone.
bool WriteAllBytesAt(int fd, uint64_t offset, std::span<const uint8_t> bytes);

// Creates a new file ".<name>.<8 random letters>" in the folder open as `folderFd`, write-only,
// exclusively and without following a link there, with `mode` (less the umask). Returns its
// descriptor and its name in `temporaryName`, or -1 with errno set.
int CreateTemporaryFileIn(int folderFd, const std::string& name, mode_t mode,
                          std::string& temporaryName);
