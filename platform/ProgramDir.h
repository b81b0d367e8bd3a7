#pragma once
// Where the running executable lives.

#include <filesystem>

// The full path of the running executable (/proc/self/exe).
std::filesystem::path ExecutablePath();
