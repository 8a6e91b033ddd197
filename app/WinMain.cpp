// The Windows entry: one cleanup run, no window, no arguments; exit code 0.
#include "app/Cleanup.h"
#include "platform/Windows.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return RunCleanup();
}
