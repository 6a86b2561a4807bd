#include "codec/adpcm.h"
#include <gtest/gtest.h>
