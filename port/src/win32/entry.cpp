// The process entry point: hands over to the program's WinMain with the module handle.
#include <windows.h>

int main(int, char**) {
    return WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<LPSTR>(""), SW_SHOWNORMAL);
}
