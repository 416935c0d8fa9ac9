#include <gtest/gtest.h>

#include "StagePictures.h"
