#include "kelvadra_internal.h"
