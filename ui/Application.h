// The application object: the one place errors raised inside user-interface callbacks (timer
// handlers, window procedures) go to. It never lets them reach the host.
#pragma once

#include <cstddef>
#include <exception>
#include <string>

#include "ui/Events.h"

class TApplication {
 public:
  // Call inside a catch block: hands the current exception to OnException, or keeps its text.
  void HandleException(TPersistent* sender) noexcept;

  // Handler for errors; without one the error is recorded and otherwise ignored.
  TEvent<TPersistent*, std::exception_ptr> OnException;

  std::size_t ErrorCount() const { return errors_; }
  const std::string& LastError() const { return lastError_; }
  void ResetErrors() {
    errors_ = 0;
    lastError_.clear();
  }

 private:
  std::size_t errors_ = 0;
  std::string lastError_;
};

TApplication& Application();
