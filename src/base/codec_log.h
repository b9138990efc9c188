#pragma once
// The codec library's own messages (warnings and worse) go to the log file,
// not to the terminal: an encoder can warn on every picture ("clipping dct
// coefficients"), which is noise on standard error and a hint in the file.
// Our own code still reports every failure it sees through its results.
namespace base {

// Installs the one message handler for the process. Every user of the codec
// library calls it before its first use; only the first call does anything.
void RouteCodecMessagesToLog();

}  // namespace base
