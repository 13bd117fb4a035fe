#include "cli/gnu_options.h"

#include <getopt.h>

#include <string_view>
#include <vector>

#include "cli/catalog.h"
#include "cli/options.h"
#include "foundation/assert.h"

namespace pelmoro::cli {

namespace {

// getopt_long hands back an option's letter, or for a long-only option
// this plus its index: above every letter.
constexpr int kFirstLongOnly = 256;
// getopt_long's answer for an operand when the short options begin with "-".
constexpr int kOperand = 1;

int CodeOf(const GnuOption& option, std::size_t index) {
  return option.letter != 0 ? option.letter : kFirstLongOnly + static_cast<int>(index);
}

// "-" first: operands come back in order, as kOperand, whatever
// POSIXLY_CORRECT says; ":" next: a missing value comes back as ':'.
std::string ShortOptionsOf(std::span<const GnuOption> options) {
  std::string text = "-:";
  for (const GnuOption& option : options) {
    if (option.letter == 0) continue;
    text += option.letter;
    if (option.takes_value) text += ':';
  }
  return text;
}

std::vector<option> LongOptionsOf(std::span<const GnuOption> options) {
  std::vector<option> table;
  for (std::size_t i = 0; i < options.size(); ++i) {
    const int has_arg = options[i].takes_value ? required_argument : no_argument;
    table.push_back({options[i].name, has_arg, nullptr, CodeOf(options[i], i)});
  }
  table.push_back({nullptr, 0, nullptr, 0});
  return table;
}

// The options a long name typed as "--name" or "--name=VALUE" stands for:
// the one of exactly that name, else every one it begins.
std::vector<const GnuOption*> MatchLongName(std::span<const GnuOption> options,
                                            std::string_view name) {
  std::vector<const GnuOption*> matches;
  if (name.empty()) return matches;
  for (const GnuOption& option : options) {
    const std::string_view full = option.name;
    if (full == name) return {&option};
    if (full.starts_with(name)) matches.push_back(&option);
  }
  return matches;
}

// getopt_long refused a long option; with its own messages off it does not
// say why, so the argument is looked at again.
[[noreturn]] void RefuseLongOption(std::span<const GnuOption> options, std::string_view argument) {
  std::string_view name = argument.substr(2);
  name = name.substr(0, name.find('='));
  const std::vector<const GnuOption*> matches = MatchLongName(options, name);
  const std::string typed = "--" + std::string(name);
  if (matches.empty()) {
    throw UsageError(Translate("unrecognized option '{option}'", {{"option", typed}}));
  }
  if (matches.size() > 1) {
    std::string list;
    for (const GnuOption* match : matches) list += " '--" + std::string(match->name) + "'";
    throw UsageError(Translate("option '{option}' is ambiguous; possibilities:{list}",
                               {{"option", typed}, {"list", list}}));
  }
  const std::string full = "--" + std::string(matches.front()->name);
  if (matches.front()->takes_value) {
    throw UsageError(Translate("option '{option}' requires an argument", {{"option", full}}));
  }
  throw UsageError(Translate("option '{option}' doesn't allow an argument", {{"option", full}}));
}

[[noreturn]] void RefuseShortOption(int answer, int letter) {
  const std::string typed(1, static_cast<char>(letter));
  if (answer == ':') {
    throw UsageError(Translate("option requires an argument -- '{option}'", {{"option", typed}}));
  }
  throw UsageError(Translate("invalid option -- '{option}'", {{"option", typed}}));
}

}  // namespace

void ReadGnuOptions(std::span<const GnuOption> options, int argc, const char* const* argv,
                    const std::function<bool(std::size_t, const std::string&)>& option,
                    const std::function<void(const std::string&)>& operand) {
  const std::string short_options = ShortOptionsOf(options);
  const std::vector<struct option> long_options = LongOptionsOf(options);
  // getopt only reads the arguments: with "-" first it never reorders them.
  char* const* arguments = const_cast<char* const*>(argv);
  ::opterr = 0;
  ::optind = 0;  // a fresh reading, in glibc and in MinGW-w64's getopt alike
  for (;;) {
    // The argument getopt_long is about to read (a bundle of short
    // options stays at optind until its last letter).
    const int at = ::optind == 0 ? 1 : ::optind;
    const int answer =
        ::getopt_long(argc, arguments, short_options.c_str(), long_options.data(), nullptr);
    if (answer == -1) break;
    if (answer == kOperand) {
      operand(::optarg);
      continue;
    }
    if (answer == '?' || answer == ':') {
      const std::string_view argument = at < argc ? argv[at] : "";
      if (argument.starts_with("--")) RefuseLongOption(options, argument);
      RefuseShortOption(answer, ::optopt);
    }
    std::size_t index = 0;
    while (index < options.size() && CodeOf(options[index], index) != answer) ++index;
    PELMORO_ASSERT(index < options.size());  // getopt_long answers with the codes it was given
    const bool has_value = options[index].takes_value && ::optarg != nullptr;
    if (!option(index, has_value ? ::optarg : "")) return;
  }
  for (int i = ::optind; i < argc; ++i) operand(argv[i]);  // after "--"
}

}  // namespace pelmoro::cli
