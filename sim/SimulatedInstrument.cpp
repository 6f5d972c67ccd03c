#include "sim/SimulatedInstrument.h"
