#include "sim/SimulatorOptions.h"
