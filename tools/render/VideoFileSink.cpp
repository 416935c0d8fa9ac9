#include "tools/render/VideoFileSink.h"
