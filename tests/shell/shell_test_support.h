// The frame tests drive windows the same way the window tests do; the helpers are shared.
#pragma once

#include "windows/window_test_support.h"
