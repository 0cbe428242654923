#include "model/DeviceData.h"

bool textEquals(const OptionalText& a, const OptionalText& b)
{
    return a.has_value() && b.has_value() && *a == *b;
}
