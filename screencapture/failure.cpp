#include "failure.h"

#include <cstring>
#include <new>
#include <system_error>

std::string errnoText(int error)
{
    return std::strerror(error);
}

std::string messageOf(std::exception_ptr thrown)
{
    try {
        std::rethrow_exception(thrown);
    } catch (const Failure& failure) {
        return failure.what();
    } catch (const std::bad_alloc&) {
        return "out of memory";
    } catch (const std::system_error& error) {
        // A thread that cannot start, above all.
        return "the system refused what the capture needs: " + error.code().message();
    } catch (const std::exception& error) {
        return std::string("the capture broke off: ") + error.what();
    } catch (...) {
        return "the capture broke off";
    }
}
