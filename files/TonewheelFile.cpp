#include "files/TonewheelFile.h"
