#include "NKDeviceFacts.h"

std::string NKDeviceModelName() { return "iPhone"; }

double NKMainScreenScale() { return 2.0; }
