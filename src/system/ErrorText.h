// The system's words for an error code, as the programs report a failure.
#pragma once

#include <windows.h>

#include <string>

// The system's text for an error code, with the number: "Access is denied. (5)".
std::string ErrorText(DWORD code);
