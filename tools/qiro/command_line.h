// Reading the command line of `qiro`: numbers in decimal or 0x hex, options with values, one
// optional positional argument.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace qiro::tool {

// A 32-bit unsigned number written in decimal or with a 0x prefix in hex; nothing else, no
// sign, no blanks.
std::optional<uint32_t> parseNumber(const char* text);

// The words after the command name, taken apart as options are asked for. Every `take...` call
// that finds its option removes it; `finished` then tells whether anything unknown is left.
// Take the options before the positional words, so that no option value passes for one.
class Arguments {
  public:
    Arguments(int argc, char** argv);

    // The value that follows `name`; null when the option is absent. `valid` becomes false when
    // the option has no value.
    const char* takeText(const char* name);
    // The value of `name` as a number; `fallback` when absent; `valid` becomes false when the
    // value is no number or lies below `minimum`.
    uint32_t takeNumber(const char* name, uint32_t fallback, uint32_t minimum = 0);
    // Whether the flag `name` was given.
    bool takeFlag(const char* name);
    // The first word that is not an option (a lone "-" counts as a word), or null.
    const char* takePositional();
    // True when every word was taken and every value was valid.
    bool finished() const { return valid && words.empty(); }

  private:
    std::vector<std::string> words;
    // A deque keeps the texts handed out in place while more are taken.
    std::deque<std::string> taken;
    bool valid = true;
};

}  // namespace qiro::tool
