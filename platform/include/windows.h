// The stand-in's Windows API: only what the library uses.
#pragma once

#include "winnt.h"
#include "winerror.h"
#include "guiddef.h"
#include "winbase.h"
#include "winreg.h"
#include "winuser.h"
#include "ole2.h"
