#include <windows.h>

#include "app/TavrinApp.h"

CTavrinApp theApp;

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int showCommand)
{
    return theApp.Run(instance, commandLine, showCommand);
}
