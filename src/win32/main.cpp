#include <windows.h>

#include "win32/application.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  return netupdate::win32::runApplication();
}
