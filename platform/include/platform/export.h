// Visibility of the platform layer's entry points.
#pragma once

#define CALENDO_PLATFORM_API __attribute__((visibility("default")))
