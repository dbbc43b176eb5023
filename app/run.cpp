// The run sequence: every phase once, in a fixed order, on one thread.
#include "app/run.hpp"

#include "numeric/recurrence.hpp"
#include "numeric/series.hpp"
#include "output/edit.hpp"
#include "results/result_files.hpp"
#include "runtime/file_io.hpp"
#include "runtime/units.hpp"
#include "terminal/console_key.hpp"
#include "traceback/traceback.hpp"

namespace {

using namespace edit;

constexpr EditDescriptor kTitle[] = {Slash, A};
constexpr EditDescriptor kTraceHeading[] = {A, T(19), A};
// m in columns 1-2, k in 4-6, the neglected term in 17-34: "10   5            -6.223277777D-18"
constexpr EditDescriptor kTraceRecord[] = {I(2), T(4), I(3), T(17), P(1), D(18, 9)};

bool KeyPressed = false;

// The trace record of a converging series, written at the moment it converges.
void WriteTraceRecord(int32_t m, int32_t terms, Quad first_neglected) {
  ActiveRoutine routine("SeriesJ");  // written on behalf of the evaluation that converged
  Write(kConsole, kTraceRecord, {m, terms, first_neglected});
}

// Ends as soon as a key is waiting, and at once when one was typed earlier in the run, or when no
// key can ever come (no terminal, or it hung up). The key is left for whoever reads the terminal
// next. The terminal is guarded before the first check, which changes it for a moment.
void WaitForKey() {
  BeginKeyWait();
  KeyPressed = KeyWaiting();
  while (!KeyPressed && AwaitConsoleInput()) KeyPressed = KeyWaiting();
  EndKeyWait();
}

}  // namespace

void RunSequence(Prompt prompt) {
  ActiveRoutine routine("RunSequence");
  LetOversizedWritesFail();
  SeriesTrace = WriteTraceRecord;
  SeriesLog.TraceOn = 0;
  SeedTables();
  Write(kConsole, kTitle, {" Calcul prin Serie:"});
  Write(kConsole, kTraceHeading, {" m   Nr_Termeni", "Primul termen neglijat"});
  SeriesLog.TraceOn = 1;
  for (int32_t m = 0; m <= kMaxOrder; ++m) (void)SeriesJ<Quad>(m);
  ExtendTables();
  WriteResultFiles();
  ListResultFiles();
  if (prompt == Prompt::kWaitForKey) {
    Write(kConsole, kTitle, {"Apasa orice tasta"});
    WaitForKey();
  }
  Finish();
}
