// Runs one function on several threads at once and waits for all of them. MinGW's win32 thread
// model has no std::thread, so Windows uses its own threads behind the same call.
#pragma once

#include <cstdint>
#include <functional>

namespace kindprobe::cli {

// Calls `work(i)` for i in [0, threads): i = 0 on the calling thread, the others on new
// threads. Returns when every call has returned. A thread that cannot be started has its share
// run on the calling thread, so the work is always done.
void RunOnThreads(uint32_t threads, const std::function<void(uint32_t)>& work);

// Lets other threads run while this one waits for work: the first calls only yield the
// processor, later ones sleep a little, so a long wait costs almost nothing. `attempt` counts
// the calls since the last time work was found.
void PauseBriefly(unsigned attempt);

}  // namespace kindprobe::cli
