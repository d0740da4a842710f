// Windows-1252 script text to and from the Qt widgets' Unicode.
#pragma once

#include <QString>
#include <string>

#include "platform/cp1252.h"

inline QString FromCp1252(const std::string& s)
{
    std::u16string u = platform::Cp1252ToUtf16(s);
    return QString(reinterpret_cast<const QChar*>(u.data()), qsizetype(u.size()));
}

inline std::string ToCp1252(const QString& s)
{
    return platform::Utf16ToCp1252(std::u16string_view(reinterpret_cast<const char16_t*>(s.utf16()), size_t(s.size())));
}

// Native paths and the registry's texts are UTF-8.
inline QString FromNative(const std::string& s)
{
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

inline std::string ToNative(const QString& s)
{
    return s.toUtf8().toStdString();
}
