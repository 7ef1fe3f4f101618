// The framework's own creatable classes, registered with the class registry from the start.
#pragma once

#include <vector>

struct TClassInfo;

std::vector<const TClassInfo*> FrameworkClasses();
