#include "startup.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return kulverant::runProgram("kulverant", kulverant::argumentText(0, nullptr));
}
