// The texts of the library's result codes, from docs/errors.md.
#pragma once

#include <cstdint>
#include <string>

namespace cli {

struct ErrorText {
    int32_t code;
    const char* name;     // TW_E_TIMEOUT
    const char* meaning;  // what the code says, a phrase
    const char* advice;   // what to try, a sentence
};

// Null for a code the library does not produce.
const ErrorText* findErrorText(int32_t code);
// "the time-out passed (error 4822, TW_E_TIMEOUT)", or "error N" alone
// for an unknown code.
std::string describeCode(int32_t code);
// The advice as a sentence, or empty.
std::string adviceFor(int32_t code);

}  // namespace cli
