#pragma once
// Module handles and file names, as the component expects them from the
// system: handle 0 stands for the process's main executable.
#include <cstdint>
#include <string>

namespace platform {

// A loaded module: the dlopen handle as an integer, 0 for the main
// executable. Pointer-sized, because dlopen handles are pointers here.
using ModuleHandle = std::uintptr_t;

// Native path of the running executable (/proc/self/exe), or "" if unknown.
std::string executablePath();

// Windows-form file name of a module: the executable for handle 0, otherwise
// the file the dlopen handle was loaded from. "" when it cannot be told.
std::string moduleFileName(ModuleHandle module);

// The folder part of a Windows-form file name: everything before the last
// backslash ("" when there is none).
std::string windowsFolderOf(const std::string& windowsFileName);

}  // namespace platform
