// What the terminal tools need to know of their terminal.
#pragma once

namespace platform {

// Whether standard error is a terminal (a progress bar is drawn only there).
bool StderrIsTerminal();

}  // namespace platform
