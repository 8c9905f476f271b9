// Runs job(0) .. job(jobs - 1), job 0 on the calling thread and the others on threads
// of their own, and waits for all of them. The first exception any job throws (by job
// number) is rethrown once all have ended; a thread that cannot be started is such an
// exception too, after the jobs already started have ended.
#pragma once

#include <exception>
#include <thread>
#include <vector>

namespace tesvarin {

template <typename Job>
void run_jobs(unsigned jobs, Job job) {
    std::vector<std::exception_ptr> failures(jobs);
    std::vector<std::thread> threads;
    const auto guarded = [&](unsigned j) {
        try {
            job(j);
        } catch (...) {
            failures[j] = std::current_exception();
        }
    };
    std::exception_ptr start_failure;
    try {
        for (unsigned j = 1; j < jobs; ++j) threads.emplace_back(guarded, j);
    } catch (...) {
        start_failure = std::current_exception();
    }
    if (!start_failure) guarded(0);
    for (std::thread& t : threads) t.join();
    if (start_failure) std::rethrow_exception(start_failure);
    for (const auto& failure : failures) {
        if (failure) std::rethrow_exception(failure);
    }
}

}  // namespace tesvarin
