// The check for a key press waiting on the console's own input device (never standard input),
// and the wait for one. One implementation per platform (key_posix.cpp, key_windows.cpp),
// chosen by the build.
#pragma once

// True when a key press is waiting to be read on the controlling terminal. Never blocks and
// never reads: a key stays waiting, and the check stays true, until some reader takes it.
// False where the process has no controlling terminal or is not in its foreground.
bool KeyWaiting();

// The wait for a key. BeginKeyWait arranges for the terminal to be restored however the
// process ends (normal end, or any signal that ends it: interrupt, termination, hang-up, quit,
// a fault, an alarm, a user signal, ...) and for a stop at the terminal
// to hand it back as it was; EndKeyWait restores it and ends those arrangements. Call the first
// check after BeginKeyWait: the check itself changes the terminal for a moment.
// AwaitConsoleInput blocks, without using the processor, until the terminal may have input or
// the process's standing at it changed; the terminal is in the mode the check needs only while
// it blocks in the foreground. It returns false, at once, when no key can ever come: the process
// has no terminal, or the terminal hung up.
//
//   BeginKeyWait();
//   bool pressed = KeyWaiting();
//   while (!pressed && AwaitConsoleInput()) pressed = KeyWaiting();
//   EndKeyWait();
void BeginKeyWait();
bool AwaitConsoleInput();
void EndKeyWait();
