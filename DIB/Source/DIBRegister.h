// The one registration of every class of the skinned control library that window descriptions may
// name. Call it before reading a description (calling again is harmless). It is an ordinary call,
// not a static initializer, because a linker drops unreferenced files of a static library.
#pragma once

void RegisterDIBClasses();
