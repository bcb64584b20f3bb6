// Font resources. The program never adds any; removing one that was not added fails harmlessly.
#include <windows.h>

BOOL RemoveFontResourceA(LPCSTR) { return FALSE; }
