// Status codes and their fixed messages.
#pragma once

#include "numeric/status.h"

// The fixed message of a status code, ending in a newline; codes outside
// 0..33 get the message of "Unknown error occured.".
const char* statusMessage(Status code);
