// Reading a command line as GNU programs do, through getopt_long: short
// options bundle ("-qo out.hzm"), a short option's value may follow it at
// once ("-oout.hzm"), long options take "=VALUE" or the next argument and
// may be shortened to any unambiguous prefix ("--pit 0.5"), and "--" ends
// the options. Options and operands may come in any order.
#pragma once

#include <functional>
#include <span>
#include <string>

namespace pelmoro::cli {

// One option of a command line.
struct GnuOption {
  const char* name;  // the long name, without "--"
  char letter;       // the short name, or 0 for none
  bool takes_value;
};

// Reads argv[1..argc-1] in order: option(i, value) for an option, i being
// its index in options and value its value ("" when it takes none), and
// operand(text) for every other argument ("-" included). Ends early when
// option returns false. Raises UsageError, in the words of GNU's own
// getopt, for an unknown or ambiguous option, a missing value, or a value
// given to an option that takes none. Uses getopt's global state: one
// reading at a time.
void ReadGnuOptions(std::span<const GnuOption> options, int argc, const char* const* argv,
                    const std::function<bool(std::size_t, const std::string&)>& option,
                    const std::function<void(const std::string&)>& operand);

}  // namespace pelmoro::cli
