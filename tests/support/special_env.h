// An Env that is the system's, except where a test makes it fail: a full
// disk, a failed or slow flush, a failed rename, the memory it maps, the
// memory it says the machine has. Put it in place with EnvOverride for the
// test's duration.
#pragma once

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "os/env.h"

namespace pelmoro::testing {

class SpecialEnv : public Env {
 public:
  // Maps and remaps fail (the caller sees no memory to be had).
  std::atomic<bool> fail_maps{false};
  // What PhysicalMemoryBytes says; 0: the machine's.
  std::uint64_t physical_memory = 0;
  // What FreeBytesOn says; nothing: the system's.
  std::optional<std::uint64_t> free_bytes;
  // What MessageLanguage says; nothing: the system's.
  std::optional<std::string> message_language;
  // Writes take writable_bytes in all, then fail with write_error (a full
  // disk: ENOSPC; a file-size limit: EFBIG); the write that reaches the
  // limit takes what fits.
  std::atomic<std::uint64_t> writable_bytes{UINT64_MAX};
  std::atomic<int> write_error{ENOSPC};
  // FlushToDisk fails with this (EIO: the disk lost the data); 0: it works.
  std::atomic<int> flush_error{0};
  // FlushToDisk takes at least this long (a slow disk).
  std::chrono::milliseconds flush_delay{0};
  // PublishReplacement fails with this, the replacement kept as it was (a
  // rename the system refuses); 0: it works.
  std::atomic<int> publish_error{0};
  // FlushToDisk calls so far.
  std::atomic<int> flushes{0};
  // Calls of Write so far.
  std::atomic<int> writes{0};

  bool StatPath(const std::string& name, FileStatus* status) override {
    return base_.StatPath(name, status);
  }
  int Open(const std::string& name, OpenFor how, FileHandle* file) override {
    return base_.Open(name, how, file);
  }
  int Inspect(FileHandle file, FileStatus* status) override { return base_.Inspect(file, status); }
  int Read(FileHandle file, char* into, std::size_t bytes, std::size_t* got) override {
    return base_.Read(file, into, bytes, got);
  }
  int Write(FileHandle file, const char* from, std::size_t bytes, std::size_t* put) override {
    ++writes;
    std::uint64_t room = writable_bytes.load();
    if (room == 0) return write_error.load();
    const std::size_t taken = static_cast<std::size_t>(std::min<std::uint64_t>(bytes, room));
    const int error = base_.Write(file, from, taken, put);
    if (error == 0 && room != UINT64_MAX) writable_bytes -= *put;
    return error;
  }
  int Close(FileHandle file) override { return base_.Close(file); }
  int Duplicate(FileHandle file, FileHandle* copy) override { return base_.Duplicate(file, copy); }
  int FlushToDisk(FileHandle file, bool everything) override {
    ++flushes;
    std::this_thread::sleep_for(flush_delay);
    return flush_error != 0 ? flush_error.load() : base_.FlushToDisk(file, everything);
  }
  void StartWriteOut(FileHandle file) override { base_.StartWriteOut(file); }
  int CutFile(FileHandle file, std::uint64_t bytes) override { return base_.CutFile(file, bytes); }
  int ReadAt(FileHandle file, char* into, std::size_t bytes, std::uint64_t offset,
             std::size_t* got) override {
    return base_.ReadAt(file, into, bytes, offset, got);
  }
  int CreateScratch(const std::string& folder, FileHandle* file) override {
    return base_.CreateScratch(folder, file);
  }
  std::string TemporaryFolder() override { return base_.TemporaryFolder(); }
  std::optional<std::uint64_t> FreeBytesOn(FileHandle file) override {
    return free_bytes ? free_bytes : base_.FreeBytesOn(file);
  }
  int ResolveOutput(const std::string& name, OutputTarget* target) override {
    return base_.ResolveOutput(name, target);
  }
  int CreateReplacement(const OutputTarget& target, Replacement* replacement) override {
    return base_.CreateReplacement(target, replacement);
  }
  int PublishReplacement(Replacement* replacement) override {
    return publish_error != 0 ? publish_error.load() : base_.PublishReplacement(replacement);
  }
  void DiscardReplacement(Replacement* replacement) noexcept override {
    base_.DiscardReplacement(replacement);
  }
  void RemoveTemporariesOnAbruptEnd() override { base_.RemoveTemporariesOnAbruptEnd(); }
  FileHandle StandardStream(int stream) override { return base_.StandardStream(stream); }
  std::uint64_t BytesAhead(FileHandle file) override { return base_.BytesAhead(file); }
  std::size_t PageBytes() override { return base_.PageBytes(); }
  std::size_t HugePageBytes() override { return base_.HugePageBytes(); }
  std::uint64_t PhysicalMemoryBytes() override {
    return physical_memory != 0 ? physical_memory : base_.PhysicalMemoryBytes();
  }
  void* MapMemory(std::size_t bytes) override {
    return fail_maps ? nullptr : base_.MapMemory(bytes);
  }
  void* RemapMemory(void* start, std::size_t old_bytes, std::size_t new_bytes) override {
    return fail_maps ? nullptr : base_.RemapMemory(start, old_bytes, new_bytes);
  }
  void UnmapMemory(void* start, std::size_t bytes) override { base_.UnmapMemory(start, bytes); }
  std::string MessageLanguage() override {
    return message_language ? *message_language : base_.MessageLanguage();
  }
  std::string ExecutablePath() override { return base_.ExecutablePath(); }
  char LocaleDecimalSeparator() override { return base_.LocaleDecimalSeparator(); }
  void PrepareStandardStreams() override { base_.PrepareStandardStreams(); }
  std::vector<std::string> Arguments(int argc, const char* const* argv) override {
    return base_.Arguments(argc, argv);
  }
  std::string StandardInputName() override { return base_.StandardInputName(); }
  bool IsTerminal(int stream) override { return base_.IsTerminal(stream); }
  int TerminalColumns(int stream) override { return base_.TerminalColumns(stream); }
  void WatchStopEvents(void (*handler)(StopEvent)) override { base_.WatchStopEvents(handler); }
  void EndByStopEvent(StopEvent event) override { base_.EndByStopEvent(event); }
  bool StartThread(std::size_t stack_bytes, void (*run)(void*), void* argument,
                   std::uintptr_t* thread) override {
    return base_.StartThread(stack_bytes, run, argument, thread);
  }
  void JoinThread(std::uintptr_t thread) override { base_.JoinThread(thread); }
  void CallInForkedChild(void (*call)()) override { base_.CallInForkedChild(call); }
  int CoreCount() override { return base_.CoreCount(); }

 private:
  Env& base_ = Env::Default();
};

}  // namespace pelmoro::testing
