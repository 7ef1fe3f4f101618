#include "ui/Application.h"

#include <stdexcept>

#include "platform/Platform.h"

namespace {
// Failures the platform learns of outside any call (an error arriving on a display connection)
// go where errors of user-interface callbacks go.
const bool kPlatformErrorsHandled = [] {
  plat::SetErrorSink([](const std::string& text) {
    try {
      throw std::runtime_error(text);
    } catch (...) {
      Application().HandleException(nullptr);
    }
  });
  return true;
}();
}  // namespace

TApplication& Application() {
  static TApplication app;
  return app;
}

void TApplication::HandleException(TPersistent* sender) noexcept {
  std::exception_ptr e = std::current_exception();
  ++errors_;
  try {
    if (e) std::rethrow_exception(e);
  } catch (const std::exception& ex) {
    try {
      lastError_ = ex.what();
    } catch (...) {
    }
  } catch (...) {
    lastError_ = "unknown error";
  }
  if (!OnException) return;
  try {
    OnException(sender, e);
  } catch (...) {
    // A failing error handler has nowhere left to report to.
  }
}
