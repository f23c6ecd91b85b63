#include <windows.h>

#include "program_shell.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return runProgram(); }
