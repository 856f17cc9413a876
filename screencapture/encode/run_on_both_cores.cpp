#include "encode/run_on_both_cores.h"

#include <exception>
#include <thread>

void runOnBothCores(Frame& frame, const std::function<void()>& work)
{
    std::exception_ptr helperFailure;
    {
        std::jthread helper([&] {
            try {
                work();
            } catch (...) {
                helperFailure = std::current_exception();
                frame.fail(helperFailure);
            }
        });
        try {
            work();
        } catch (...) {
            frame.fail(std::current_exception());
            throw;
        }
    }
    if (helperFailure)
        std::rethrow_exception(helperFailure);
}
