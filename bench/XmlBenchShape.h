// The shape of the documents that the XML benchmarks write and read: property number k is
// named "p" and six digits, lies in one namespace, is changed, and holds the integer k when k
// is even and a short string when k is odd.
#pragma once

#include <string>

inline constexpr char kXmlBenchNamespace[] = "urn:bench";

inline std::string XmlBenchPropertyName(long k)
{
    const std::string digits = std::to_string(k);
    return "p" + std::string(digits.size() < 6 ? 6 - digits.size() : 0, '0') + digits;
}

inline bool XmlBenchHoldsInteger(long k)
{
    return k % 2 == 0;
}

inline std::string XmlBenchStringValue(long k)
{
    return "value " + std::to_string(k);
}
