// How wide the terminal standard output goes to is: for output laid out to fit it.
#pragma once

// The terminal's width in columns when standard output is a terminal that says; 0 otherwise
// (a file, a pipe, a terminal of unknown size). One implementation per platform.
int StandardOutputColumns();
