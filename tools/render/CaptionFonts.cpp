#include "tools/render/CaptionFonts.h"
