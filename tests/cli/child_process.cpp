#include "tests/cli/child_process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace pelmoro::testing {

namespace {

constexpr auto kSafetyLimit = std::chrono::seconds(60);

std::vector<std::string> ChildEnvironment(const std::vector<std::string>& extra) {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    if (entry.rfind("LC_", 0) == 0 || entry.rfind("LANG=", 0) == 0) continue;
    env.push_back(entry);
  }
  env.push_back("LC_ALL=C.UTF-8");
  for (const std::string& e : extra) {
    const std::string name = e.substr(0, e.find('=') + 1);
    std::erase_if(env, [&](const std::string& v) { return v.rfind(name, 0) == 0; });
    env.push_back(e);
  }
  return env;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> p;
  for (std::string& s : strings) p.push_back(s.data());
  p.push_back(nullptr);
  return p;
}

}  // namespace

Child::Child(const Launch& launch) {
  std::vector<std::string> args{STL2HZM_PATH};
  args.insert(args.end(), launch.args.begin(), launch.args.end());
  std::vector<std::string> env = ChildEnvironment(launch.env);
  std::vector<char*> argv = Pointers(args), envp = Pointers(env);
  const int in =
      launch.stdin_file.empty() ? -1 : ::open(launch.stdin_file.c_str(), O_RDONLY | O_CLOEXEC);
  if (!launch.stdin_file.empty() && in < 0) throw std::runtime_error("stdin file");
  int out[2], err[2];
  if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
    throw std::runtime_error("pipe");
  pid_ = ::fork();
  if (pid_ == 0) {
    // Only async-signal-safe calls between fork and exec.
    if (in >= 0) ::dup2(in, STDIN_FILENO);
    ::dup2(out[1], STDOUT_FILENO);
    ::dup2(err[1], STDERR_FILENO);
    if (launch.standard_error == StandardError::kClosed) ::close(STDERR_FILENO);
    if (launch.standard_error == StandardError::kBroken) {
      int broken[2];
      if (::pipe(broken) != 0) ::_exit(125);
      ::close(broken[0]);
      ::dup2(broken[1], STDERR_FILENO);
      ::close(broken[1]);
    }
    if (!launch.cwd.empty() && ::chdir(launch.cwd.c_str()) != 0) ::_exit(126);
    const struct rlimit limit { launch.file_size_limit, launch.file_size_limit };
    if (launch.file_size_limit != RLIM_INFINITY) ::setrlimit(RLIMIT_FSIZE, &limit);
    const struct rlimit no_core { 0, 0 };  // SIGQUIT and aborts leave no core in the folder
    ::setrlimit(RLIMIT_CORE, &no_core);
    ::execve(argv[0], argv.data(), envp.data());
    ::_exit(127);
  }
  if (in >= 0) ::close(in);
  ::close(out[1]);
  ::close(err[1]);
  out_fd_ = out[0];
  err_fd_ = err[0];
}

Child::~Child() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  if (out_fd_ >= 0) ::close(out_fd_);
  if (err_fd_ >= 0) ::close(err_fd_);
}

void Child::Signal(int signal_number) const { ::kill(pid_, signal_number); }

Outcome Child::Wait() {
  Outcome outcome;
  const auto deadline = std::chrono::steady_clock::now() + kSafetyLimit;
  struct pollfd fds[2] = {{out_fd_, POLLIN, 0}, {err_fd_, POLLIN, 0}};
  std::string* sinks[2] = {&outcome.out, &outcome.err};
  int open_pipes = 2;
  bool killed = false;
  while (open_pipes > 0) {
    if (!killed && std::chrono::steady_clock::now() > deadline) {
      ADD_FAILURE() << "stl2hzm still runs after a minute; killed";
      ::kill(pid_, SIGKILL);
      killed = true;
    }
    if (::poll(fds, 2, 1000) < 0) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(n));
      } else {
        fds[i].fd = -1;
        --open_pipes;
      }
    }
  }
  int status = 0;
  ::waitpid(pid_, &status, 0);
  pid_ = -1;
  if (WIFEXITED(status)) outcome.exit_code = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) outcome.signal = WTERMSIG(status);
  return outcome;
}

Outcome RunStl2hzm(const Launch& launch) { return Child(launch).Wait(); }

namespace {

constexpr auto kWaitLimit = std::chrono::seconds(30);

// The fdinfo flags of the descriptor say it was opened for writing.
bool OpenForWriting(const std::string& fdinfo) {
  std::ifstream in(fdinfo);
  std::string key;
  while (in >> key) {
    if (key == "flags:") {
      std::string octal;
      in >> octal;
      return (std::stoul(octal, nullptr, 8) & (O_WRONLY | O_RDWR)) != 0;
    }
  }
  return false;
}

bool HoldsOutputBytes(pid_t pid, const std::string& folder, const std::string& earlier_target) {
  // The run opens an earlier target for writing only to check that it may
  // replace it: that file is not its output.
  struct stat earlier {};
  const bool has_earlier = !earlier_target.empty() && ::stat(earlier_target.c_str(), &earlier) == 0;
  const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(fds, ec)) {
    std::error_code link_ec;
    const std::string target = std::filesystem::read_symlink(entry.path(), link_ec).string();
    if (link_ec || target.rfind(folder + "/", 0) != 0) continue;
    struct stat st {};
    if (::stat(entry.path().c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0) {
      continue;
    }
    if (has_earlier && st.st_dev == earlier.st_dev && st.st_ino == earlier.st_ino) continue;
    const std::string info =
        "/proc/" + std::to_string(pid) + "/fdinfo/" + entry.path().filename().string();
    if (OpenForWriting(info)) return true;
  }
  return false;
}

}  // namespace

bool WaitForOutputBytes(pid_t pid, const std::string& folder, const std::string& earlier_target) {
  const auto deadline = std::chrono::steady_clock::now() + kWaitLimit;
  while (std::chrono::steady_clock::now() < deadline) {
    if (HoldsOutputBytes(pid, folder, earlier_target)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));  // polling, not racing
  }
  return false;
}

bool WaitForBlockedCall(pid_t pid, long syscall_number) {
  const auto deadline = std::chrono::steady_clock::now() + kWaitLimit;
  const std::string path = "/proc/" + std::to_string(pid) + "/syscall";
  while (std::chrono::steady_clock::now() < deadline) {
    std::ifstream in(path);
    std::string first;
    if (in >> first && first != "running" && std::stol(first) == syscall_number) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

bool WaitForProcessorTime(pid_t pid, double seconds) {
  const auto deadline = std::chrono::steady_clock::now() + kWaitLimit;
  const std::string path = "/proc/" + std::to_string(pid) + "/stat";
  const double ticks = static_cast<double>(::sysconf(_SC_CLK_TCK));
  while (std::chrono::steady_clock::now() < deadline) {
    std::ifstream in(path);
    std::string stat;
    if (!std::getline(in, stat)) return false;
    // The fields after the name (which may hold spaces) in parentheses:
    // state is the 3rd field, utime and stime the 14th and 15th.
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    double used = 0;
    for (int k = 3; k <= 15 && fields >> field; ++k) {
      if (k == 3 && (field == "Z" || field == "X")) return false;
      if (k >= 14) used += std::stod(field) / ticks;
    }
    if (used >= seconds) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

int RunShell(const std::string& command_line) {
  const std::string script = "STL2HZM='" STL2HZM_PATH "'; export LC_ALL=C.UTF-8; " + command_line;
  return std::system(script.c_str());
}

}  // namespace pelmoro::testing
