// The one error kind of the command-line host: a failure the user should read as one line.
#pragma once

#include <stdexcept>
#include <string>

namespace kestrune {

// what() is the whole message without the program prefix, e.g. "cannot read 'x.wav': No such file".
class HostError : public std::runtime_error {
 public:
  explicit HostError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace kestrune
