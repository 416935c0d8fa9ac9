// The player program: no arguments, no settings; everything it needs rides behind its own code.
#include <windows.h>

#include "player/shell/PlayerShell.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  static lumafolio::PlayerShell shell(instance);
  return shell.Run(showCommand);
}
