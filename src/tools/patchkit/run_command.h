// patchkit run: applies a patch executable to a game folder from a terminal.
#pragma once

#include <string>
#include <vector>

// Exit codes of `patchkit run`.
constexpr int kRunFinished = 0;
constexpr int kRunInterrupted = 1;
constexpr int kRunNotStarted = 2;
constexpr int kRunNothingToDo = 3;

int RunCommand(const std::vector<std::string>& args);
extern const char kRunUsage[];
