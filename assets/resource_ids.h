// Identifiers of the resources embedded in oruvel.exe, shared by oruvel.rc and the code.
#pragma once

#define IDI_ORUVEL 1         // the program's icon, also drawn in the tray (its only image)
#define IDR_BAR_PICTURE 101  // bar.bmp as raw file bytes
