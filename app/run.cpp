// The run sequence: every phase once, in a fixed order, on one thread.
#include "app/run.hpp"

#include "numeric/recurrence.hpp"
#include "numeric/series.hpp"
#include "output/console_key.hpp"
#include "output/edit.hpp"
#include "output/result_files.hpp"
#include "output/traceback.hpp"
#include "output/units.hpp"

namespace {

using namespace edit;

constexpr EditDescriptor kTitle[] = {Slash, A};
constexpr EditDescriptor kTraceHeading[] = {A, T(19), A};

bool KeyPressed = false;

// Ends as soon as a key is waiting, and at once when one was typed earlier in the run. The
// key is left for whoever reads the terminal next.
void WaitForKey() {
  KeyPressed = KeyWaiting();
  if (KeyPressed) return;
  BeginKeyWait();
  while (!KeyPressed) {
    AwaitConsoleInput();
    KeyPressed = KeyWaiting();
  }
  EndKeyWait();
}

}  // namespace

void RunSequence() {
  ActiveRoutine routine("RunSequence");
  SeriesLog.TraceOn = 0;
  SeedTables();
  Write(kConsole, kTitle, {" Calcul prin Serie:"});
  Write(kConsole, kTraceHeading, {" m   Nr_Termeni", "Primul termen neglijat"});
  SeriesLog.TraceOn = 1;
  for (int32_t m = 0; m <= kMaxOrder; ++m) (void)SeriesJ<Quad>(m);
  ExtendTables();
  WriteResultFiles();
  ListResultFiles();
  Write(kConsole, kTitle, {"Apasa orice tasta"});
  WaitForKey();
  Finish();
}
