#include "VyThreadLocker.h"
