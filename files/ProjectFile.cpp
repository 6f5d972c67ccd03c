#include "files/ProjectFile.h"
