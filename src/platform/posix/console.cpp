#include <unistd.h>

#include "platform/console.h"

namespace platform {

bool StderrIsTerminal() { return isatty(STDERR_FILENO) == 1; }

}  // namespace platform
