// The codec writes its trace through the numeric core's trace stream.
#pragma once

#include "numeric/trace.h"
