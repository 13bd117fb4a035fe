// What an output name denotes: a descriptor the process already holds
// (/dev/stdout, /dev/fd/N, /proc/self/fd/N), a device or pipe, or a file,
// with the chain of symbolic links that leads to it followed.
#pragma once

#include <sys/stat.h>

#include <string>

namespace pelmoro {

enum class OutputKind {
  kDescriptor,  // written through a duplicate of descriptor
  kDevice,      // a device or named pipe, opened by its name
  kFile,        // a regular file (or none yet) at destination
};

struct OutputTarget {
  OutputKind kind = OutputKind::kFile;
  int descriptor = -1;      // kDescriptor
  std::string destination;  // kFile: the name with symbolic links followed
  bool exists = false;      // kFile: a file is there already
  struct stat st {};        // what is there (kDescriptor, an existing kFile)
};

// The folder of a path ("." for a bare name, "/" at the root) and its last
// component.
std::string FolderOf(const std::string& path);
std::string BaseOf(const std::string& path);

// Resolves the output name. Raises EInOutError for a chain of symbolic
// links that never ends (ELOOP) and for a descriptor name this process does
// not hold (EBADF).
OutputTarget ResolveOutputTarget(const std::string& name);

// The text of a symbolic link, read whatever size lstat gives it (the links
// of /proc give none). False when path is no readable link.
bool ReadLinkText(const std::string& path, std::string& text);

// The descriptor a name of the process's own descriptor table denotes
// (/proc/self/fd/N and every name leading there: /dev/fd/N, /proc/PID/fd/N,
// /proc/thread-self/fd/N), else -1. Does not follow a link in the last
// component.
int OwnDescriptorNamedBy(const std::string& path);

}  // namespace pelmoro
