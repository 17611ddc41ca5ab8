#pragma once
// Identifiers of what the executable carries, shared by the resource script and the code.

#define IDI_LAUNCHER 1          /* icon group: the 16 x 16 and 32 x 32 images below */
#define IDI_LAUNCHER_SMALL 30001
#define IDI_LAUNCHER_LARGE 30002
#define VS_LAUNCHER_VERSION 1
