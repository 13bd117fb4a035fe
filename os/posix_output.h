// The POSIX side of Env's outputs: names resolved through links and the
// process's own descriptors, and replacements that are unnamed files
// (O_TMPFILE) linked into place, or hidden named files renamed there.
#pragma once

#include <sys/stat.h>

#include <string>

#include "os/env.h"

namespace pelmoro::posix {

// The facts stat gives, as Env tells them.
FileStatus StatusOf(const struct stat& st);

int ResolveOutput(const std::string& name, OutputTarget* target);
int CreateReplacement(const OutputTarget& target, Replacement* replacement);
int PublishReplacement(Replacement* replacement);
void DiscardReplacement(Replacement* replacement) noexcept;

// The text of a symbolic link, read whatever size lstat gives it (the links
// of /proc give none). False when path is no readable link.
bool ReadLinkText(const std::string& path, std::string& text);

// The descriptor a name of the process's own descriptor table denotes
// (/proc/self/fd/N and every name leading there: /dev/fd/N, /proc/PID/fd/N,
// /proc/thread-self/fd/N), else -1. Does not follow a link in the last
// component.
int OwnDescriptorNamedBy(const std::string& path);

}  // namespace pelmoro::posix
