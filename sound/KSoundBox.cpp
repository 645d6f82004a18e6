#include "KSoundBox.h"
