#include "failure.h"

#include <cstring>

std::string errnoText(int error)
{
    return std::strerror(error);
}
