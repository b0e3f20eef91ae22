// Everything public of the Corvale engine and baselib.
#pragma once

#include <corvale/BTAddress.h>
#include <corvale/BTClassOfDevice.h>
#include <corvale/BTDevice.h>
#include <corvale/BTNames.h>
#include <corvale/BTNetwork.h>
#include <corvale/BTRecord.h>
#include <corvale/BTService.h>
#include <corvale/BTUUID.h>
#include <corvale/BTVendor.h>
#include <corvale/baselib.h>
