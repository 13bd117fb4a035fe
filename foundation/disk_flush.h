// Flushes of files to the disk that run while their caller goes on.
#pragma once

#include <future>

#include "os/env.h"

namespace pelmoro {

enum class DiskFlush { kData, kAll };  // the data, or the file's other facts as well

// Starts flushing `fd` (a handle the flush owns and closes when done) on
// a background thread; the future gives the errno of a failed flush, or 0.
// Threads stay for later flushes, since starting one costs more than a
// small flush does; a flush waits only when every thread is busy and no
// other can be started, or runs here when none can be had at all.
std::future<int> StartDiskFlush(FileHandle fd, DiskFlush kind);

}  // namespace pelmoro
