#include "shell/browser/BrowserWindow.h"

bool ChildMaximized = true;
