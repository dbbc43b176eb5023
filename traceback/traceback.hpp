// The routines active at any moment, for the traceback that follows a diagnostic.
#pragma once

#include <string>

// Marks a routine as active for the lifetime of the object: ActiveRoutine routine("SeriesJ");
// Names must be string literals (they are kept, not copied). Nesting deeper than the fixed
// stack still works; the deepest names are then left out of the traceback.
class ActiveRoutine {
 public:
  explicit ActiveRoutine(const char* name);
  ~ActiveRoutine();
  ActiveRoutine(const ActiveRoutine&) = delete;
  ActiveRoutine& operator=(const ActiveRoutine&) = delete;
};

// The traceback text: one line per active routine, innermost first.
//   traceback (innermost first):
//     EmitRecord
//     EndStatement
//     WriteResultFiles
//     RunSequence
std::string Traceback();
