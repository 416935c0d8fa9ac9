// Put first on the include path of the portable core only: core code must build and behave the
// same on every platform, so the Windows API belongs to the player, never to the core.
#error "portable core code must not include <windows.h>: move the code to player/"
