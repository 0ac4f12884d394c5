// The whole framework: object base, interface maps, wrappers, creators, class factory,
// module and smart types.
#pragma once

#include "AtlDllModule.h"
#include "AtlModule.h"
#include "ComBSTR.h"
#include "ComClassFactory.h"
#include "ComCoClass.h"
#include "ComCreator.h"
#include "ComError.h"
#include "ComMap.h"
#include "ComObject.h"
#include "ComObjectRoot.h"
#include "ComPtr.h"
#include "ComThreadModel.h"
#include "ComVariant.h"
#include "DispatchImpl.h"
#include "ModuleEntryPoint.h"
#include "ObjectMap.h"
#include "OleString.h"
