// Numbers on the command line, read one way for every option: decimal text only (no hex, no
// inf or nan, nothing after the number; blanks around it are allowed), a value inside its range
// or a one-line refusal naming the option, the text and the range.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace kestrune {

// `text` without the blanks (spaces, tabs) around it, as options read numbers and names.
std::string_view trimmed(std::string_view text);

// A finite decimal: [sign] digits [. digits] [e|E [sign] digits], at least one digit before the
// exponent, rounded to the nearest double before any range is applied: a value too small for a
// double gives a subnormal or zero (never -0), one too large an infinity, which no range takes.
std::optional<double> parseDecimal(std::string_view text);

// A whole number: [sign] digits. Beyond the range of long long gives nothing.
std::optional<long long> parseWhole(std::string_view text);

// `--name VALUE` kept in `target` (unchanged when the option is absent); anything else than a
// number from `min` to `max` is refused at parse time as "NAME: 'TEXT' is not a number from MIN to
// MAX" (a whole number for the int form).
CLI::Option* addNumberOption(CLI::App& command, const std::string& name, double& target, double min, double max,
                             const std::string& help);
CLI::Option* addNumberOption(CLI::App& command, const std::string& name, int& target, int min, int max,
                             const std::string& help);

}  // namespace kestrune
