// The POSIX system (Linux): the calls the program made before it had a seam.
#include <fcntl.h>
#include <langinfo.h>
#include <locale.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <new>
#include <thread>
#include <type_traits>

#include "os/env.h"
#include "os/posix_output.h"
#include "os/temporary_files.h"

namespace pelmoro {

namespace {

using posix::StatusOf;

void (*volatile stop_handler)(StopEvent) = nullptr;

void OnStopSignal(int signal_number) {
  if (stop_handler != nullptr) stop_handler(static_cast<StopEvent>(signal_number));
}

void Watch(int signal_number) {
  struct sigaction current {};
  if (::sigaction(signal_number, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) {
    return;  // started in the background or under nohup: keep it so
  }
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  ::sigemptyset(&action.sa_mask);
  // No SA_RESTART: a call blocked on a pipe or terminal returns EINTR, and
  // the text layer asks whether to wait on.
  action.sa_flags = 0;
  ::sigaction(signal_number, &action, nullptr);
}

static_assert(std::is_integral_v<pthread_t> && sizeof(pthread_t) <= sizeof(std::uintptr_t),
              "threads are kept as numbers");

struct ThreadStart {
  void (*run)(void*);
  void* argument;
};

void* RunThread(void* start) {
  const ThreadStart begin = *static_cast<ThreadStart*>(start);
  delete static_cast<ThreadStart*>(start);
  begin.run(begin.argument);
  return nullptr;
}

int Fd(FileHandle file) { return static_cast<int>(file); }

class PosixEnv final : public Env {
 public:
  int ReadAt(FileHandle file, char* into, std::size_t bytes, std::uint64_t offset,
             std::size_t* got) override {
    const ssize_t n = ::pread(Fd(file), into, bytes, static_cast<off_t>(offset));
    if (n < 0) return errno;
    *got = static_cast<std::size_t>(n);
    return 0;
  }

  int CreateScratch(const std::string& folder, FileHandle* file) override {
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0) return errno;
    *file = fd;
    return 0;
  }

  std::string TemporaryFolder() override {
    const char* tmp = std::getenv("TMPDIR");
    return tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
  }

  // Root may use the blocks kept back for it: refusing what would fit is
  // worse than a disk-full error later.
  std::optional<std::uint64_t> FreeBytesOn(FileHandle file) override {
    struct statvfs vfs {};
    if (::fstatvfs(Fd(file), &vfs) != 0) return std::nullopt;
    const std::uint64_t blocks = ::geteuid() == 0 ? vfs.f_bfree : vfs.f_bavail;
    const std::uint64_t unit = vfs.f_frsize;
    return unit != 0 && blocks > UINT64_MAX / unit ? UINT64_MAX : blocks * unit;
  }

  bool StatPath(const std::string& name, FileStatus* status) override {
    struct stat st {};
    if (::stat(name.c_str(), &st) != 0) return false;
    *status = StatusOf(st);
    return true;
  }

  int Open(const std::string& name, OpenFor how, FileHandle* file) override {
    const int flags =
        how == OpenFor::kReading ? O_RDONLY | O_CLOEXEC : O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC;
    const int fd = ::open(name.c_str(), flags, 0666);
    if (fd < 0) return errno;
    *file = fd;
    return 0;
  }

  int Inspect(FileHandle file, FileStatus* status) override {
    struct stat st {};
    if (::fstat(Fd(file), &st) != 0) return errno;
    *status = StatusOf(st);
    status->terminal = status->kind == FileKind::kDevice && ::isatty(Fd(file)) == 1;
    return 0;
  }

  int Read(FileHandle file, char* into, std::size_t bytes, std::size_t* got) override {
    const ssize_t n = ::read(Fd(file), into, bytes);
    if (n < 0) return errno;
    *got = static_cast<std::size_t>(n);
    return 0;
  }

  int Write(FileHandle file, const char* from, std::size_t bytes, std::size_t* put) override {
    const ssize_t n = ::write(Fd(file), from, bytes);
    if (n < 0) return errno;
    *put = static_cast<std::size_t>(n);
    return 0;
  }

  // An interrupted close has released the descriptor all the same on
  // Linux, so it counts as done.
  int Close(FileHandle file) override {
    return ::close(Fd(file)) == 0 || errno == EINTR ? 0 : errno;
  }

  int Duplicate(FileHandle file, FileHandle* copy) override {
    const int fd = ::fcntl(Fd(file), F_DUPFD_CLOEXEC, 0);
    if (fd < 0) return errno;
    *copy = fd;
    return 0;
  }

  int FlushToDisk(FileHandle file, bool everything) override {
    const int done = everything ? ::fsync(Fd(file)) : ::fdatasync(Fd(file));
    // A file that cannot be flushed (EINVAL: a pipe or special file) has
    // nothing to lose by it.
    return done == 0 || errno == EINVAL ? 0 : errno;
  }

  int CutFile(FileHandle file, std::uint64_t bytes) override {
    const auto length = static_cast<off_t>(bytes);
    if (::ftruncate(Fd(file), length) != 0) return errno;
    return ::lseek(Fd(file), length, SEEK_SET) == length ? 0 : errno;
  }

  void StartWriteOut(FileHandle file) override {
    ::sync_file_range(Fd(file), 0, 0, SYNC_FILE_RANGE_WRITE);
  }

  int ResolveOutput(const std::string& name, OutputTarget* target) override {
    return posix::ResolveOutput(name, target);
  }

  int CreateReplacement(const OutputTarget& target, Replacement* replacement) override {
    return posix::CreateReplacement(target, replacement);
  }

  int PublishReplacement(Replacement* replacement) override {
    return posix::PublishReplacement(replacement);
  }

  void DiscardReplacement(Replacement* replacement) noexcept override {
    posix::DiscardReplacement(replacement);
  }

  void RemoveTemporariesOnAbruptEnd() override { InstallTemporaryCleanup(); }

  FileHandle StandardStream(int stream) override { return stream; }

  std::uint64_t BytesAhead(FileHandle file) override {
    struct stat st {};
    if ((::fcntl(Fd(file), F_GETFL) & O_APPEND) != 0 || ::fstat(Fd(file), &st) != 0 ||
        !S_ISREG(st.st_mode)) {
      return 0;
    }
    const off_t at = ::lseek(Fd(file), 0, SEEK_CUR);
    return at >= 0 && st.st_size > at ? static_cast<std::uint64_t>(st.st_size - at) : 0;
  }

  std::size_t PageBytes() override {
    static const std::size_t size = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    return size;
  }

  std::size_t HugePageBytes() override { return std::size_t{2} << 20; }

  std::uint64_t PhysicalMemoryBytes() override {
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long page = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || page <= 0) return 0;
    return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(page);
  }

