#include "TranscriptionEngine.h"
