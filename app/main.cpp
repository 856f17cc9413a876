#include "AppDelegate.h"
#include "application/ApplicationMain.h"

int main(int argc, char** argv)
{
    return platform::applicationMain<AppDelegate>(argc, argv);
}