  void* MapMemory(std::size_t bytes) override {
    void* start =
        ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (start == MAP_FAILED) return nullptr;
    AdviseHugePages(start, bytes);
    return start;
  }

  void* RemapMemory(void* start, std::size_t old_bytes, std::size_t new_bytes) override {
    // Remapping moves the pages instead of copying them, so a table never
    // exists twice.
    void* moved = ::mremap(start, old_bytes, new_bytes, MREMAP_MAYMOVE);
    if (moved == MAP_FAILED) return nullptr;
    AdviseHugePages(moved, new_bytes);
    return moved;
  }

  void UnmapMemory(void* start, std::size_t bytes) override { ::munmap(start, bytes); }

  std::string MessageLanguage() override {
    // As setlocale reads it: LC_ALL, then LC_MESSAGES, then LANG.
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
      const char* value = std::getenv(name);
      if (value == nullptr || value[0] == '\0') continue;
      const std::string locale(value);
      if (locale == "C" || locale == "POSIX" || locale.rfind("C.", 0) == 0) return {};
      return locale.substr(0, locale.find_first_of("_.@"));
    }
    return {};
  }

  char LocaleDecimalSeparator() override {
    // A locale object of its own, built from LC_ALL / LC_NUMERIC / LANG, so
    // the process-wide C locale (and with it printf and strtod) stays "C".
    const locale_t locale = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(nullptr));
    if (locale == static_cast<locale_t>(nullptr)) return '.';
    const char* const radix = nl_langinfo_l(RADIXCHAR, locale);
    const char separator = (radix != nullptr && radix[0] != '\0') ? radix[0] : '.';
    freelocale(locale);
    return separator;
  }

  void PrepareStandardStreams() override {
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    if (::fcntl(STDERR_FILENO, F_GETFD) >= 0) return;
    const int null = ::open("/dev/null", O_WRONLY);
    if (null < 0) return;
    if (null != STDERR_FILENO) {
      ::dup2(null, STDERR_FILENO);
      ::close(null);
    }
  }

  std::vector<std::string> Arguments(int argc, const char* const* argv) override {
    return std::vector<std::string>(argv, argv + argc);
  }

  std::string StandardInputName() override { return "/dev/stdin"; }

  bool IsTerminal(int stream) override { return ::isatty(stream) == 1; }

  int TerminalColumns(int stream) override {
    struct winsize size {};
    return ::ioctl(stream, TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
  }

  void WatchStopEvents(void (*handler)(StopEvent)) override {
    stop_handler = handler;
    for (const int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) Watch(signal_number);
  }

  void EndByStopEvent(StopEvent event) override {
    const int signal_number = static_cast<int>(event);
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
    ::_exit(128 + signal_number);
  }

  bool StartThread(std::size_t stack_bytes, void (*run)(void*), void* argument,
                   std::uintptr_t* thread) override {
    pthread_attr_t attributes;
    if (::pthread_attr_init(&attributes) != 0) return false;
    ::pthread_attr_setstacksize(&attributes, stack_bytes);
    auto* start = new (std::nothrow) ThreadStart{run, argument};
    pthread_t started;
    const bool made =
        start != nullptr && ::pthread_create(&started, &attributes, RunThread, start) == 0;
    ::pthread_attr_destroy(&attributes);
    if (!made) {
      delete start;
      return false;
    }
    *thread = static_cast<std::uintptr_t>(started);
    return true;
  }

  void JoinThread(std::uintptr_t thread) override {
    ::pthread_join(static_cast<pthread_t>(thread), nullptr);
  }

  std::string ExecutablePath() override {
    char path[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path);
    return n > 0 && static_cast<std::size_t>(n) < sizeof path
               ? std::string(path, static_cast<std::size_t>(n))
               : std::string();
  }

  void CallInForkedChild(void (*call)()) override { ::pthread_atfork(nullptr, nullptr, call); }

  int CoreCount() override {
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  }

 private:
  // Fresh memory is costly to touch page by page here; mappings of a huge
  // page or more ask for huge pages, which take far fewer faults. The
  // advice covers the whole mapping: advising part of it would split it,
  // and mremap works only on one undivided mapping.
  void AdviseHugePages(void* start, std::size_t bytes) {
    if (bytes >= HugePageBytes()) ::madvise(start, bytes, MADV_HUGEPAGE);
  }
};

}  // namespace

Env& Env::Default() {
  static PosixEnv env;
  return env;
}

}  // namespace pelmoro
