// The Windows side of Env's outputs: a replacement is a hidden file beside
// the target, marked for deletion while it is written (so that nothing of
// it survives however the process ends, TerminateProcess included), and
// unmarked and renamed over the target by its handle when published.
#pragma once

#include <string>

#include "os/env.h"

namespace pelmoro::windows {

int ResolveOutput(const std::string& name, OutputTarget* target);
int CreateReplacement(const OutputTarget& target, Replacement* replacement);
int PublishReplacement(Replacement* replacement);
void DiscardReplacement(Replacement* replacement) noexcept;
std::uint64_t BytesAhead(FileHandle file);

}  // namespace pelmoro::windows
