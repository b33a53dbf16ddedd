#include "ui/UiTestSupport.h"
