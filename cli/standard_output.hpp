// Standard output as GNU tools treat it: every write is checked, and a failure (a full disk,
// a closed or broken output) is said once, as "PROGRAM: write error: REASON", with status 1.
#pragma once

#include <string_view>

// Writes all of `text` to standard output at once; false when any of it could not be written.
bool Print(std::string_view text);

// The status to end with: `status`, unless a Print failed, in which case that failure is said on
// standard error and the status is kExitFailure.
int Finished(std::string_view program, int status);
