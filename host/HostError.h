// The one error kind of the command-line host: a failure the user should read as one line.
#pragma once

#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kestrune {

// what() is the whole message without the program prefix, e.g. "cannot read 'x.wav': No such file".
class HostError : public std::runtime_error {
 public:
  explicit HostError(const std::string& message) : std::runtime_error(message) {}
};

// A message as it is printed: control characters in it (a newline in a file or program name, a
// terminal escape in a plug-in's text) shown as \n, \r, \t or \xNN, so that one failure stays one
// line and nothing it echoes acts on the terminal.
inline std::string oneLine(std::string_view message) {
  std::string line;
  line.reserve(message.size());
  for (const char c : message) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7f) {
      line += c;
    } else if (c == '\n' || c == '\r' || c == '\t') {
      line += c == '\n' ? "\\n" : c == '\r' ? "\\r" : "\\t";
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned>(byte));
      line += escaped;
    }
  }
  return line;
}

}  // namespace kestrune
