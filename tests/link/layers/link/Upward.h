#pragma once

// A link file reaching up into the protocol layer: the layer check must refuse it.
#include "link/Link.h"
#include "protocol/Commands.h"
