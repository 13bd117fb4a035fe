// Everything the program asks of the operating system goes through Env:
// one implementation for POSIX systems (env_posix.cpp), one for Windows
// (env_windows.cpp), chosen when the program is built. Nothing above this
// folder tests which system it runs on.
//
// Tests put an Env of their own in place (EnvOverride) to make the system
// fail on demand; everything else uses CurrentEnv().
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pelmoro {

// What a name denotes, links followed.
enum class FileKind {
  kRegular,
  kFolder,
  kDevice,  // a character device: a terminal, the null device
  kPipe,    // a pipe, a FIFO, a socket
};

// A device or pipe: read once, its size unknown.
inline bool IsStream(FileKind kind) { return kind == FileKind::kDevice || kind == FileKind::kPipe; }

// A failure the system reports that has no errno value of its own is this
// plus the system's own number (on Windows: a file another program holds
// open, ERROR_SHARING_VIOLATION, is kSystemError + 32).
inline constexpr int kSystemError = 1 << 20;

// A file the system has opened: a descriptor (POSIX) or a handle (Windows).
using FileHandle = std::intptr_t;
inline constexpr FileHandle kNoFile = -1;

enum class OpenFor {
  kReading,    // an existing file
  kReplacing,  // created, or emptied, for writing (mode 0666 under the umask)
};

struct FileStatus {
  FileKind kind = FileKind::kRegular;
  std::uint64_t size = 0;  // bytes of a regular file
  // The file's identity: the device and inode (POSIX), the volume and
  // file index (Windows, where a device or pipe has none).
  bool identified = false;
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  // A device that is a terminal (a console on Windows); known of an open
  // file only (Inspect), never of a name.
  bool terminal = false;
};

// Whether two statuses are of one file.
inline bool SameFile(const FileStatus& a, const FileStatus& b) {
  return a.identified && b.identified && a.volume == b.volume && a.index == b.index;
}

// What an output name denotes.
enum class OutputKind {
  kDescriptor,  // a file the process already holds (/dev/stdout, /dev/fd/N)
  kDevice,      // a device or named pipe, written as it is, opened by its name
  kFile,        // a regular file (or none yet) at destination, replaced as a whole
};

struct OutputTarget {
  OutputKind kind = OutputKind::kFile;
  FileHandle descriptor = kNoFile;  // kDescriptor: the process's own, not to be closed
  std::string destination;          // kFile: the name with symbolic links followed
  bool exists = false;              // kFile: something is there already
  FileStatus status;                // what is there (kDescriptor, an existing kFile)
};

// A file written in the place of a destination, which takes the
// destination's name only when published: until then an earlier file of
// that name is untouched, and the replacement leaves nothing behind.
struct Replacement {
  FileHandle file = kNoFile;
  std::string destination;
  std::string temporary;  // its own name while it has one
  std::string refused;    // the name that could not be created, when creating failed
  // True when nothing of it survives the process's end, however abrupt
  // (an unnamed file; on Windows a file marked for deletion).
  bool vanishes = false;
  int slot = -1;  // its entry among the names removed at an abrupt end
};

// The folder of a path ("." for a bare name, the root for a name at the
// root) and its last component, in the system's syntax of paths.
std::string FolderOf(const std::string& path);
std::string BaseOf(const std::string& path);

// What asks a command-line program to stop, numbered as the POSIX signals
// are, so that the exit status 128 + number means the same on every system.
enum class StopEvent {
  kHangUp = 1,      // SIGHUP; on Windows the console window was closed
  kInterrupt = 2,   // SIGINT; Ctrl-C, and on Windows Ctrl-Break
  kQuit = 3,        // SIGQUIT
  kTerminate = 15,  // SIGTERM; on Windows the user logs off or the system shuts down
};

class Env {
 public:
  Env() = default;
  virtual ~Env() = default;
  Env(const Env&) = delete;
  Env& operator=(const Env&) = delete;

  // The system's implementation; lives as long as the process.
  static Env& Default();

  // Files. Names are UTF-8 on every system.
  // The file `name` denotes; false when there is none or it cannot be
  // looked at.
  virtual bool StatPath(const std::string& name, FileStatus* status) = 0;

  // Open files. Every call returns 0 or the failure as an errno value (on
  // Windows the system's error, translated); EINTR: a signal interrupted a
  // call that waited (a FIFO's open, a pipe's read), which the caller may
  // make again.
  virtual int Open(const std::string& name, OpenFor how, FileHandle* file) = 0;
  virtual int Inspect(FileHandle file, FileStatus* status) = 0;
  // Up to `bytes` bytes; *got 0 at the end of the data.
  virtual int Read(FileHandle file, char* into, std::size_t bytes, std::size_t* got) = 0;
  // Up to `bytes` bytes; *put 0 when nothing could be taken.
  virtual int Write(FileHandle file, const char* from, std::size_t bytes, std::size_t* put) = 0;
  // Releases the file, even when it reports a failure (a failed write-out).
  virtual int Close(FileHandle file) = 0;
  // A second handle to the same open file, released on its own.
  virtual int Duplicate(FileHandle file, FileHandle* copy) = 0;
  // Waits until what was written is on the disk: the data (and what reading
  // it back needs), or with `everything` the file's other facts as well.
  // 0 for a file that cannot be flushed (a pipe, a device).
  virtual int FlushToDisk(FileHandle file, bool everything) = 0;
  // Asks the system to start writing the file's data out, without waiting;
  // nothing where the system has no such request.
  virtual void StartWriteOut(FileHandle file) = 0;
  // Cuts a regular file opened for writing to its first `bytes` bytes
  // (no more than it holds) and writes on from there.
  virtual int CutFile(FileHandle file, std::uint64_t bytes) = 0;
  // Up to `bytes` bytes from `offset` on; *got 0 past the end. Calls from
  // several threads at once are safe.
  virtual int ReadAt(FileHandle file, char* into, std::size_t bytes, std::uint64_t offset,
                     std::size_t* got) = 0;
  // A scratch file for reading and writing in `folder` that has no name, or
  // none anyone sees, and is gone however the process ends.
  virtual int CreateScratch(const std::string& folder, FileHandle* file) = 0;
  // The system's folder for temporary files.
  virtual std::string TemporaryFolder() = 0;
  // Bytes free on the filesystem of the open file, as this process may use
  // them; nothing when the system cannot tell.
  virtual std::optional<std::uint64_t> FreeBytesOn(FileHandle file) = 0;

  // Outputs.
  // What the output name denotes, links followed. ELOOP for a chain of
  // links that never ends, EBADF for a name of a descriptor this process
  // does not hold.
  virtual int ResolveOutput(const std::string& name, OutputTarget* target) = 0;
  // Opens a replacement for target (a kFile) beside it, after checking
  // that an existing target could be written: EISDIR for a folder there,
  // else the code that opening the target itself for writing gives. The
  // replacement keeps the owner and permissions of the file it replaces.
  virtual int CreateReplacement(const OutputTarget& target, Replacement* replacement) = 0;
  // Gives the replacement (flushed to the disk by the caller) the
  // destination's name in one step, the earlier file gone with it, and
  // releases it. On failure the earlier file is kept and the replacement
  // stays as it was, to be discarded.
  virtual int PublishReplacement(Replacement* replacement) = 0;
  // Releases and removes the replacement; never fails.
  virtual void DiscardReplacement(Replacement* replacement) noexcept = 0;
  // Makes ends of the process that skip its destructors (a fatal signal,
  // exit()) remove the replacements that have names; nothing where they
  // vanish by themselves. Call once, before other threads start.
  virtual void RemoveTemporariesOnAbruptEnd() = 0;
  // The file of standard stream 0, 1 or 2 (owned by the process).
  virtual FileHandle StandardStream(int stream) = 0;
  // Bytes of the file beyond its current position, which writing there
  // replaces rather than adds; 0 when it appends or is no regular file.
  virtual std::uint64_t BytesAhead(FileHandle file) = 0;

  // Memory.
  // Bytes of a memory page.
  virtual std::size_t PageBytes() = 0;
  // Bytes of a huge page (2 MiB on x86-64 Linux); 0 where there are none.
  virtual std::size_t HugePageBytes() = 0;
  // The machine's physical memory in bytes; 0 when the system cannot tell.
  virtual std::uint64_t PhysicalMemoryBytes() = 0;
  // A fresh zero-filled mapping of `bytes` (a multiple of PageBytes()),
  // made of huge pages where the system has them and bytes is a multiple
  // of HugePageBytes(); nullptr when it cannot be had.
  virtual void* MapMemory(std::size_t bytes) = 0;
  // The mapping at `start` resized from old_bytes to new_bytes (both > 0,
  // multiples of PageBytes()), its contents kept up to the smaller size and
  // new pages zero-filled; it may move. nullptr when it cannot be had, the
  // old mapping then unchanged.
  virtual void* RemapMemory(void* start, std::size_t old_bytes, std::size_t new_bytes) = 0;
  virtual void UnmapMemory(void* start, std::size_t bytes) = 0;

  // The user's settings.
  // The language the user reads messages in, as its two-letter code ("ja",
  // "en"); empty when the system names none (the C locale).
  virtual std::string MessageLanguage() = 0;
  // The decimal separator of the user's locale for numbers ('.' or ','),
  // '.' when the system cannot tell.
  virtual char LocaleDecimalSeparator() = 0;

  // The console. Streams are numbered as descriptors: 0 the standard
  // input, 1 the standard output, 2 the messages.
  // Sets up the standard streams of a command-line program: bytes pass
  // unchanged (no line-end translation); a console shows UTF-8 messages; a
  // broken pipe or a file-size limit fails only the write that met it; a
  // closed stream 2 is given the null device, so that no file the program
  // opens takes its number and receives the messages.
  virtual void PrepareStandardStreams() = 0;
  // The command line's arguments (argv of main) as UTF-8.
  virtual std::vector<std::string> Arguments(int argc, const char* const* argv) = 0;
  // A name that opens the standard input as a file.
  virtual std::string StandardInputName() = 0;
  // True when the stream goes to a terminal (a console).
  virtual bool IsTerminal(int stream) = 0;
  // The width in columns of the terminal the stream goes to; 0 when unknown.
  virtual int TerminalColumns(int stream) = 0;
  // From here on `handler` is told of every StopEvent, on a thread or in a
  // signal handler, so it may only note it (an atomic flag). A POSIX signal
  // the program's caller set to be ignored (nohup, a background job) stays
  // ignored. Blocking calls are not restarted after a signal.
  virtual void WatchStopEvents(void (*handler)(StopEvent)) = 0;
  // Ends the program as that event ends it by default, so that its caller
  // sees it ended by the event (the exit status 128 + its number). Does
  // not return (a call through the interface cannot say so).
  virtual void EndByStopEvent(StopEvent event) = 0;

  // Threads.
  // Starts a thread with a stack of stack_bytes that calls run(argument);
  // false when no thread can be had. *thread is for JoinThread.
  virtual bool StartThread(std::size_t stack_bytes, void (*run)(void*), void* argument,
                           std::uintptr_t* thread) = 0;
  // Waits until the thread has ended, and releases it.
  virtual void JoinThread(std::uintptr_t thread) = 0;
  // From here on `call` runs in the child of every fork of the process
  // (which has only the forking thread); nothing where processes never fork.
  virtual void CallInForkedChild(void (*call)()) = 0;

  // The machine.
  // The running program's file, as an absolute name; empty when unknown.
  virtual std::string ExecutablePath() = 0;
  // Processor cores this process may run on, at least 1.
  virtual int CoreCount() = 0;
};

// The Env in use: Default() unless a test put another in place.
Env& CurrentEnv();

// Puts `env` in place for its own lifetime (tests only; not thread-safe:
// make it before any thread that uses the system starts).
class EnvOverride {
 public:
  explicit EnvOverride(Env& env);
  ~EnvOverride();
  EnvOverride(const EnvOverride&) = delete;
  EnvOverride& operator=(const EnvOverride&) = delete;

 private:
  Env* previous_;
};

}  // namespace pelmoro
