#include "speech/TranscriptionEngine.h"
