#pragma once
// The device facts the networking layer writes into headers and image scales: the model
// name and the main screen's scale. The headless platform has no device or screen classes
// yet; these are the values it presents.

#include <string>

std::string NKDeviceModelName();
double NKMainScreenScale();
