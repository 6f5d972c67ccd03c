#include "link/MidiServices.h"

// The interface has no code of its own; this unit anchors its vtables.
