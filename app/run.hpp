// The run of the experiment from start to the key press.
#pragma once

// Seeds the recurrence, lists the Quad series trace, writes and lists the result files,
// prompts, waits for a key and ends the process with status 0. Never returns.
[[noreturn]] void RunSequence();
