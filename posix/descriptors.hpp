// Descriptors kept off 0, 1 and 2, which belong to the standard streams even when closed.
#pragma once

// A descriptor that landed on a standard stream (the process was started with that stream
// closed) is moved above them, close-on-exec, and the original closed; any other `fd`, -1
// included, comes back as it is. On failure -1 with errno set: EMFILE when the limit on open
// files leaves no descriptor above the standard streams.
int AboveStandardStreams(int fd);
