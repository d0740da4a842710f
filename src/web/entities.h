// The few named entities that form actions and extracted texts carry.
#pragma once

#include <string>

// Replaces &auml; &ouml; &uuml; &Auml; &Ouml; &Uuml; &szlig; by their
// Windows-1252 letters and then &amp; by "&", case-sensitively. A replacement
// that forms the same entity again is replaced too, so "&amp;amp;" ends as "&".
std::string DecodeEntities(const std::string& text);
