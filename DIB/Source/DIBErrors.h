#pragma once
// Error kinds of the skinned control library. Each carries the library's own message text word for
// word; nothing here is ever thrown towards the host (the host boundary catches std::exception).
#include <stdexcept>
#include <string>
#include <utility>

// Image errors, and the base of the library's own kinds.
class EDIBError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Stored image format: no registered codec for a container.
class EDIBCompressError : public EDIBError {
 public:
  using EDIBError::EDIBError;
};

// Control base, control templates.
class EDIBControlError : public EDIBError {
 public:
  using EDIBError::EDIBError;
};

class EDIBButtonError : public EDIBError {
 public:
  using EDIBError::EDIBError;
};

class EDIBGlyphButtonError : public EDIBError {
 public:
  using EDIBError::EDIBError;
};

// Control features and their collections.
class EFeatureError : public EDIBError {
 public:
  using EDIBError::EDIBError;
};

// The LZH codec stands on its own, so its failures are not image errors.
class ElzhException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An internal consistency check failed. what() is always "Assertion failure"; Source() names the
// unit that noticed it (e.g. "DIB/Source/cDIBCompressor") and Line() the line of the check there
// (0 where the unit reports none).
class EAssertionFailed : public std::logic_error {
 public:
  explicit EAssertionFailed(std::string source, int line = 0)
      : std::logic_error("Assertion failure"), FSource(std::move(source)), FLine(line) {}
  const std::string& Source() const noexcept { return FSource; }
  int Line() const noexcept { return FLine; }

 private:
  std::string FSource;
  int FLine;
};
