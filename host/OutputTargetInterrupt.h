// The temporary output in progress, kept where a signal handler can remove it when the process is
// interrupted. Shared by the output targets of every system; each system removes files its own way.
#pragma once

#include <initializer_list>
#include <string>

namespace kestrune::interrupt {

void Remember(const std::string& tempPath);  // a path too long to keep is left to the normal clean-up
void Forget();
// Installs the handler for these signals: it removes the remembered file, then lets the signal end
// the process as it would have.
void Install(std::initializer_list<int> signals);

// Removes a file from inside a signal handler (async-signal-safe); defined once per system.
void RemoveFile(const char* path);

}  // namespace kestrune::interrupt
