// Variant equality as Remove and Find compare values.
#pragma once

#include <windows.h>

enum class Equality { Equal, Different, Incomparable };

// The same type word, then the same value by type; Incomparable for the types without an
// equality (arrays, records, by-reference values).
Equality CompareVariants(const VARIANT& left, const VARIANT& right);
