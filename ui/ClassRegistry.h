// The classes a description reader may create, by name. The framework's own classes are registered
// from the start; libraries register theirs once before reading (registering again is harmless).
#pragma once

#include <initializer_list>
#include <string_view>

struct TClassInfo;

void RegisterClass(const TClassInfo& cls);
void RegisterClasses(std::initializer_list<const TClassInfo*> classes);
// Null when no class of that name (case-insensitive) is registered.
const TClassInfo* FindClass(std::string_view name);
