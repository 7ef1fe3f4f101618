#include "host/NumberOption.h"

#include <CLI/CLI.hpp>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <type_traits>

namespace kestrune {
namespace {

bool isDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// Skips digits from `at`; answers how many there were.
std::size_t skipDigits(std::string_view text, std::size_t& at) {
  const std::size_t start = at;
  while (at < text.size() && isDigit(text[at])) ++at;
  return at - start;
}

std::size_t skipSign(std::string_view text, std::size_t at) {
  return at < text.size() && (text[at] == '+' || text[at] == '-') ? at + 1 : at;
}

std::string rangeText(double min, double max) {
  char text[64];
  std::snprintf(text, sizeof text, "from %g to %g", min, max);
  return text;
}

// Parses at parse time: the refusal is a CLI validation error, reported like every other one.
template <class T, class Parse>
CLI::Option* addOption(CLI::App& command, const std::string& name, T& target, T min, T max, const std::string& help,
                       const char* kind, Parse parse) {
  const std::string refusal = std::string(" is not ") + kind + " " + rangeText(double(min), double(max));
  return command
      .add_option_function<std::string>(
          name,
          [&target, min, max, name, refusal, parse](const std::string& text) {
            const auto value = parse(text);
            if (!value || !(*value >= min && *value <= max))
              throw CLI::ValidationError(name, "'" + text + "'" + refusal);
            target = static_cast<T>(*value);
          },
          help)
      ->type_name(std::is_integral_v<T> ? "INT" : "NUMBER");
}

}  // namespace

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::optional<double> parseDecimal(std::string_view text) {
  text = trimmed(text);
  std::size_t at = skipSign(text, 0);
  std::size_t digits = skipDigits(text, at);
  if (at < text.size() && text[at] == '.') {
    ++at;
    digits += skipDigits(text, at);
  }
  if (digits == 0) return std::nullopt;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    at = skipSign(text, at + 1);
    if (skipDigits(text, at) == 0) return std::nullopt;
  }
  if (at != text.size()) return std::nullopt;
  // The text is a plain decimal now; strtod rounds it, to a subnormal or zero where it is tiny.
  const std::string plain(text);
  char* end = nullptr;
  const double value = std::strtod(plain.c_str(), &end);
  if (end != plain.c_str() + plain.size()) return std::nullopt;
  return value + 0.0;  // -0 is 0
}

std::optional<long long> parseWhole(std::string_view text) {
  text = trimmed(text);
  std::size_t at = skipSign(text, 0);
  if (skipDigits(text, at) == 0 || at != text.size()) return std::nullopt;
  const std::string plain(text);
  errno = 0;
  char* end = nullptr;
  const long long value = std::strtoll(plain.c_str(), &end, 10);
  if (errno == ERANGE || end != plain.c_str() + plain.size()) return std::nullopt;
  return value;
}

CLI::Option* addNumberOption(CLI::App& command, const std::string& name, double& target, double min, double max,
                             const std::string& help) {
  return addOption(command, name, target, min, max, help, "a number", parseDecimal);
}

CLI::Option* addNumberOption(CLI::App& command, const std::string& name, int& target, int min, int max,
                             const std::string& help) {
  return addOption(command, name, target, min, max, help, "a whole number", parseWhole);
}

}  // namespace kestrune
