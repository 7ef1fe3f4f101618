// Error kinds of the component framework. They are thrown inside the user-interface code only; the
// plug-in boundary catches everything before it could reach a host.
#pragma once

#include <stdexcept>
#include <string>

// A misuse of components: a bad or duplicate name, a class that cannot be created.
class EComponentError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Assign between unrelated classes, a value of the wrong kind.
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A window description that cannot be read. The message names the component path, the property (if
// any) and the line: "Form1.p0.Foo: unknown property of TDIBSlider (line 12)". When a setter failed,
// the setter's own error is nested (std::rethrow_if_nested yields it).
class EDescriptionError : public std::runtime_error {
 public:
  EDescriptionError(std::string where, std::string what, int line)
      : std::runtime_error(Format(where, what, line)), where_(std::move(where)), what_(std::move(what)), line_(line) {}
  const std::string& Where() const { return where_; }  // "Form1.p0.Foo"
  const std::string& Reason() const { return what_; }
  int Line() const { return line_; }

 private:
  static std::string Format(const std::string& where, const std::string& what, int line) {
    std::string s = where.empty() ? what : where + ": " + what;
    if (line > 0) s += " (line " + std::to_string(line) + ")";
    return s;
  }
  std::string where_, what_;
  int line_;
};
