// Pure helpers of extract and format, shared with their tests.
#pragma once

#include <optional>
#include <span>
#include <string>

// The num-th stretch of source between pre and the next post, after the
// first beginn, with its entities decoded. Empty texts: no beginn starts at
// the first character, no pre begins where the search stands, no post runs
// to the end. The empty text when there is no such stretch.
std::string ExtractText(const std::string& source, const std::string& beginn, const std::string& pre,
                        const std::string& post, long num);

// Where the last search stopped, so that the next count on the same text
// goes on from there: a loop over the counts stays linear.
struct ExtractPlace {
    bool valid = false;
    // The text searched: a variable's value, while its write stamp holds.
    const void* source = nullptr;
    unsigned long long stamp = 0;
    std::string beginn, pre, post;
    long n = 0;         // the count whose stretch starts the search at S
    long long S = 0;
    bool final = false;  // every count from n on gives the same stretch
};

// ExtractText, going on from place when its text and markers are the
// same and its count is not above num; place is left at the new count.
std::string ExtractText(const std::string& source, const std::string& beginn, const std::string& pre,
                        const std::string& post, long num, ExtractPlace& place);

// Applies a printf-style format to texts: %s (with the flags - and 0, a width
// and a precision; * takes them from the next value), %d and %i (the value
// read as an integer) and %%. None when the format asks for more values than
// there are, holds another conversion, or the result would pass maxSize.
std::optional<std::string> FormatTexts(const std::string& format, std::span<const std::string> values,
                                       size_t maxSize);
