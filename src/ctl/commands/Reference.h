// The Markdown reference of all fifty tweaks: what each box reads and what
// checking and unchecking it change.
#pragma once

#include <string>

std::string ReferenceText();
