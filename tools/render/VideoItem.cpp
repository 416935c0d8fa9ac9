#include "tools/render/VideoItem.h"
