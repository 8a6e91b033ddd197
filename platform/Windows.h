// The one door to the operating system.
//
// On Windows this is the real <windows.h>. Everywhere else it is our own
// Win32 subset, implemented in platform/posix, so the library and the tool are
// written once against the Win32 API.
#pragma once

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include "platform/posix/WinCodePage.h"
#include "platform/posix/WinDirectories.h"
#include "platform/posix/WinErrors.h"
#include "platform/posix/WinFileInfo.h"
#include "platform/posix/WinFiles.h"
#include "platform/posix/WinLegacyFiles.h"
#include "platform/posix/WinMemory.h"
#include "platform/posix/WinProcess.h"
#include "platform/posix/WinSystem.h"
#include "platform/posix/WinSystemDirectories.h"
#include "platform/posix/WinTypes.h"
#include "platform/posix/WinVersion.h"
#include "platform/posix/WinWriteFiles.h"
#endif
