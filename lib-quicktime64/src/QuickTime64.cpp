#include "quicktime64/QuickTime64.h"

QuickTime64::~QuickTime64() = default;
