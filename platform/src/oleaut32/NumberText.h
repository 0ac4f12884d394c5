// Numbers as text in the stand-in's one number format (invariant: '.' as the decimal point,
// no thousands separators), for VariantChangeType.
#pragma once

#include <string>

#include <windows.h>

#include "common/WideText.h"

namespace lumo::platform::oleaut32 {

// A number read from text, kept exactly: digits x 10^exponent. 'digits' has neither leading
// nor trailing zeros; it is empty for zero.
struct DecimalNumber {
    bool negative = false;
    std::string digits;
    long long exponent = 0;
};

// Accepts blanks around the number, a sign, digits with at most one '.', and an exponent
// introduced by 'e' or 'E'. False for anything else, the empty text included.
bool ParseDecimalNumber(WideView text, DecimalNumber& number);

// Rounds half to even into [minimum, maximum]; DISP_E_OVERFLOW outside.
HRESULT DecimalToInteger(const DecimalNumber& number, LONGLONG minimum, ULONGLONG maximum, LONGLONG* signedValue,
                         ULONGLONG* unsignedValue);

// The nearest double; DISP_E_OVERFLOW beyond the double range, 0 below it.
HRESULT DecimalToDouble(const DecimalNumber& number, double* value);

std::string FormatSigned(LONGLONG value);
std::string FormatUnsigned(ULONGLONG value);

// 'significantDigits' digits, rounded half away from zero, trailing zeros dropped; fixed
// notation while the value is below 10^significantDigits and needs no more than that many
// decimals, else d.dddE+XX.
std::string FormatReal(double value, int significantDigits);

}  // namespace lumo::platform::oleaut32
