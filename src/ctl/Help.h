// What morvanectl says of itself: the usage over every command, and the
// help of one, both made from the commands' records.
#pragma once

#include "ctl/CommandLine.h"

#include <span>
#include <string>

std::string UsageText(std::span<const Command* const> commands);
std::string CommandHelp(const Command& command);
