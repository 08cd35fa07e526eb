#pragma once

namespace platform {

// A logout or a package upgrade ends the program with SIGTERM: from here on it leaves the event loop
// with exit code 0, as it does when its clock is closed; a second SIGTERM ends it at once, also with
// code 0, should the loop not answer the first. Call once, after the application exists.
void exitOnTerminationSignal();

} // namespace platform
