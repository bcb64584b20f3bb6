// The process entry point: starts in the program's folder when data/ is not in the working
// folder (as a program launched from its folder does), then hands over to the program's WinMain
// with the module handle. A run that ends because no window could open (no display) ends with
// status 1.
#include <windows.h>

#include "win32/program_folder.h"
#include "win32/window_table.h"

int main(int, char**) {
    port::win32::enterProgramFolder();
    const int result =
        WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<LPSTR>(""), SW_SHOWNORMAL);
    return result == 0 && port::win32::videoFailed() ? 1 : result;
}
