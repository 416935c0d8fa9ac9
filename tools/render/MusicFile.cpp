#include "tools/render/MusicFile.h"
