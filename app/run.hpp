// The run of the experiment from start to the key press.
#pragma once

// How the run ends: with the prompt and the wait for a key, or without either (--no-wait).
enum class Prompt { kWaitForKey, kNone };

// Seeds the recurrence, lists the Quad series trace, writes and lists the result files,
// prompts and waits for a key (unless told not to) and ends the process with status 0. Never
// returns.
[[noreturn]] void RunSequence(Prompt prompt);
