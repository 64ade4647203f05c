#include "Errors.h"

#include "Console.h"
#include "Failure.h"

#include <cctype>
#include <iterator>

namespace cli {

namespace {

const ErrorText kTexts[] = {
#define TW_ERROR_TEXT(code, name, meaning, advice) {code, name, meaning, advice},
#include "tonewell_error_texts.inc"
#undef TW_ERROR_TEXT
};

}  // namespace

const ErrorText* findErrorText(int32_t code) {
    for (const ErrorText& t : kTexts)
        if (t.code == code) return &t;
    return nullptr;
}

std::string describeCode(int32_t code) {
    const ErrorText* t = findErrorText(code);
    const std::string kind = code < 0 ? "warning " : "error ";
    if (!t) return kind + std::to_string(code) + " (a code the library does not document; it may come from the host)";
    return std::string(t->meaning) + " (" + kind + std::to_string(code) + ", " + t->name + ")";
}

std::string adviceFor(int32_t code) {
    const ErrorText* t = findErrorText(code);
    if (!t) return {};
    std::string advice = t->advice;
    if (!advice.empty()) advice[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(advice[0])));
    return advice;
}

int reportFailure(const std::exception& failure) {
    if (const auto* e = dynamic_cast<const LibraryError*>(&failure)) {
        reportError(std::string(e->what()) + ": " + describeCode(e->code), adviceFor(e->code));
        return kExitFailed;
    }
    if (const auto* e = dynamic_cast<const UsageError*>(&failure)) {
        reportError(e->what(), e->advice);
        return kExitUsage;
    }
    reportError(failure.what());
    return kExitFailed;
}

}  // namespace cli
