#include "link/FileDump.h"
