#pragma once
// Recognition runs one OpenMP thread: on a small machine Tesseract's threads make a page several times
// slower. OpenMP reads its limit only when the process starts, so a process started without it runs
// itself again with OMP_THREAD_LIMIT=1 before doing any work.

namespace outside {

// Returns only when the limit is in force for this process (or re-running failed; then it warns).
void RunWithOneOpenMpThread(char** argv);

}  // namespace outside
