#pragma once

#include <functional>

// A concurrent loop over a small pool of worker threads kept for the purpose.
namespace ParallelLoop {

// Runs `body(i)` for every i in [0, iterations), spread over the workers and the calling thread,
// and returns when every iteration has finished. Iterations must not depend on each other.
void run(int iterations, const std::function<void(int)>& body);

} // namespace ParallelLoop
