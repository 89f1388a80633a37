// The sample game, version 1.0, and the payloads of its patch to 1.1: what
// make_sample_game writes, and what the reliability sweeps start from.
#pragma once

#include <cstddef>
#include <string>

namespace sample_game {

// A fresh game folder DIR (made if missing; its parent must exist), with
// exeBytes as its game.exe (the 1.0 executable with its version resource).
bool MakeGame(const std::string& dir, const std::string& exeBytes);
// The patch's payloads below DIR, laid out as DIR/TYPE/NAME, with exeBytes
// as the new game.exe (the 1.1 executable).
bool MakePayloads(const std::string& dir, const std::string& exeBytes);

// The kinds of content the sample is made of, for other fixtures.
// Text that compresses well, as game scripts do (CP932).
std::string ScenarioText(const char* version, int lines);
// Bytes that stand for music: "OggS", then noise from seed.
std::string Music(unsigned seed, size_t size);

}  // namespace sample_game
