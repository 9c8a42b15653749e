// Entry point of quendle.exe.
#include "window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show)
{
    return quendle::run(instance, show);
}
