#include "service/leading_number.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>

namespace kolbi {

double LeadingNumber(std::string_view text) {
    std::string compact;
    for (char c : text) {
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n') compact += c;
    }
    auto digit = [&](size_t k) {
        return k < compact.size() && std::isdigit(static_cast<unsigned char>(compact[k]));
    };
    size_t i = 0;
    if (i < compact.size() && (compact[i] == '+' || compact[i] == '-')) ++i;
    size_t digits = 0;
    while (digit(i)) {
        ++i;
        ++digits;
    }
    if (i < compact.size() && compact[i] == '.') {
        ++i;
        while (digit(i)) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0) return 0.0;
    size_t mantissa_end = i;
    if (i < compact.size() && std::strchr("eEdD", compact[i])) {
        size_t e = i + 1;
        if (e < compact.size() && (compact[e] == '+' || compact[e] == '-')) ++e;
        if (digit(e)) {
            while (digit(e)) ++e;
            i = e;
        }
    }
    std::string number = compact.substr(0, i);
    // strtod does not know the "D" exponent.
    if (i > mantissa_end) number[mantissa_end] = 'e';
    return std::strtod(number.c_str(), nullptr);
}

}  // namespace kolbi
