#pragma once
// The tool bar's images: icons of the desktop's theme by name (platform/ThemeIcons.h).
#include "platform/ThemeIcons.h"
