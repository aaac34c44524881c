// Icons: filled in from the .ico files of this folder at build time.
#include "platform/resources.h"

extern const IconRes g_qbxIcons[] = {{0, nullptr, 0}};
extern const int g_qbxIconCount = 0;
