#pragma once
// The card's fields and the vCard written from them.

#include "outside/zorvex/card_fields.h"
