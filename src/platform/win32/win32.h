// The Win32 subset in one include: types, windows and messages, controls, system services.
#pragma once

#include "platform/win32/win32_controls.h"
#include "platform/win32/win32_system.h"
#include "platform/win32/win32_types.h"
#include "platform/win32/win32_window.h"
