// A stand-in for a CAPI library: a DLL with one export and a version resource
// (linked in from a generated .rc). FIXTURE_MARKER, when defined, puts that text
// into the DLL's data as plain 8-bit bytes.
#include <windows.h>

#ifdef FIXTURE_MARKER
__attribute__((used)) const char fixture_marker[] = FIXTURE_MARKER;
#endif

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance;
    (void)reason;
    (void)reserved;
    return TRUE;
}

__declspec(dllexport) int CapiFixtureVersion(void) {
    return 2;
}
